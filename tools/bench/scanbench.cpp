// The multidrop scan against the simulator bus at line speed, with the product's time-out
// and one attempt per empty address: wall time against what the line allows, that is each
// request's wire time plus the answer time a device is allowed (the time-out) at a silent
// address, and the answers' own wire time where a device answers.
//   scanbench [LAST_ADDRESS ...]   (default 15 63)
#include "busscan.h"
#include "busspec.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "seriallink.h"
#include "transmittersim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>

#include <cstdio>

namespace {

// Characters of one request or answer with its preambles.
double wireMs(int characters)
{
    return characters * 11.0 * 1000.0 / 1200.0;
}

struct Run
{
    double wallMs = 0;
    double allowedMs = 0;
    int found = 0;
};

Run scanOnce(const QString &spec, int last)
{
    SimConfig config;
    QString why;
    if (!spec.isEmpty() && !applyBusSpec(spec, config, &why))
        qFatal("%s", qPrintable(why));
    if (spec.isEmpty())
        config.faults.silent = true;
    config.pace = true;
    TransmitterSim sim(config);
    sim.start();
    hartThread worker;
    SerialLink link(worker.master());
    QObject::connect(worker.master(), &kvhart_master::SendData, &link,
                     &SerialLink::writeMySerialPort);
    link.open(sim.portPath());
    BusScanner scanner;
    scan::Options options;
    options.lastAddress = last;
    options.attempts = 1;
    worker.setBusJob([&](kvhart_master &m) { return scanner.scan(m, options); });
    QEventLoop loop;
    QObject::connect(&worker, &hartThread::sendMessageToMainThread, &loop, [&](const QString &m) {
        if (m.startsWith(QLatin1String("scan bus ")))
            loop.quit();
    });
    const int preambles = worker.master()->preambleCount;
    const int timeout = worker.master()->timeoutMs;
    worker.start();
    worker.receiveMessageFromMainThread(QStringLiteral("open port"));
    QElapsedTimer clock;
    clock.start();
    worker.receiveMessageFromMainThread(QStringLiteral("scan bus"));
    loop.exec();
    Run run;
    run.wallMs = double(clock.elapsed());
    worker.stop();
    run.found = scanner.devices().size();
    const int devicePreambles = config.responsePreambles;
    const int settle = BusScanner::wireMs(39);
    for (int a = 0; a <= last; ++a) {
        run.allowedMs += wireMs(preambles + 5); // command 0, short frame
        bool here = false;
        for (const scan::Device &d : scanner.devices())
            here = here || d.address == a;
        if (!here) {
            run.allowedMs += timeout;
            continue;
        }
        // Command 0, 13 and 7 answered, and the wait for a second answer at the address.
        run.allowedMs += wireMs(devicePreambles + 19) + settle;
        run.allowedMs += wireMs(devicePreambles + 9) + wireMs(devicePreambles + 32);
        run.allowedMs += wireMs(devicePreambles + 9) + wireMs(devicePreambles + 13);
    }
    return run;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("hart.*.debug=false"));
    QList<int> lasts;
    for (const QString &a : app.arguments().mid(1))
        lasts << a.toInt();
    if (lasts.isEmpty())
        lasts = {15, 63};
    for (const QString &spec : {QString(), QStringLiteral("0:TAG1:5,5:TAG2:7,12:TAG3:6")}) {
        for (int last : lasts) {
            const Run r = scanOnce(spec, last);
            std::printf("scan 0-%-2d %-22s found %d  wall %8.0f ms  allowed %8.0f ms  ratio %.3f\n",
                        last, spec.isEmpty() ? "(empty line)" : "(devices 0, 5, 12)", r.found,
                        r.wallMs, r.allowedMs, r.wallMs / r.allowedMs);
            std::fflush(stdout);
        }
    }
    return 0;
}
