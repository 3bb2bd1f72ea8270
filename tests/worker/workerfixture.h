// A worker, its serial link and a simulated transmitter on a pseudo-terminal, wired as
// the window wires them, with short protocol time-outs.
#pragma once

#include "devicedata.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "seriallink.h"
#include "transmittersim.h"

#include <QtTest>

#include <memory>

class WorkerFixture : public QObject
{
public:
    explicit WorkerFixture(const SimConfig &config = SimConfig())
        : sim(config)
    {
        {
            QMutexLocker lock(&worker.mutex);
            resetDeviceData(deviceData);
        }
        QVERIFY(sim.start());
        link = std::make_unique<SerialLink>(worker.master());
        connect(worker.master(), &kvhart_master::SendData, link.get(),
                &SerialLink::writeMySerialPort);
        connect(&worker, &hartThread::sendMessageToMainThread, this,
                [this](const QString &m) { messages << m; });
        worker.master()->timeoutMs = 150;
        worker.master()->retryCount = 2;
        QVERIFY(link->open(sim.portPath()));
        worker.start();
    }

    ~WorkerFixture() override
    {
        worker.stop();
        link->close();
        sim.stop();
    }

    void request(const QString &r) { worker.receiveMessageFromMainThread(r); }

    // Waits until `last` arrives and returns every message up to it, status texts left out.
    QStringList runUntil(const QString &last, int timeoutMs = 20000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!messages.contains(last) && clock.elapsed() < timeoutMs)
            QTest::qWait(5);
        QStringList out;
        while (!messages.isEmpty()) {
            const QString m = messages.takeFirst();
            if (!m.startsWith(QLatin1String("hart status:")))
                out << m;
            if (m == last)
                break;
        }
        return out;
    }

    // Waits for `count` messages (status texts left out) and returns them.
    QStringList collect(int count, int timeoutMs = 60000)
    {
        QElapsedTimer clock;
        clock.start();
        QStringList out;
        while (out.size() < count && clock.elapsed() < timeoutMs) {
            while (!messages.isEmpty() && out.size() < count) {
                const QString m = messages.takeFirst();
                if (!m.startsWith(QLatin1String("hart status:")))
                    out << m;
            }
            if (out.size() < count)
                QTest::qWait(5);
        }
        return out;
    }

    // Waits for quiet on the line: nothing arrives for quietMs.
    QStringList drain(int quietMs = 400)
    {
        int seen = -1;
        while (seen != messages.size()) {
            seen = messages.size();
            QTest::qWait(quietMs);
        }
        QStringList out;
        for (const QString &m : qAsConst(messages))
            if (!m.startsWith(QLatin1String("hart status:")))
                out << m;
        messages.clear();
        return out;
    }

    bool openAndSearch()
    {
        request("open port");
        request("search meter");
        const QStringList got = runUntil("set progressBar:100");
        return got.contains("search meter succeed");
    }

    TransmitterSim sim;
    hartThread worker;
    std::unique_ptr<SerialLink> link;
    QStringList messages;
};

inline QString P(int n)
{
    return QStringLiteral("set progressBar:%1").arg(n);
}

// Progress of one memory transfer: start, after every chunk but the last, end.
inline QStringList transfer(int start, int end, int length)
{
    QStringList out{P(start)};
    for (int done = 20; done < length; done += 20)
        out << P((end - start) * done / length + start);
    out << P(end);
    return out;
}
