// What HART-IP adds to a transaction on loopback: 1,000 command-0 transactions through the
// master against the simulated transmitter's HART-IP server, over UDP, TCP and TLS, against
// the device model's own answer time for the same frame. Prints numbers; asserts nothing.
#include "hartipserver.h"
#include "hartiplink.h"
#include "kvhart_master.h"
#include "transmittersim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr int kTransactions = 1000;

struct Spread
{
    double median = 0;
    double worst = 0;
};

Spread spread(std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us.back()};
}

// The device's own time: the frame handed straight to the model.
Spread deviceTime(TransmitterSim &sim, const QByteArray &frame)
{
    std::vector<double> us;
    for (int i = 0; i < kTransactions; ++i) {
        QElapsedTimer t;
        t.start();
        sim.answerFrame(frame);
        us.push_back(t.nsecsElapsed() / 1e3);
    }
    return spread(us);
}

bool run(const char *name, hartip::Scheme scheme, const QString &keyFile, const QByteArray &key)
{
    TransmitterSim sim;
    HartIpServer server(sim);
    if (!server.start(scheme, 0, "bench", key)) {
        std::printf("%s: server failed: %s\n", name, qPrintable(server.errorString()));
        return false;
    }
    kvhart_master master;
    HartIpLink link(&master);
    QObject::connect(&master, &kvhart_master::SendData, &link, &HartIpLink::send);
    bool opened = false, done = false;
    QObject::connect(&link, &HartIpLink::opened, [&](bool ok) { opened = ok, done = true; });
    link.open(server.url() + (keyFile.isEmpty() ? QString() : QStringLiteral("?psk=") + keyFile));
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    if (!opened) {
        std::printf("%s: session failed (%d)\n", name, int(link.failure()));
        return false;
    }

    std::vector<double> us;
    int failures = 0;
    QThread *worker = QThread::create([&] {
        HartResponse r{};
        for (int i = 0; i < kTransactions; ++i) {
            QElapsedTimer t;
            t.start();
            failures += master.readUniqueIdentifier(&r);
            us.push_back(t.nsecsElapsed() / 1e3);
        }
    });
    worker->start();
    while (!worker->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker->wait();
    delete worker;

    const int retried = sim.requests().size() - kTransactions;
    const QByteArray frame = QByteArray::fromHex("0280000082");
    const Spread device = deviceTime(sim, frame);
    const Spread total = spread(us);
    std::printf("%-4s %d transactions, %d failed, %d attempts retried\n", name, kTransactions,
                failures, retried);
    std::printf("     transaction  median %8.1f us  worst %8.1f us\n", total.median, total.worst);
    std::printf("     device own   median %8.1f us  worst %8.1f us\n", device.median, device.worst);
    std::printf("     added        median %8.3f ms  worst %8.3f ms\n",
                (total.median - device.median) / 1e3, (total.worst - device.median) / 1e3);
    std::fflush(stdout);
    link.close();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray key = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    const QString keyFile = dir.filePath(QStringLiteral("bench.psk"));
    QFile f(keyFile);
    f.open(QIODevice::WriteOnly);
    f.write("bench:" + key.toHex() + '\n');
    f.close();
    ::chmod(QFile::encodeName(keyFile).constData(), 0600);

    bool ok = run("udp", hartip::Scheme::Udp, QString(), QByteArray());
    ok = run("tcp", hartip::Scheme::Tcp, QString(), QByteArray()) && ok;
    ok = run("tls", hartip::Scheme::Tls, keyFile, key) && ok;
    return ok ? 0 : 1;
}
