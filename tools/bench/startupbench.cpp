// Start-up to window shown and resident memory of the program's window against a bare Qt
// Widgets program showing one label, in the same run, as ratios. Each measurement is a fresh
// process: this program started again as "--window" or "--bare", timed from its start until
// it reports its window's first paint; the main window also reports when every page is built.
#include "defaultbackup.h"
#include "mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
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

// Reports its first paint: the moment the technician sees the window.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(std::function<void()> then)
        : m_then(std::move(then))
    { }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            std::printf("shown %ld\n", residentKb());
            std::fflush(stdout);
            if (m_then)
                QTimer::singleShot(0, m_then);
        }
        return QObject::eventFilter(watched, event);
    }

    bool seen() const { return m_seen; }

private:
    std::function<void()> m_then;
    bool m_seen = false;
};

int child(int argc, char **argv, bool window)
{
    qputenv("QT_IM_MODULE", QByteArray("qtvirtualkeyboard"));
    QApplication app(argc, argv);
    std::unique_ptr<QWidget> shown;
    std::unique_ptr<FirstPaint> firstPaint;
    if (window) {
        auto *main = new MainWindow;
        shown.reset(main);
        firstPaint = std::make_unique<FirstPaint>(nullptr);
        // The whole window, every page built (the last page exists once the pages, the
        // default backup and the store are done): the memory a working session starts from.
        auto *poll = new QTimer(main);
        QObject::connect(poll, &QTimer::timeout, main, [main, poll, &firstPaint] {
            if (!firstPaint->seen() || !main->findChild<QWidget *>(QStringLiteral("page_18")))
                return;
            poll->stop();
            std::printf("built %ld\n", residentKb());
            std::fflush(stdout);
            QCoreApplication::quit();
        });
        poll->start(1);
    } else {
        shown = std::make_unique<QLabel>(QStringLiteral("感谢您使用本公司产品！"));
        firstPaint = std::make_unique<FirstPaint>([] { QCoreApplication::quit(); });
    }
    shown->installEventFilter(firstPaint.get());
    shown->show();
    return app.exec();
}

struct Run
{
    double ms = -1;
    long kb = -1;
    double builtMs = -1;
    long builtKb = -1;
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
    const bool window = mode == QLatin1String("--window");
    while (p.state() != QProcess::NotRunning || p.canReadLine()) {
        if (!p.canReadLine() && !p.waitForReadyRead(10000))
            break;
        while (p.canReadLine()) {
            const QByteArray line = p.readLine();
            const double ms = clock.nsecsElapsed() / 1e6;
            if (line.startsWith("shown")) {
                r.ms = ms;
                r.kb = line.mid(6).trimmed().toLong();
            } else if (line.startsWith("built")) {
                r.builtMs = ms;
                r.builtKb = line.mid(6).trimmed().toLong();
            }
        }
        if (r.ms >= 0 && (!window || r.builtMs >= 0))
            break;
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
    std::vector<double> builtMs;
    std::vector<long> builtKb;
    for (const QString &mode : modes)
        measure(self, mode, workDir.path()); // warm the file cache
    for (int i = 0; i < kRuns; ++i) {
        for (int m = 0; m < 2; ++m) {
            const Run r = measure(self, modes[m], workDir.path());
            if (r.ms < 0) {
                std::fprintf(stderr, "a run did not report its window\n");
                return 1;
            }
            if (m == 1 && r.builtMs < 0) {
                std::fprintf(stderr, "a run did not report its pages built\n");
                return 1;
            }
            ms[size_t(m)].push_back(r.ms);
            kb[size_t(m)].push_back(r.kb);
            if (m == 1) {
                builtMs.push_back(r.builtMs);
                builtKb.push_back(r.builtKb);
            }
        }
    }
    const double bareMs = median(ms[0]);
    const long bareKb = median(kb[0]);
    const double wMs = median(ms[1]);
    const long wKb = median(kb[1]);
    std::printf("bare label: start-up to shown %.1f ms, resident %ld kB (medians of %d)\n",
                bareMs, bareKb, kRuns);
    std::printf("main window: start-up to shown %.1f ms (ratio %.2fx), resident %ld kB "
                "(ratio %.2fx)\n",
                wMs, wMs / bareMs, wKb, double(wKb) / double(bareKb));
    const double allMs = median(builtMs);
    const long allKb = median(builtKb);
    std::printf("main window with every page built: %.1f ms from its start (ratio %.2fx), "
                "resident %ld kB (ratio %.2fx)\n",
                allMs, allMs / bareMs, allKb, double(allKb) / double(bareKb));
    return 0;
}
