// Measures the HART link against the simulated transmitter pacing its answers at line
// speed: wall time of "search meter" and "write all" against the time the bits need on
// the wire plus the 20 ms pauses, and how late RTS is released while the window thread
// is busy. Everything runs twice, without and with the traffic capture recording every
// frame, and the capture's cost is printed as the ratio of the two. Prints numbers;
// asserts nothing.
#include "hartthread.h"
#include "kvhart_master.h"
#include "seriallink.h"
#include "trafficcapture.h"
#include "transmittersim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kCharSeconds = 11.0 / 1200.0;

struct Rig
{
    TransmitterSim sim;
    hartThread worker;
    SerialLink link{worker.master()};
    QStringList messages;

    explicit Rig(const SimConfig &config)
        : sim(config)
    {
        QObject::connect(worker.master(), &kvhart_master::SendData, &link,
                         &SerialLink::writeMySerialPort);
        QObject::connect(&worker, &hartThread::sendMessageToMainThread, &link,
                         [this](const QString &m) { messages << m; });
    }

    // Sends a request and returns the wall time until `last` arrives, in seconds.
    double run(const QString &request, const QString &last)
    {
        messages.clear();
        QElapsedTimer clock;
        clock.start();
        worker.receiveMessageFromMainThread(request);
        while (!messages.contains(last))
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        return clock.nsecsElapsed() / 1e9;
    }
};

double report(Rig &rig, const char *name, const QString &request, const QString &last)
{
    rig.sim.clearRequests();
    const qint64 tx0 = rig.link.bytesWritten(), rx0 = rig.link.bytesRead();
    const double wall = rig.run(request, last);
    const int commands = rig.sim.requests().size();
    const qint64 bytes = rig.link.bytesWritten() - tx0 + rig.link.bytesRead() - rx0;
    const double ideal = bytes * kCharSeconds + commands * 0.020;
    std::printf("%-14s commands %4d  bytes %6lld  wall %7.3f s  wire+pauses %7.3f s  ratio %.3f\n",
                name, commands, static_cast<long long>(bytes), wall, ideal, wall / ideal);
    return wall / ideal;
}

struct Run
{
    double search = 0, writeAll = 0;
    double timerMedianMs = 0, timerWorstMs = 0, windowMedianMs = 0, windowWorstMs = 0;
};

Run runAll(Rig &rig)
{
    Run run;
    run.search = report(rig, "search meter", "search meter", "set progressBar:100");
    run.writeAll = report(rig, "write all", "write all", "fac save succeed");

    // RTS release lateness over 200 frames while the window thread is kept busy in
    // slices of 5 ms (a redraw-heavy page).
    QVector<qint64> timerLate, windowLate;
    const auto connection = QObject::connect(&rig.link, &SerialLink::rtsReleased,
                                             [&](qint64 t, qint64 w) {
                                                 timerLate << t;
                                                 windowLate << w;
                                             });
    QTimer busy;
    QObject::connect(&busy, &QTimer::timeout, [] {
        QElapsedTimer spin;
        spin.start();
        while (spin.nsecsElapsed() < 5000000) { }
    });
    busy.start(0);
    while (timerLate.size() < 200)
        rig.run("read more info", "set progressBar:100");
    busy.stop();
    QObject::disconnect(connection);
    auto stats = [](QVector<qint64> v, const char *name, double &median, double &worst) {
        std::sort(v.begin(), v.end());
        median = v[v.size() / 2] / 1000.0;
        worst = v.last() / 1000.0;
        std::printf("RTS release %-28s median %6.2f ms  worst %6.2f ms  (%d frames)\n", name,
                    median, worst, v.size());
    };
    stats(timerLate, "(timer thread)", run.timerMedianMs, run.timerWorstMs);
    stats(windowLate, "(window thread, busy 5 ms)", run.windowMedianMs, run.windowWorstMs);
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SimConfig config;
    config.pace = true;
    Rig rig(config);
    if (!rig.sim.start() || !rig.link.open(rig.sim.portPath())) {
        std::fprintf(stderr, "cannot start the simulated transmitter\n");
        return 1;
    }
    rig.worker.start();
    rig.worker.receiveMessageFromMainThread("open port");

    std::printf("-- without the traffic capture\n");
    const Run off = runAll(rig);
    traffic::TrafficCapture capture;
    rig.worker.master()->setCapture(&capture);
    std::printf("-- with the traffic capture recording every frame\n");
    const Run on = runAll(rig);
    rig.worker.master()->setCapture(nullptr);
    std::printf("capture on/off: search ratio %.3f / %.3f = %.4f, write all ratio %.3f / %.3f = "
                "%.4f\n",
                on.search, off.search, on.search / off.search, on.writeAll, off.writeAll,
                on.writeAll / off.writeAll);
    std::printf("capture on/off: RTS lateness (timer thread) median %.2f / %.2f ms, worst %.2f / "
                "%.2f ms; %zu records held\n",
                on.timerMedianMs, off.timerMedianMs, on.timerWorstMs, off.timerWorstMs,
                capture.size());

    rig.worker.stop();
    rig.link.close();
    rig.sim.stop();
    return 0;
}
