// Start-up to window shown and resident memory of the program's window against a bare Qt
// Widgets program showing one label, in the same run, as ratios. Each measurement is a fresh
// process: this program started again as "--window" or "--bare", timed from its start until
// it reports its window shown (after the first pass of its event loop).
#include "defaultbackup.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
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
    if (window)
        shown = std::make_unique<MainWindow>();
    else
        shown = std::make_unique<QLabel>(QStringLiteral("感谢您使用本公司产品！"));
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

Run measure(const QString &self, const QString &mode, const QString &workDir)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workDir);
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
    if (argc > 1 && qstrcmp(argv[1], "--window") == 0)
        return child(argc, argv, true);
    if (argc > 1 && qstrcmp(argv[1], "--bare") == 0)
        return child(argc, argv, false);

    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    // The window loads its default backup at start-up, as a user's working directory holds it.
    QTemporaryDir workDir;
    if (!workDir.isValid()
        || writeDefaultBackup(workDir.filePath(QStringLiteral("kt-310-default.vqmbk")))
                != BackupFile::SaveResult::Ok) {
        std::fprintf(stderr, "cannot write the default backup\n");
        return 1;
    }
    constexpr int kRuns = 9;
    const QStringList modes{QStringLiteral("--bare"), QStringLiteral("--window")};
    std::vector<std::vector<double>> ms(2);
    std::vector<std::vector<long>> kb(2);
    for (const QString &mode : modes)
        measure(self, mode, workDir.path()); // warm the file cache
    for (int i = 0; i < kRuns; ++i) {
        for (int m = 0; m < 2; ++m) {
            const Run r = measure(self, modes[m], workDir.path());
            if (r.ms < 0) {
                std::fprintf(stderr, "a run did not report its window\n");
                return 1;
            }
            ms[size_t(m)].push_back(r.ms);
            kb[size_t(m)].push_back(r.kb);
        }
    }
    const double bareMs = median(ms[0]);
    const long bareKb = median(kb[0]);
    std::printf("bare label: start-up to shown %.1f ms, resident %ld kB (medians of %d)\n", bareMs,
                bareKb, kRuns);
    const char *names[] = {nullptr, "main window with every page"};
    for (int m = 1; m < 2; ++m) {
        const double wMs = median(ms[size_t(m)]);
        const long wKb = median(kb[size_t(m)]);
        std::printf("%s: start-up %.1f ms (ratio %.2fx), resident %ld kB (ratio %.2fx)\n", names[m],
                    wMs, wMs / bareMs, wKb, double(wKb) / double(bareKb));
    }
    return 0;
}
