// Millisecond timer for the end of the RTS transmission window. Expiry is measured on
// a thread of its own, so a busy window thread cannot stretch the window; timeout()
// then reaches the owner's thread queued.
#pragma once

#include <QObject>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class MMTimer : public QObject
{
    Q_OBJECT

public:
    explicit MMTimer(QObject *parent = nullptr);
    ~MMTimer() override;

    // Runs on the timer thread at each expiry, before timeout() is emitted. Must be
    // cheap and thread-safe; stop() waits for a running action to finish.
    void setExpiryAction(std::function<void()> action);
    bool isActive() const;

signals:
    void timeout();

public slots:
    // Periodic timer with period m_interval ms; restarts the period if already running.
    void start(int m_interval);
    void stop();

private:
    void loop();

    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_thread;
    std::function<void()> m_action;
    unsigned m_timerId = 0; // 0 = no timer running
    unsigned m_nextId = 0;
    int m_intervalMs = 0;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_inAction = false;
    bool m_quit = false;
    std::condition_variable m_actionDone;
};
