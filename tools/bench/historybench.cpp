// Measures the device history: insert throughput on SQLite and (given a URL) PostgreSQL, the
// history window's open time with 100,000 events for one transmitter, and the link's
// wall/wire ratio (as linkbench measures it) with the store off and with it recording while
// another thread floods it. Prints numbers; asserts nothing.
//   historybench [postgresql://user@host:port/db]
#include "devicedata.h"
#include "hartthread.h"
#include "historyrecorder.h"
#include "historystore.h"
#include "historywindow.h"
#include "kvhart_master.h"
#include "seriallink.h"
#include "transmittersim.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMutexLocker>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <cstdio>

namespace {

constexpr double kCharSeconds = 11.0 / 1200.0;
const QString kDevice = QStringLiteral("9A-10-BE0C11");

HistoryEvent benchEvent(int i)
{
    HistoryEvent e;
    e.kind = QStringLiteral("operation");
    e.device = kDevice;
    e.request = QStringLiteral("write range info");
    e.outcome = QStringLiteral("succeed");
    e.changes = {{QStringLiteral("upperRangeValue"), QString::number(i), QString::number(i + 1)},
                 {QStringLiteral("lowerRangeValue"), QStringLiteral("0"), QStringLiteral("0")}};
    return e;
}

// Events per second from the first record to the flush; 0 when the flush timed out.
double insertRate(const QString &location, int count)
{
    HistoryStore store(location);
    store.start();
    HistoryEvent seen;
    seen.kind = QStringLiteral("device");
    seen.device = kDevice;
    seen.payload.insert(QStringLiteral("tag"), QStringLiteral("BENCH"));
    store.record(seen);
    store.flush(10000);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i)
        store.record(benchEvent(i));
    if (!store.flush(600000))
        return 0;
    return count / (clock.nsecsElapsed() / 1e9);
}

double windowOpenMs(const QString &location)
{
    QElapsedTimer clock;
    clock.start();
    HistoryWindow w(location);
    QSignalSpy shown(&w, &HistoryWindow::eventsShown);
    w.show();
    if (!shown.wait(10000))
        return -1;
    QCoreApplication::processEvents(); // the first page painted
    return clock.nsecsElapsed() / 1e6;
}

void clearPostgres(const QString &url)
{
    const QUrl u(url);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench"));
        db.setHostName(u.host());
        db.setPort(u.port());
        db.setUserName(u.userName());
        db.setDatabaseName(u.path().mid(1));
        if (db.open()) {
            QSqlQuery q(db);
            for (const char *t : {"field_changes", "snapshots", "events", "devices", "schema_version"})
                q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(t)));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
}

struct Rig
{
    TransmitterSim sim;
    hartThread worker;
    SerialLink link{worker.master()};
    QStringList messages;
    HistoryRecorder *recorder = nullptr;

    explicit Rig(const SimConfig &config)
        : sim(config)
    {
        QObject::connect(worker.master(), &kvhart_master::SendData, &link,
                         &SerialLink::writeMySerialPort);
        QObject::connect(&worker, &hartThread::sendMessageToMainThread, &link,
                         [this](const QString &m) {
                             messages << m;
                             if (recorder)
                                 recorder->resultReceived(m);
                         });
    }

    double run(const QString &request, const QString &last)
    {
        messages.clear();
        QElapsedTimer clock;
        clock.start();
        if (recorder)
            recorder->requestSent(request);
        worker.receiveMessageFromMainThread(request);
        while (!messages.contains(last))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        return clock.nsecsElapsed() / 1e9;
    }

    double ratio(const QString &request, const QString &last)
    {
        sim.clearRequests();
        const qint64 tx0 = link.bytesWritten(), rx0 = link.bytesRead();
        const double wall = run(request, last);
        const qint64 bytes = link.bytesWritten() - tx0 + link.bytesRead() - rx0;
        return wall / (bytes * kCharSeconds + sim.requests().size() * 0.020);
    }
};

void linkRatios(const QString &location)
{
    SimConfig config;
    config.pace = true;
    Rig rig(config);
    if (!rig.sim.start() || !rig.link.open(rig.sim.portPath())) {
        std::fprintf(stderr, "cannot start the simulated transmitter\n");
        return;
    }
    rig.worker.start();
    rig.worker.receiveMessageFromMainThread(QStringLiteral("open port"));
    const double searchOff = rig.ratio(QStringLiteral("search meter"), QStringLiteral("set progressBar:100"));
    const double writeOff = rig.ratio(QStringLiteral("write all"), QStringLiteral("fac save succeed"));

    HistoryStore store(location);
    store.start();
    HistoryRecorder recorder(
            store,
            [&rig] {
                QMutexLocker lock(&rig.worker.mutex);
                return deviceData;
            },
            [&rig] { return rig.worker.master()->addressing(); });
    rig.recorder = &recorder;
    // Another thread keeps the store busy the whole time.
    std::atomic<bool> flooding{true};
    std::atomic<int> flooded{0};
    QThread *flood = QThread::create([&] {
        while (flooding.load()) {
            // About 2000 events a second: a whole line of stations' worth.
            store.record(benchEvent(flooded.fetch_add(1)));
            if (flooded.load() % 2 == 0)
                QThread::msleep(1);
        }
    });
    flood->start();
    const double searchOn = rig.ratio(QStringLiteral("search meter"), QStringLiteral("set progressBar:100"));
    const double writeOn = rig.ratio(QStringLiteral("write all"), QStringLiteral("fac save succeed"));
    flooding.store(false);
    flood->wait();
    delete flood;
    rig.recorder = nullptr;
    store.flush(60000);
    std::printf("link ratio     search meter  store off %.3f  on %.3f\n", searchOff, searchOn);
    std::printf("link ratio     write all     store off %.3f  on %.3f  (%d events flooded meanwhile)\n",
                writeOff, writeOn, flooded.load());
    rig.worker.stop();
    rig.link.close();
    rig.sim.stop();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir dir;
    const QString sqlite = dir.filePath(QStringLiteral("bench.sqlite"));
    const QString pg = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    std::printf("insert SQLite  %9.0f events/s (100000 events, 2 field changes each)\n",
                insertRate(sqlite, 100000));
    std::printf("window open    %9.1f ms (SQLite, 100000 events for one transmitter)\n",
                windowOpenMs(sqlite));
    if (!pg.isEmpty()) {
        clearPostgres(pg);
        std::printf("insert PostgreSQL %6.0f events/s (100000 events, 2 field changes each)\n",
                    insertRate(pg, 100000));
        std::printf("window open    %9.1f ms (PostgreSQL, 100000 events for one transmitter)\n",
                    windowOpenMs(pg));
    } else {
        std::printf("insert PostgreSQL  (no URL given: historybench postgresql://...)\n");
    }
    linkRatios(dir.filePath(QStringLiteral("link.sqlite")));
    return 0;
}
