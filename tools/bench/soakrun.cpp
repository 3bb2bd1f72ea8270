// A long run of the real window against a misbehaving simulated transmitter: noise and
// corrupt answers all along, a silent spell now and then, the process monitoring page
// polling and the traffic monitor open. Samples resident memory, open descriptors, the
// capture ring and the worst window-thread stall every minute, then prints the growth per
// hour. Usage: soakrun [LENGTH] with LENGTH like 90s, 10m or 1h (default 1h).
// The capture is filled to its 100,000 records first, so the run measures a full ring.
#include "hartthread.h"
#include "kvhart_master.h"
#include "mainwindow.h"
#include "seriallink.h"
#include "trafficcapture.h"
#include "trafficwindow.h"
#include "transmittersim.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

qint64 parseLengthSeconds(const QString &text)
{
    if (text.isEmpty())
        return 3600;
    const QChar unit = text.back();
    const qint64 number = (unit.isDigit() ? text : text.chopped(1)).toLongLong();
    if (unit == QLatin1Char('s'))
        return number;
    if (unit == QLatin1Char('h'))
        return number * 3600;
    return number * 60; // minutes, with or without "m"
}

double residentMiB()
{
    long pages = 0, resident = 0;
    if (std::FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System
                                                                | QDir::Files)
                       .size());
}

// Least-squares slope of y over x.
double slope(const std::vector<double> &x, const std::vector<double> &y)
{
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sx += x[i], sy += y[i], sxx += x[i] * x[i], sxy += x[i] * y[i];
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

template<typename Pred>
bool waitUntil(Pred done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Fills the capture with answered transactions so the ring starts full.
void fillCapture(traffic::TrafficCapture &capture)
{
    const std::uint8_t request[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0x91, 0x10,
                                    0x12, 0x34, 0x56, 0x01, 0x00, 0x00};
    std::uint8_t answer[] = {0x86, 0x91, 0x10, 0x12, 0x34, 0x56, 0x01, 0x07, 0x00,
                             0x00, 0x0C, 0x42, 0x48, 0x00, 0x00, 0x00};
    answer[sizeof answer - 1] = xorChecksum(answer, sizeof answer - 1);
    while (capture.size() < capture.capacity()) {
        capture.attemptStarted(1, 0);
        capture.requestWritten(request, sizeof request);
        capture.frameReceived(answer, sizeof answer, RxVerdict::Accepted);
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const qint64 lengthS = parseLengthSeconds(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    constexpr qint64 kSampleS = 60;
    constexpr qint64 kSilentEveryS = 600; // a 30 s silent spell 3 minutes into every 10
    constexpr qint64 kSilentAtS = 180;
    constexpr qint64 kSilentForS = 30;

    SimConfig config;
    config.pace = true;
    config.faults.noise = true;
    config.faults.corruptEvery = 7;
    TransmitterSim sim(config);
    if (!sim.start()) {
        std::fprintf(stderr, "cannot start the simulated transmitter\n");
        return 1;
    }

    MainWindow window;
    window.show();
    traffic::TrafficCapture &capture = *window.trafficCapture();
    fillCapture(capture);

    window.findChild<QComboBox *>(QStringLiteral("comboBox_duankouhao"))->setEditText(sim.portPath());
    window.findChild<QPushButton *>(QStringLiteral("pushButton_dakaiduankou"))->click();
    auto *pages = window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    window.findChild<QPushButton *>(QStringLiteral("pushButton_chaxunyibiao"))->click();
    if (!waitUntil([&] { return pages->currentIndex() == 2; }, 30000)) {
        std::fprintf(stderr, "the search did not find the simulated transmitter\n");
        return 1;
    }
    window.findChild<QPushButton *>(QStringLiteral("pushButton_guochengjiankong"))->click();
    window.findChild<QPushButton *>(QStringLiteral("pushButton_traffic"))->click();

    // The window thread's worst stall: lateness of a 5 ms tick.
    qint64 worstStallUs = 0;
    QElapsedTimer tickClock;
    tickClock.start();
    qint64 lastTickUs = 0;
    QTimer stallProbe;
    stallProbe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&stallProbe, &QTimer::timeout, [&] {
        const qint64 now = tickClock.nsecsElapsed() / 1000;
        worstStallUs = std::max(worstStallUs, now - lastTickUs - 5000);
        lastTickUs = now;
    });
    lastTickUs = tickClock.nsecsElapsed() / 1000;
    stallProbe.start(5);

    std::vector<double> minutes, rss, fds;
    std::printf("soak run of %lld s; a sample each minute\n", static_cast<long long>(lengthS));
    // stall: the window thread's worst lateness (scheduling on a shared machine included);
    // monitor: the monitor's own worst tick.
    std::printf("%7s %10s %5s %8s %8s %8s %8s %9s %10s\n", "minute", "RSS MiB", "fds", "ring",
                "txns", "timeouts", "badsum", "stall ms", "monitor ms");
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    bool silent = false;
    qint64 nextSampleS = kSampleS;
    while (clock.elapsed() / 1000 < lengthS) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const qint64 s = clock.elapsed() / 1000;
        const bool wantSilent = (s % kSilentEveryS) >= kSilentAtS
                && (s % kSilentEveryS) < kSilentAtS + kSilentForS;
        if (wantSilent != silent) {
            silent = wantSilent;
            SimFaults faults = config.faults;
            faults.silent = silent;
            sim.setFaults(faults);
        }
        if (s >= nextSampleS) {
            nextSampleS += kSampleS;
            const traffic::Counters c = capture.counters();
            minutes.push_back(double(s) / 60.0);
            rss.push_back(residentMiB());
            fds.push_back(openDescriptors());
            std::printf("%7.1f %10.2f %5d %8zu %8llu %8llu %8llu %9.2f %10.2f\n", minutes.back(),
                        rss.back(), int(fds.back()), capture.size(),
                        static_cast<unsigned long long>(c.transactions),
                        static_cast<unsigned long long>(c.timeouts),
                        static_cast<unsigned long long>(c.badChecksums), worstStallUs / 1000.0,
                        window.trafficWindow()->takeWorstPullUs() / 1000.0);
            std::fflush(stdout);
            worstStallUs = 0;
        }
    }
    if (minutes.size() >= 2) {
        // The first minute holds start-up; growth is measured from its sample on.
        const double hours = (minutes.back() - minutes.front()) / 60.0;
        std::printf("growth per hour: RSS %+.2f MiB (first to last), %+.2f MiB (fitted); "
                    "descriptors %+.1f (first to last)\n",
                    (rss.back() - rss.front()) / hours, slope(minutes, rss) * 60.0,
                    (fds.back() - fds.front()) / hours);
    }
    window.worker()->stop();
    sim.stop();
    return 0;
}
