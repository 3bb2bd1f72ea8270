// Start-up to window shown and resident memory of the program's window against a bare Qt
// Widgets program showing one label, in the same run, as ratios. Each measurement is a fresh
// process: this program started again as "--window" or "--bare", timed from its start until
// it reports its window shown (after the first pass of its event loop).
#include "benchhost.h"
#include "currenttrimpage.h"
#include "mainwindow.h"
#include "monitoringpage.h"
#include "sensorconfigpage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int child(int argc, char **argv, bool window)
{
    qputenv("QT_IM_MODULE", QByteArray("qtvirtualkeyboard"));
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> shown;
    BenchHost host;
    if (window) {
        auto w = std::make_unique<MainWindow>();
        // The pages of this branch, as the shell will hold them ("--window-only" leaves them
        // out, to see what they add).
        if (qstrcmp(argv[1], "--window-only") != 0) {
            new MonitoringPage(host, w.get());
            new CurrentTrimPage(host, w.get());
            new SensorConfigPage(host, w.get());
        }
        shown = std::move(w);
    } else {
        shown = std::make_unique<QLabel>(QStringLiteral("感谢您使用本公司产品！"));
    }
    shown->show();
    QTimer::singleShot(0, [] {
        std::printf("shown %ld\n", residentKb());
        std::fflush(stdout);
        QCoreApplication::quit();
    });
    return app.exec();
}

struct Run
{
    double ms = -1;
    long kb = -1;
};

Run measure(const QString &self, const QString &mode)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    p.start(self, {mode});
    Run r;
    while (p.waitForReadyRead(10000)) {
        const QByteArray line = p.readLine();
        if (line.startsWith("shown")) {
            r.ms = clock.nsecsElapsed() / 1e6;
            r.kb = line.mid(6).trimmed().toLong();
            break;
        }
    }
    p.waitForFinished(10000);
    return r;
}

template<typename T>
T median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && (qstrcmp(argv[1], "--window") == 0 || qstrcmp(argv[1], "--window-only") == 0))
        return child(argc, argv, true);
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0)
        return child(argc, argv, false);

    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    constexpr int kRuns = 9;
    std::vector<double> windowMs, bareMs;
    std::vector<long> windowKb, bareKb;
    measure(self, QStringLiteral("--bare")); // warm the file cache for both
    measure(self, QStringLiteral("--window"));
    for (int i = 0; i < kRuns; ++i) {
        const Run b = measure(self, QStringLiteral("--bare"));
        const Run w = measure(self, QStringLiteral("--window"));
        if (b.ms < 0 || w.ms < 0) {
            std::fprintf(stderr, "a run did not report its window\n");
            return 1;
        }
        bareMs.push_back(b.ms);
        windowMs.push_back(w.ms);
        bareKb.push_back(b.kb);
        windowKb.push_back(w.kb);
    }
    const double wMs = median(windowMs), bMs = median(bareMs);
    const long wKb = median(windowKb), bKb = median(bareKb);
    std::printf(
            "start-up to shown (median of %d): window %.1f ms, bare label %.1f ms, ratio %.2fx\n",
            kRuns, wMs, bMs, wMs / bMs);
    std::printf("resident memory when shown (median): window %ld kB, bare label %ld kB, ratio "
                "%.2fx\n",
                wKb, bKb, double(wKb) / double(bKb));
    return 0;
}
