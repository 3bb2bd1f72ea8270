#include "busscan.h"
#include "busspec.h"
#include "hartipserver.h"
#include "headlessscan.h"
#include "workerfixture.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryFile>

#include <cstdio>

namespace {

SimConfig busConfig(const QString &spec, bool pace = false)
{
    SimConfig config;
    QString why;
    if (!applyBusSpec(spec, config, &why))
        qFatal("bad bus spec: %s", qPrintable(why));
    config.pace = pace;
    return config;
}

QString readAll(std::FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    QByteArray text;
    char buffer[512];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, f))
        text.append(buffer, int(n));
    return QString::fromUtf8(text);
}

} // namespace

class TstBusScan : public QObject
{
    Q_OBJECT

private slots:
    void headlessScan_listsEveryDeviceOfTheBusInAddressOrder()
    {
        TransmitterSim sim(busConfig(QStringLiteral("0:TAG1:5,5:TAG2:7,12:TAG3:6")));
        QVERIFY(sim.start());
        HeadlessScan job;
        job.port = sim.portPath();
        job.options.attempts = 1;
        std::FILE *out = std::tmpfile();
        std::FILE *err = std::tmpfile();
        int attempts = 0;
        const int status = runHeadlessScan(job, out, err, [&attempts](kvhart_master &m) {
            m.timeoutMs = 120;
            attempts = m.retryCount;
        });
        QCOMPARE(status, 0);
        QCOMPARE(attempts, 10);
        const QStringList lines = readAll(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines,
                 QStringList({QStringLiteral("{\"address\":0,\"manufacturer\":154,\"deviceType\":16,"
                                             "\"deviceId\":1193046,\"tag\":\"TAG1\","
                                             "\"universalRevision\":5,\"loopCurrentMode\":null}"),
                              // Revision 7: the 16-bit manufacturer code and the expanded
                              // device type of its longer identity.
                              QStringLiteral("{\"address\":5,\"manufacturer\":24730,\"deviceType\":39440,"
                                             "\"deviceId\":1193047,\"tag\":\"TAG2\","
                                             "\"universalRevision\":7,\"loopCurrentMode\":0}"),
                              QStringLiteral("{\"address\":12,\"manufacturer\":154,\"deviceType\":16,"
                                             "\"deviceId\":1193048,\"tag\":\"TAG3\","
                                             "\"universalRevision\":6,\"loopCurrentMode\":0}")}));
        // One attempt for each silent address of 0..15, none more.
        int polls = 0;
        for (const SimRequest &r : sim.requests())
            polls += r.command == 0;
        QCOMPARE(polls, 3);
        std::fclose(out);
        std::fclose(err);
    }

    // A gateway over HART-IP is listed, then each sub-device behind it with the gateway's
    // device id, card and channel, identified through the gateway; on a line, a long tag is
    // found with command 21 without scanning.
    void headlessGatewayAndLongTag()
    {
        SimConfig config = busConfig(QStringLiteral("0:GW-1:7,0:PT-101 INLET:7,0:LT-202:5"));
        config.gateway = true;
        TransmitterSim gatewaySim(config);
        HartIpServer server(gatewaySim);
        QVERIFY(server.start(hartip::Scheme::Udp));
        HeadlessScan job;
        job.port = server.url();
        job.options.lastAddress = 3;
        job.options.attempts = 1;
        std::FILE *out = std::tmpfile();
        std::FILE *err = std::tmpfile();
        QCOMPARE(runHeadlessScan(job, out, err, [](kvhart_master &m) { m.timeoutMs = 150; }), 0);
        QCOMPARE(readAll(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({QStringLiteral("{\"address\":0,\"manufacturer\":24730,\"deviceType\":39440,"
                                             "\"deviceId\":1193046,\"tag\":\"GW-1\","
                                             "\"universalRevision\":7,\"loopCurrentMode\":1}"),
                              QStringLiteral("{\"address\":null,\"manufacturer\":24730,\"deviceType\":39440,"
                                             "\"deviceId\":1193047,\"tag\":\"PT-101 INLET\","
                                             "\"universalRevision\":7,\"loopCurrentMode\":1,"
                                             "\"gateway\":1193046,\"card\":0,\"channel\":0}"),
                              QStringLiteral("{\"address\":null,\"manufacturer\":154,\"deviceType\":16,"
                                             "\"deviceId\":1193048,\"tag\":\"LT-202\","
                                             "\"universalRevision\":5,\"loopCurrentMode\":null,"
                                             "\"gateway\":1193046,\"card\":0,\"channel\":1}")}));
        QCOMPARE(readAll(err), QString());
        // The same behind a multiplexer on a serial line: wrapped frames past 40 bytes there too.
        const QString overIp = readAll(out);
        std::fclose(out);
        std::fclose(err);
        TransmitterSim multiplexer(config);
        QVERIFY(multiplexer.start());
        job.port = multiplexer.portPath();
        out = std::tmpfile();
        err = std::tmpfile();
        QCOMPARE(runHeadlessScan(job, out, err, [](kvhart_master &m) { m.timeoutMs = 150; }), 0);
        QCOMPARE(readAll(out), overIp);
        std::fclose(out);
        std::fclose(err);

        TransmitterSim line(busConfig(QStringLiteral("0:TAG1:5,9:Flow meter north:7")));
        QVERIFY(line.start());
        HeadlessScan find;
        find.port = line.portPath();
        find.findTag = "Flow meter north";
        out = std::tmpfile();
        err = std::tmpfile();
        QCOMPARE(runHeadlessScan(find, out, err, [](kvhart_master &m) { m.timeoutMs = 150; }), 0);
        const QString found = readAll(out);
        QVERIFY2(found.startsWith(QStringLiteral("{\"address\":9,")), qPrintable(found));
        QVERIFY(found.contains(QStringLiteral("\"tag\":\"Flow meter north\"")));
        QCOMPARE(found.count(QLatin1Char('\n')), 1);
        bool askedByLongTag = false;
        for (const SimRequest &r : line.requests())
            askedByLongTag = askedByLongTag || (r.command == 21 && r.data.startsWith("Flow meter north"));
        QVERIFY(askedByLongTag);
        std::fclose(out);
        std::fclose(err);
    }

    // Addresses above 15 are polled with six address bits, not folded onto 0..15.
    void wideScan_reachesAddressesAbove15()
    {
        TransmitterSim sim(busConfig(QStringLiteral("3:LOW:6,47:HIGH:7")));
        QVERIFY(sim.start());
        HeadlessScan job;
        job.port = sim.portPath();
        job.options.firstAddress = 0;
        job.options.lastAddress = 63;
        job.options.attempts = 1;
        std::FILE *out = std::tmpfile();
        std::FILE *err = std::tmpfile();
        QCOMPARE(runHeadlessScan(job, out, err, [](kvhart_master &m) { m.timeoutMs = 40; }), 0);
        const QString text = readAll(out);
        QCOMPARE(text.count(QLatin1Char('\n')), 2);
        QVERIFY(text.contains(QStringLiteral("\"address\":3,")));
        QVERIFY(text.contains(QStringLiteral("\"address\":47,")));
        QVERIFY(text.contains(QStringLiteral("\"tag\":\"HIGH\"")));
        std::fclose(out);
        std::fclose(err);
    }

    // The scan goes through the window's worker between operations: afterwards the pages
    // still talk to the device that was found, with the operations' own attempts; choosing
    // another device makes the pages talk to that one, as after a search.
    void workerScan_keepsTheCurrentDeviceUntilAnotherIsChosen()
    {
        WorkerFixture f(busConfig(QStringLiteral("0:TAG1:5,5:TAG2:7,12:TAG3:6")));
        QVERIFY(f.openAndSearch());
        BusScanner scanner;
        QSignalSpy found(&scanner, &BusScanner::deviceFound);
        QSignalSpy progress(&scanner, &BusScanner::progress);
        scan::Options options;
        options.attempts = 1;
        f.worker.setBusJob([&](kvhart_master &m) { return scanner.scan(m, options); });
        f.request("scan bus");
        QVERIFY(f.runUntil("scan bus succeed", 30000).contains("scan bus succeed"));
        QCOMPARE(found.size(), 3);
        QCOMPARE(progress.last().at(0).toInt(), 16);
        QCOMPARE(progress.last().at(1).toInt(), 16);
        QCOMPARE(f.worker.master()->retryCount, quint8(2));

        f.request("read meter info");
        QVERIFY(f.runUntil("set progressBar:100").contains("read meter info succeed"));
        char tag[100];
        {
            QMutexLocker lock(&f.worker.mutex);
            unpackAscii(tag, sizeof tag, deviceData.tag, sizeof deviceData.tag);
        }
        QCOMPARE(QByteArray(tag).trimmed(), QByteArray("TAG1"));

        const scan::Device third = scanner.devices().at(2);
        QCOMPARE(third.tag, QStringLiteral("TAG3"));
        f.worker.setSelection(std::uint8_t(third.address), third.command0);
        f.request("select meter");
        QCOMPARE(f.runUntil("set progressBar:100"),
                 QStringList({P(10), P(40), P(70), "search meter succeed", P(100)}));
        QVERIFY(f.worker.isDeviceFound());
        f.request("read meter info");
        QVERIFY(f.runUntil("set progressBar:100").contains("read meter info succeed"));
        {
            QMutexLocker lock(&f.worker.mutex);
            unpackAscii(tag, sizeof tag, deviceData.tag, sizeof deviceData.tag);
            QCOMPARE(int(deviceData.universalRevision), 6);
        }
        QCOMPARE(QByteArray(tag).trimmed(), QByteArray("TAG3"));
        QCOMPARE(int(f.worker.master()->addressing().pollingAddress), 12);
    }

    // Two devices at one polling address both answer; both are listed and the address is
    // reported. A find by tag reaches one of them without polling.
    void sharedAddress_warnedAndBothListed_findByTagReachesOne()
    {
        WorkerFixture f(busConfig(QStringLiteral("0:A:5,3:B:6,3:C:6"), true));
        f.worker.master()->timeoutMs = 1000; // answers at line speed
        f.request("open port");
        BusScanner scanner;
        QSignalSpy shared(&scanner, &BusScanner::sharedAddress);
        QSignalSpy notFound(&scanner, &BusScanner::tagNotFound);
        scan::Options options;
        options.lastAddress = 4;
        options.attempts = 1;
        QByteArray tag;
        f.worker.setBusJob([&](kvhart_master &m) {
            return tag.isEmpty() ? scanner.scan(m, options) : scanner.findByTag(m, tag, 1);
        });
        f.request("scan bus");
        QVERIFY(f.runUntil("scan bus succeed", 30000).contains("scan bus succeed"));
        QCOMPARE(shared.size(), 1);
        QCOMPARE(shared.at(0).at(0).toInt(), 3);
        const QVector<scan::Device> devices = scanner.devices();
        QCOMPARE(devices.size(), 3);
        QCOMPARE(devices[1].tag, QStringLiteral("B"));
        QCOMPARE(devices[2].tag, QStringLiteral("C"));
        QVERIFY(devices[1].sharedAddress && devices[2].sharedAddress && !devices[0].sharedAddress);
        QVERIFY(devices[1].deviceId != devices[2].deviceId);

        tag = "c";
        f.request("scan bus");
        QVERIFY(f.runUntil("scan bus succeed", 30000).contains("scan bus succeed"));
        QCOMPARE(scanner.devices().size(), 1);
        QCOMPARE(scanner.devices().at(0).tag, QStringLiteral("C"));
        QCOMPARE(scanner.devices().at(0).address, 3);
        QCOMPARE(scanner.devices().at(0).deviceId, devices[2].deviceId);
        tag = "NOSUCH";
        f.request("scan bus");
        QVERIFY(f.runUntil("scan bus succeed", 30000).contains("scan bus succeed"));
        QCOMPARE(notFound.size(), 1);
        QVERIFY(scanner.devices().isEmpty());
    }

    void cancel_endsTheScanAfterTheTransactionUnderWay()
    {
        WorkerFixture f(busConfig(QStringLiteral("9:LATE:6")));
        f.request("open port");
        BusScanner scanner;
        QSignalSpy progress(&scanner, &BusScanner::progress);
        scan::Options options;
        options.lastAddress = 63;
        options.attempts = 2;
        f.worker.setBusJob([&](kvhart_master &m) { return scanner.scan(m, options); });
        f.request("scan bus");
        QTRY_VERIFY(progress.size() >= 3);
        scanner.cancel();
        QVERIFY(f.runUntil("scan bus failed", 5000).contains("scan bus failed"));
        QVERIFY(progress.last().at(0).toInt() < 6);
        QVERIFY(scanner.devices().isEmpty());
        QCOMPARE(f.worker.master()->retryCount, quint8(2));
    }

    void commandLine_exitStatuses()
    {
        QProcess p;
        p.start(QStringLiteral(HARTCONFIG_PATH),
                {QStringLiteral("--scan"), QStringLiteral("/dev/hart-no-such-port")});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        for (const QStringList &args :
             {QStringList{"--scan", "x", "--addresses", "0-64"},
              QStringList{"--scan", "x", "--attempts", "0"},
              QStringList{"--addresses", "0-63"}, QStringList{"--scan", "x", "--tag", QString(33, QLatin1Char('T'))},
              QStringList{"--scan", "x", "--tag", QStringLiteral("位号")}}) {
            p.start(QStringLiteral(HARTCONFIG_PATH), args);
            QVERIFY(p.waitForFinished(10000));
            QCOMPARE(p.exitCode(), 2);
        }
        // A silent line: the scan ran, nothing found.
        SimConfig silent;
        silent.faults.silent = true;
        TransmitterSim sim(silent);
        QVERIFY(sim.start());
        p.start(QStringLiteral(HARTCONFIG_PATH), {QStringLiteral("--scan"), sim.portPath(),
                                                  QStringLiteral("--addresses"),
                                                  QStringLiteral("0"), QStringLiteral("--attempts"),
                                                  QStringLiteral("1")});
        QVERIFY(p.waitForFinished(20000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().isEmpty());
        int polls = 0;
        for (const SimRequest &r : sim.requests())
            polls += r.command == 0;
        QCOMPARE(polls, 1);

        // The program itself over HART-IP: a scan over UDP, the health over TCP.
        TransmitterSim native;
        HartIpServer udp(native);
        QVERIFY(udp.start(hartip::Scheme::Udp));
        QVERIFY(udp.url().startsWith(QStringLiteral("hartip://127.0.0.1:")));
        p.start(QStringLiteral(HARTCONFIG_PATH), {QStringLiteral("--scan"), udp.url(),
                                                  QStringLiteral("--addresses"), QStringLiteral("0-2"),
                                                  QStringLiteral("--attempts"), QStringLiteral("1")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(p.readAllStandardOutput(),
                 QByteArray("{\"address\":0,\"manufacturer\":154,\"deviceType\":16,\"deviceId\":1193046,"
                            "\"tag\":\"SIMTX-01\",\"universalRevision\":5,\"loopCurrentMode\":null}\n"));
        QTRY_COMPARE_WITH_TIMEOUT(udp.closesReceived(), 1, 3000); // it ended its session
        udp.stop();
        HartIpServer tcp(native);
        QVERIFY(tcp.start(hartip::Scheme::Tcp));
        p.start(QStringLiteral(HARTCONFIG_PATH), {QStringLiteral("--health"), tcp.url()});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().contains("\"deviceId\""));
        QTRY_COMPARE_WITH_TIMEOUT(tcp.closesReceived(), 1, 3000);
        // A server that is not there: exit 1 with the reason.
        const QString gone = tcp.url();
        tcp.stop();
        p.start(QStringLiteral(HARTCONFIG_PATH), {QStringLiteral("--scan"), gone});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY2(p.readAllStandardError().contains("refused the connection"), "no reason given");
    }
};

QTEST_MAIN(TstBusScan)
#include "tst_busscan.moc"
