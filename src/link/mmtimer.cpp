#include "mmtimer.h"

#include <chrono>

using Clock = std::chrono::steady_clock;

MMTimer::MMTimer(QObject *parent)
    : QObject(parent)
    , m_thread([this] { loop(); })
{
}

MMTimer::~MMTimer()
{
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_quit = true;
        m_timerId = 0;
    }
    m_wake.notify_all();
    m_thread.join();
}

void MMTimer::setExpiryAction(std::function<void()> action)
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_actionDone.wait(lock, [this] { return !m_inAction; });
    m_action = std::move(action);
}

bool MMTimer::isActive() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_timerId != 0;
}

void MMTimer::start(int m_interval)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_intervalMs = m_interval < 1 ? 1 : m_interval;
        m_timerId = ++m_nextId ? m_nextId : ++m_nextId;
    }
    m_wake.notify_all();
}

void MMTimer::stop()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_timerId = 0;
    // Like a kill-synchronous multimedia timer: no action runs after stop() returns.
    m_actionDone.wait(lock, [this] { return !m_inAction; });
    m_wake.notify_all();
}

void MMTimer::loop()
{
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_quit) {
        if (m_timerId == 0) {
            m_wake.wait(lock);
            continue;
        }
        const unsigned id = m_timerId;
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_intervalMs);
        // Wait for the deadline unless the timer is stopped or restarted meanwhile.
        if (m_wake.wait_until(lock, deadline, [&] { return m_quit || m_timerId != id; }))
            continue;
        m_inAction = true;
        auto action = m_action;
        lock.unlock();
        if (action)
            action();
        emit timeout();
        lock.lock();
        m_inAction = false;
        m_actionDone.notify_all();
    }
}
