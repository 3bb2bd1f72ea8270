// Timing of the window's construction, step by step, for profiling the start-up:
// QT_LOGGING_RULES="hart.startup.debug=true" prints each step's milliseconds.
#pragma once

#include <QElapsedTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcStartup)

class StartupSteps
{
public:
    explicit StartupSteps(const char *phase)
        : m_phase(phase)
    {
        m_clock.start();
    }
    ~StartupSteps() { qCDebug(lcStartup, "%s: %.1f ms in all", m_phase, m_total / 1e6); }
    StartupSteps(const StartupSteps &) = delete;
    StartupSteps &operator=(const StartupSteps &) = delete;

    // Ends the step running since the last mark.
    void mark(const char *step)
    {
        const qint64 ns = m_clock.nsecsElapsed();
        m_total += ns;
        m_clock.restart();
        qCDebug(lcStartup, "%s: %s %.2f ms", m_phase, step, ns / 1e6);
    }

private:
    const char *m_phase;
    QElapsedTimer m_clock;
    qint64 m_total = 0;
};
