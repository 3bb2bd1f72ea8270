// A raw pseudo-terminal for the serial tests that play the other end of the line themselves:
// the link opens path, the test reads and writes the master side.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

struct TestPty
{
    int master = -1;
    int slave = -1;
    QString path;
    TestPty()
    {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            termios t;
            tcgetattr(slave, &t);
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
            path = QString::fromLocal8Bit(name);
            fcntl(master, F_SETFL, O_NONBLOCK);
        }
    }
    ~TestPty()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    TestPty(const TestPty &) = delete;
    TestPty &operator=(const TestPty &) = delete;

    // Everything the link writes within waitMs.
    QByteArray readAvailable(int waitMs = 200)
    {
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < waitMs) {
            char b[512];
            const ssize_t n = ::read(master, b, sizeof b);
            if (n > 0)
                out.append(b, int(n));
            else
                QTest::qWait(5);
        }
        return out;
    }
    // What the link wrote, once that many bytes are there (at most 2 s).
    QByteArray take(int bytes)
    {
        QByteArray out;
        QElapsedTimer clock;
        clock.start();
        while (out.size() < bytes && clock.elapsed() < 2000) {
            char b[256];
            const ssize_t n = ::read(master, b, std::size_t(std::min<int>(256, bytes - out.size())));
            if (n > 0)
                out.append(b, int(n));
            else
                QTest::qWait(5);
        }
        return out;
    }
    bool give(const QByteArray &bytes)
    {
        return ::write(master, bytes.constData(), std::size_t(bytes.size())) == ssize_t(bytes.size());
    }
};
