// Writing a calibration certificate at its largest: two runs of 21 points each. Prints the
// time per certificate, the file size and the page count, so the export's share of a
// technician's wait stays known.
#include "certificate.h"

#include <QGuiApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

using namespace loopcheck;

namespace {

Run makeRun(RunKind kind, double offsetPercent)
{
    Run run;
    run.kind = kind;
    run.setup.pointsPercent.clear();
    for (int i = 0; i <= 10; ++i)
        run.setup.pointsPercent << i * 10.0;
    for (int i = 9; i >= 0; --i)
        run.setup.pointsPercent << i * 10.0;
    run.setup.reference = {QStringLiteral("压力校验仪 PC-200"), QStringLiteral("RS-7731"),
                           QDate::currentDate().addYears(1)};
    run.setup.technician = QStringLiteral("张工");
    run.setup.station = QStringLiteral("一号站");
    run.range.unit = QStringLiteral("kPa");
    run.identity = {QStringLiteral("PT-101"), QStringLiteral("9A-10-123456"),
                    QStringLiteral("41394"), QStringLiteral("通用 5 / 设备 1 / 软件 3 / 硬件 9")};
    run.started = run.finished = QDateTime::currentDateTime();
    const QVector<Direction> dirs = directions(run.setup.pointsPercent);
    for (int i = 0; i < run.setup.pointsPercent.size(); ++i) {
        const double applied = run.setup.pointsPercent[i];
        const double pv = applied + offsetPercent + 0.02 * std::sin(i);
        run.readings << evaluate(run.range, run.setup.tolerance, applied, dirs[i], applied, pv,
                                 4.0 + 0.16 * pv);
    }
    return run;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Certificate c;
    c.number = QStringLiteral("LC-BENCH-0001");
    c.asFound = makeRun(RunKind::AsFound, 0.4);
    c.asLeft = makeRun(RunKind::AsLeft, 0.05);
    c.programVersion = QStringLiteral("bench");
    c.issued = QDateTime::currentDateTime();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("certificate.pdf"));

    // The first one loads the font; it is the one a technician waits for.
    QElapsedTimer clock;
    clock.start();
    QString error = writeCertificate(path, c);
    const double firstMs = clock.nsecsElapsed() / 1e6;
    constexpr int kRounds = 10;
    clock.restart();
    for (int i = 0; i < kRounds && error.isEmpty(); ++i)
        error = writeCertificate(path, c);
    const double eachMs = clock.nsecsElapsed() / 1e6 / kRounds;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "certificatebench: %s\n", qPrintable(error));
        return 1;
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    const int pages = bytes.count("/Type /Page") - bytes.count("/Type /Pages");
    std::printf("certificate, 2 runs x 21 points: first %.1f ms, then %.1f ms each, %lld bytes, "
                "%d pages\n",
                firstMs, eachMs, static_cast<long long>(file.size()), pages);
    return 0;
}
