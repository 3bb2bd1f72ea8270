// Lets the event loop run until a condition holds or the time is up; true when it held.
#pragma once

#include <QElapsedTimer>
#include <QtTest>

template<typename Pred>
bool waitUntil(Pred done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}
