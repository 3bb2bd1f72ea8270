#include "mmtimer.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>

using Clock = std::chrono::steady_clock;

namespace {
// Like the system's multimedia timers, expiry should not wait behind busy threads:
// ask for real-time scheduling and no timer slack; without the privilege, carry on.
void raiseTimerThreadPriority()
{
    sched_param param{};
    param.sched_priority = 10;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0);
}
} // namespace

MMTimer::MMTimer(QObject *parent)
    : QObject(parent)
{
    // Started here, not in the initialiser list, so it never sees unconstructed members.
    m_thread = std::thread([this] { loop(); });
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
        m_deadline = Clock::now() + std::chrono::milliseconds(m_intervalMs);
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
    raiseTimerThreadPriority();
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_quit) {
        if (m_timerId == 0) {
            m_wake.wait(lock);
            continue;
        }
        const unsigned id = m_timerId;
        const auto deadline = m_deadline;
        // Wait for the deadline unless the timer is stopped or restarted meanwhile.
        if (m_wake.wait_until(lock, deadline, [&] { return m_quit || m_timerId != id; }))
            continue;
        m_deadline += std::chrono::milliseconds(m_intervalMs);
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
