// Process monitoring: the axis rule, the bounded buffer and the trend export without a
// window; then the page against the simulated transmitter over the real serial path.
#include "monitoringpage.h"
#include "testpagehost.h"
#include "trendbuffer.h"

#include <qcustomplot.h>

#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstring>

namespace {

QByteArray f32le(float v)
{
    QByteArray b(4, 0);
    std::memcpy(b.data(), &v, 4);
    return b;
}

struct MonitoringRig
{
    TestPageHost host;
    MonitoringPage page{host};

    MonitoringRig()
    {
        host.on(QStringLiteral("read guochengjiankong PV succeed"),
                [this] { page.onMonitoringHeader(); });
        host.on(QStringLiteral("read PV succeed"), [this] { page.onPvSample(); });
        host.enterMonitoring = [this] {
            page.resetMonitoring();
        };
        page.resize(700, 500);
        page.show();
    }

    QString field(const char *name) const
    {
        return page.findChild<QLineEdit *>(QLatin1String(name))->text();
    }

    bool waitForSamples(int n, int timeoutMs = 8000)
    {
        return TestPageHost::waitFor([&] { return page.buffer().size() >= n; }, timeoutMs);
    }
};

} // namespace

class tst_MonitoringPage : public QObject
{
    Q_OBJECT

private slots:
    void construction_connectsEverySlotByName();
    void axisRange_data();
    void axisRange();
    void buffer_2001stSampleDropsTheFirst();
    void csv_headerColumnsAndQuoting();
    void export_failedWritesAreReported_data();
    void export_failedWritesAreReported();
    void export_writesCsvAndPng();

    void samples_fillFieldsInTheirFormats();
    void reenteringThePage_startsWithEmptyCurves();
};

void tst_MonitoringPage::axisRange_data()
{
    QTest::addColumn<float>("urv");
    QTest::addColumn<float>("lrv");
    QTest::addColumn<double>("lower");
    QTest::addColumn<double>("upper");
    QTest::newRow("0..100") << 100.0f << 0.0f << -10.0 << 110.0;
    QTest::newRow("small span: margin truncates to 0") << 1.6f << 0.0f << 0.0 << double(1.6f);
    QTest::newRow("-50..250") << 250.0f << -50.0f << -80.0 << 280.0;
    QTest::newRow("reversed range") << 0.0f << 100.0f << 110.0 << -10.0;
    // A margin past the int range must not be cast (undefined); it is dropped.
    QTest::newRow("huge span") << 3e38f << -3e38f << double(-3e38f) << double(3e38f);
}

void tst_MonitoringPage::axisRange()
{
    QFETCH(float, urv);
    QFETCH(float, lrv);
    QFETCH(double, lower);
    QFETCH(double, upper);
    const AxisRange r = pvAxisRange(urv, lrv);
    QCOMPARE(r.lower, lower);
    QCOMPARE(r.upper, upper);
}

void tst_MonitoringPage::buffer_2001stSampleDropsTheFirst()
{
    TrendBuffer b;
    for (int i = 1; i <= TrendBuffer::kMaxSamples; ++i)
        b.append(i, i * 0.5, 4.0 + i * 0.001, i * 0.01);
    QCOMPARE(b.size(), 2000);
    QCOMPARE(b.time().first(), 1.0);
    b.append(2001, 7, 8, 9);
    QCOMPARE(b.size(), 2000);
    QCOMPARE(b.time().first(), 2.0);
    QCOMPARE(b.pv().first(), 1.0);
    QCOMPARE(b.current().size(), 2000);
    QCOMPARE(b.percent().size(), 2000);
    QCOMPARE(b.time().last(), 2001.0);
    QCOMPARE(b.percent().last(), 9.0);
}

void tst_MonitoringPage::csv_headerColumnsAndQuoting()
{
    TrendBuffer b;
    const qint64 t = 1765280000; // a fixed second, shown in local time with its offset
    b.append(double(t), 12.5, 12.0, 50.0);
    b.append(double(t + 1), -0.25, 3.8, -1.5625);
    const QByteArray csv = trendCsv(
            {QStringLiteral("PT,101"), QStringLiteral("9A10123456"), QStringLiteral("℃")}, b);
    const QStringList lines = QString::fromUtf8(csv).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 7); // four header lines, two rows, the final empty piece
    QCOMPARE(lines[0], QStringLiteral("# tag,\"PT,101\""));
    QCOMPARE(lines[1], QStringLiteral("# unique id,9A10123456"));
    QCOMPARE(lines[2], QStringLiteral("# PV unit,℃"));
    QCOMPARE(lines[3], QStringLiteral("time,PV,current_mA,percent"));

    const QStringList row = lines[4].split(QLatin1Char(','));
    QCOMPARE(row.size(), 4);
    const QDateTime when = QDateTime::fromString(row[0], Qt::ISODate);
    QVERIFY2(when.isValid(), qPrintable(row[0]));
    QCOMPARE(when.toSecsSinceEpoch(), t);
    QVERIFY(row[0].contains(QLatin1Char('T')));
    QCOMPARE(row.mid(1), (QStringList{"12.5", "12", "50"}));
    QCOMPARE(lines[5].section(QLatin1Char(','), 1), QStringLiteral("-0.25,3.8,-1.5625"));
    QVERIFY(lines[6].isEmpty());
}

void tst_MonitoringPage::export_failedWritesAreReported_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("image");
    // /dev/full accepts the open and fails only at the flush; /proc refuses new files even
    // to root, so both failures are seen whoever runs the tests.
    QTest::newRow("csv, full device") << QStringLiteral("/dev/full") << false;
    QTest::newRow("csv, no such place") << QStringLiteral("/proc/hart-trend.csv") << false;
    QTest::newRow("png, full device") << QStringLiteral("/dev/full") << true;
    QTest::newRow("png, no such place") << QStringLiteral("/proc/hart-trend.png") << true;
}

void tst_MonitoringPage::export_failedWritesAreReported()
{
    QFETCH(QString, path);
    QFETCH(bool, image);
    TestPageHost host;
    MonitoringPage page(host);
    const bool ok = image ? page.savePlotImage(path) : page.exportTrend(path);
    QVERIFY(!ok);
    QCOMPARE(host.warnings.size(), 1);
    QVERIFY2(host.warnings.first().startsWith(image ? QStringLiteral("保存曲线图片失败")
                                                    : QStringLiteral("导出趋势数据失败")),
             qPrintable(host.warnings.first()));
}

void tst_MonitoringPage::export_writesCsvAndPng()
{
    TestPageHost host;
    {
        QMutexLocker lock(&host.dataLock());
        deviceData.pvUnits = 12;
        deviceData.pv = 12.5f;
        deviceData.loopCurrent = 6.0f;
        deviceData.percentOfRange = 12.5f;
    }
    MonitoringPage page(host);
    page.resize(400, 300);
    page.onPvSample();
    QTemporaryDir dir;
    const QString csvPath = dir.filePath(QStringLiteral("trend.csv"));
    const QString pngPath = dir.filePath(QStringLiteral("trend.png"));
    QVERIFY(page.exportTrend(csvPath));
    QVERIFY(page.savePlotImage(pngPath));
    QVERIFY(host.warnings.isEmpty());

    QFile csv(csvPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'));
    QCOMPARE(lines[2], QStringLiteral("# PV unit,kPa"));
    QCOMPARE(lines[4].section(QLatin1Char(','), 1), QStringLiteral("12.5,6,12.5"));
    QFile png(pngPath);
    QVERIFY(png.open(QIODevice::ReadOnly));
    QCOMPARE(png.read(4), QByteArray("\x89PNG"));
}

void tst_MonitoringPage::samples_fillFieldsInTheirFormats()
{
    MonitoringRig rig;
    rig.host.sim.setFixedPv(12.5f);
    rig.host.sim.setMemory(memaddr::upperRangeValue, f32le(250.0f));
    rig.host.sim.setMemory(memaddr::lowerRangeValue, f32le(-50.0f));
    QVERIFY(rig.host.openAndSearch());

    rig.host.showPage(pageindex::Monitoring);
    rig.host.sendRequest(QStringLiteral("read PV"));
    QVERIFY(rig.host.waitForResult(QStringLiteral("read guochengjiankong PV succeed")));
    QVERIFY(rig.waitForSamples(2));

    QCOMPARE(rig.field("lineEdit_guochengjiankong_unit"), QStringLiteral("kPa"));
    QCOMPARE(rig.field("lineEdit_guochengjiankong_rangeH"), QStringLiteral("250"));
    QCOMPARE(rig.field("lineEdit_guochengjiankong_rangeL"), QStringLiteral("-50"));
    QCOMPARE(rig.field("lineEdit_guochengjiankong_damp"), QStringLiteral("0.5"));
    QCOMPARE(rig.field("lineEdit_guochengjiankong_PV"), QStringLiteral("12.5kPa"));
    // 12.5 on -50..250 is 62.5/300 of the span: 20.833 % and 7.333 mA.
    QCOMPARE(rig.field("lineEdit_guochengjiankong_current"), QStringLiteral("7.333mA"));
    QCOMPARE(rig.field("lineEdit_guochengjiankong_per"), QStringLiteral("20.833%"));

    QCustomPlot *plot = rig.page.plot();
    QCOMPARE(plot->yAxis->range().lower, -80.0);
    QCOMPARE(plot->yAxis->range().upper, 280.0);
    QCOMPARE(plot->yAxis2->range().upper, 22.0);
    const double newest = rig.page.buffer().time().last();
    QCOMPARE(plot->xAxis->range().upper, newest);
    QCOMPARE(plot->xAxis->range().lower, newest - 300);
    QCOMPARE(plot->graph(0)->dataCount(), rig.page.buffer().size());
    QCOMPARE(plot->graph(1)->data()->at(0)->value, rig.page.buffer().current().first());
}

void tst_MonitoringPage::reenteringThePage_startsWithEmptyCurves()
{
    MonitoringRig rig;
    QVERIFY(rig.host.openAndSearch());
    rig.host.showPage(pageindex::Monitoring);
    rig.host.sendRequest(QStringLiteral("read PV"));
    QVERIFY(rig.waitForSamples(1));

    rig.host.showPage(pageindex::TransmitterInfo);
    rig.host.sendRequest(QStringLiteral("stop read PV"));
    rig.host.showPage(pageindex::Monitoring);
    QCOMPARE(rig.page.buffer().size(), 0);
    QCOMPARE(rig.page.plot()->graph(0)->dataCount(), 0);
    QCOMPARE(rig.page.plot()->graph(1)->dataCount(), 0);
    // Monitoring starts again and the curves grow from nothing.
    rig.host.sendRequest(QStringLiteral("read PV"));
    QVERIFY(rig.waitForSamples(1));
}

void tst_MonitoringPage::construction_connectsEverySlotByName()
{
    SlotWarningCatcher catcher;
    SlotWarningCatcher::complaints().clear();
    {
        TestPageHost host;
        MonitoringPage page(host);
    }
    QCOMPARE(SlotWarningCatcher::complaints(), QStringList());
}

QTEST_MAIN(tst_MonitoringPage)
#include "tst_monitoringpage.moc"
