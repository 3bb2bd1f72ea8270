// The calibration pages through a fake host: table enabling, proposed points, collect buttons,
// refused writes, the factory current calibration and the single-point test.
#include "fakepagehost.h"
#include "linearizationpage.h"
#include "secondcorrectionpage.h"
#include "usercalibrationpage.h"

#include "devicedata.h"
#include "units.h"

#include <QtTest>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <cstring>
#include <deque>
#include <optional>

namespace {

QStringList g_warnings;
QtMessageHandler g_previous = nullptr;

void recordWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtWarningMsg)
        g_warnings << text;
    if (type != QtDebugMsg)
        g_previous(type, context, text);
}

template<typename T>
T *child(QWidget &page, const char *name)
{
    T *w = page.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

template<typename T>
T *cell(QTableWidget *table, int row, int column)
{
    T *w = qobject_cast<T *>(table->cellWidget(row, column));
    if (!w)
        qFatal("no cell widget at %d,%d", row, column);
    return w;
}

struct Linearization
{
    Linearization()
        : page(host)
    {
        table = child<QTableWidget>(page, "tableWidget_xianxinghuajiwenbu");
    }
    QComboBox *combo(const char *name) { return child<QComboBox>(page, name); }
    QLineEdit *edit(const char *name) { return child<QLineEdit>(page, name); }
    QLineEdit *at(int row, int column) { return cell<QLineEdit>(table, row, column); }
    void setPoints(int pressure, int temperature)
    {
        combo("comboBox_xianxinghuajiwenbu_yalidianshu")->setCurrentText(QString::number(pressure));
        combo("comboBox_xianxinghuajiwenbu_wenbudianshu")
                ->setCurrentText(QString::number(temperature));
    }
    void select(int point) { cell<QRadioButton>(table, 0, 3 + point)->click(); }

    FakePageHost host;
    LinearizationPage page;
    QTableWidget *table = nullptr;
};

} // namespace

class TstCalibrationPages : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void pages_connectEveryNamedSlot();
    void equalDivision_followsRangeAndPointCount_data();
    void equalDivision_followsRangeAndPointCount();
    void reducingTempPoints_fallsBackToFirstColumn();
    void userUnit_drivesFactoryUnitAndCustomField();
    void resistanceTooltip_forTemperatureUnits();
    void collectButtons_copyShownTextIntoSelectedColumn();
    void write_refusedWithNamedPointsWhenUnfittable();
    void write_sendsCollectedBlock();
    void fill_survivesCountsOutsideCombos();
    void everyPage_survivesRandomRecords();
    void factoryCurrentCalibration_data();
    void factoryCurrentCalibration();
    void singleTempTest_startsAndEndsAfterCountdown();
    void secondCorrection_countEnablesPointsAndFits();
    void userCalibration_collectsFillsAndRefusesEqualPoints();
};

void TstCalibrationPages::init()
{
    resetDeviceData(deviceData);
}

void TstCalibrationPages::pages_connectEveryNamedSlot()
{
    g_warnings.clear();
    g_previous = qInstallMessageHandler(recordWarnings);
    {
        FakePageHost host;
        LinearizationPage a(host);
        SecondCorrectionPage b(host);
        UserCalibrationPage c(host);
        QCOMPARE(a.objectName(), QStringLiteral("page_16"));
        QCOMPARE(b.objectName(), QStringLiteral("page_20"));
        QCOMPARE(c.objectName(), QStringLiteral("page_14"));
    }
    qInstallMessageHandler(g_previous);
    for (const QString &w : qAsConst(g_warnings))
        QVERIFY2(!w.contains(QLatin1String("No matching signal")), qPrintable(w));
}

void TstCalibrationPages::equalDivision_followsRangeAndPointCount_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<int>("points");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("kPa 5") << "kPa"
                           << "0"
                           << "100" << 5 << QStringList{"0", "25", "50", "75", "100"};
    QTest::newRow("kPa 3") << "kPa"
                           << "0"
                           << "100" << 3 << QStringList{"0", "50", "100", "0", "0"};
    QTest::newRow("kPa 2") << "kPa"
                           << "-20"
                           << "20" << 2 << QStringList{"-20", "20", "0", "0", "0"};
    QStringList decades;
    for (float ohm : {80.f, 100.f, 120.f, 140.f, 160.f})
        decades << QString::number(pt100_temperature(ohm), 'g', 6);
    QTest::newRow("degC 5") << "℃"
                            << "-50"
                            << "150" << 5 << decades;
}

void TstCalibrationPages::equalDivision_followsRangeAndPointCount()
{
    QFETCH(QString, unit);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(int, points);
    QFETCH(QStringList, expected);
    Linearization p;
    p.combo("comboBox_xianxinghuajiwenbu_user_unit")->setCurrentText(unit);
    p.setPoints(points, 1);
    p.edit("lineEdit_xianxinghuajiwenbu_rangeL")->setText(low);
    p.edit("lineEdit_xianxinghuajiwenbu_rangeH")->setText(high);
    QStringList got;
    for (int j = 0; j < 5; ++j) {
        got << p.at(7 + j, 1)->text();
        QCOMPARE(p.at(7 + j, 1)->isEnabled(), j < points);
        QCOMPARE(cell<QPushButton>(p.table, 7 + j, 2)->isEnabled(), j < points);
        QCOMPARE(p.at(7 + j, 3)->isEnabled(), j < points);
    }
    QCOMPARE(got, expected);
    QVERIFY(cell<QPushButton>(p.table, 6, 1)->text() == QStringLiteral("按量程均分"));
}

void TstCalibrationPages::reducingTempPoints_fallsBackToFirstColumn()
{
    Linearization p;
    p.setPoints(3, 6);
    p.select(3);
    QCOMPARE(p.page.selectedTempPoint(), 3);
    QVERIFY(p.at(1, 6)->isEnabled());
    QCOMPARE(int(deviceData.singleTempPoint), 4);

    p.setPoints(3, 3);
    QCOMPARE(p.page.selectedTempPoint(), 0);
    QVERIFY(cell<QRadioButton>(p.table, 0, 3)->isChecked());
    for (int k = 0; k < 10; ++k) {
        QCOMPARE(cell<QRadioButton>(p.table, 0, 3 + k)->isEnabled(), k < 3);
        for (int row : {1, 2, 3, 4, 5, 6, 7, 8, 9})
            QCOMPARE(p.at(row, 3 + k)->isEnabled(), k == 0);
    }
    QCOMPARE(int(deviceData.singleTempPoint), 1);
    QVERIFY(p.host.requests.isEmpty()); // no test running: nothing to tell the device
}

void TstCalibrationPages::userUnit_drivesFactoryUnitAndCustomField()
{
    Linearization p;
    QLineEdit *custom = p.edit("lineEdit_xianxinghuajiwenbu_user_custom_unit");
    p.page.followUserUnit(QStringLiteral("custom"));
    QVERIFY(custom->isEnabled());
    QCOMPARE(p.combo("comboBox_xianxinghuajiwenbu_fac_unit")->currentText(),
             QStringLiteral("custom"));
    custom->setText(QStringLiteral("ab℃℃℃"));
    QVERIFY(p.page.collect().isEmpty());
    QCOMPARE(int(deviceData.pvUnits), 249);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(deviceData.customUnitText)),
             QStringLiteral("ab℃℃").toUtf8());

    p.page.followUserUnit(QStringLiteral("MPa"));
    QVERIFY(!custom->isEnabled());
    QCOMPARE(p.combo("comboBox_xianxinghuajiwenbu_fac_unit")->currentText(), QStringLiteral("MPa"));
}

void TstCalibrationPages::resistanceTooltip_forTemperatureUnits()
{
    Linearization p;
    p.page.followUserUnit(QStringLiteral("℃"));
    p.at(7, 1)->setText(QStringLiteral("0"));
    QCOMPARE(p.at(7, 1)->toolTip(), QStringLiteral("电阻=100.00Ω"));
    deviceData.sensorType = 7; // Pt1000
    p.combo("comboBox_xianxinghuajiwenbu_fac_unit")->setCurrentText(QStringLiteral("℉"));
    p.at(7, 1)->setText(QStringLiteral("32"));
    QCOMPARE(p.at(7, 1)->toolTip(), QStringLiteral("电阻=1000.00Ω"));
    p.combo("comboBox_xianxinghuajiwenbu_fac_unit")->setCurrentText(QStringLiteral("kPa"));
    QVERIFY(p.at(7, 1)->toolTip().isEmpty());
}

void TstCalibrationPages::collectButtons_copyShownTextIntoSelectedColumn()
{
    Linearization p;
    p.setPoints(3, 4);
    p.select(2);
    deviceData.sensorSignal = 1234.5678f;
    deviceData.tempCompSignal = -0.25f;
    deviceData.pv = 3.14159f;
    deviceData.pvDecimals = 2;
    deviceData.loopCurrent = 12.3456f;
    deviceData.internalTemperature = 25.24f;
    p.page.showLiveValues();
    QCOMPARE(p.edit("lineEdit_xianxinghuajiwenbu_PV")->text(), QStringLiteral("3.14"));
    QCOMPARE(p.edit("lineEdit_xianxinghuajiwenbu_PVCurrent")->text(), QStringLiteral("12.346mA"));
    QCOMPARE(p.edit("lineEdit_xianxinghuajiwenbu_internal_temp")->text(), QStringLiteral("25.2℃"));

    cell<QPushButton>(p.table, 8, 2)->click(); // "采集2→"
    cell<QPushButton>(p.table, 6, 2)->click(); // "温补采集→"
    QCOMPARE(p.at(8, 5)->text(), QStringLiteral("1234.567749"));
    QCOMPARE(p.at(6, 5)->text(), QStringLiteral("-0.250000"));
    QVERIFY(p.at(8, 3)->text().isEmpty());
}

void TstCalibrationPages::write_refusedWithNamedPointsWhenUnfittable()
{
    Linearization p;
    p.setPoints(2, 4);
    for (int k = 0; k < 4; ++k) {
        p.select(k);
        p.at(6, 3 + k)->setText(QString::number(k == 3 ? 2 : k)); // points 3 and 4 equal
        p.at(2, 3 + k)->setText(QString::number(10 * k));
        p.at(7, 3 + k)->setText(QString::number(100 + k));
    }
    QVERIFY(!p.page.writeCalibration());
    QCOMPARE(p.host.warnings,
             QStringList{QStringLiteral("温补点3与温补点4的温补信号相同，无法拟合！")});
    QVERIFY(p.host.requests.isEmpty());


    p.host.warnings.clear();
    p.host.portOpen = false;
    QVERIFY(!p.page.writeCalibration());
    QCOMPARE(p.host.warnings, QStringList{QStringLiteral("请先打开端口！")});
}

void TstCalibrationPages::write_sendsCollectedBlock()
{
    Linearization p;
    QSignalSpy writeAll(&p.page, &LinearizationPage::writeAllRequested);
    p.setPoints(2, 4);
    p.edit("lineEdit_xianxinghuajiwenbu_rangeL")->setText("0");
    p.edit("lineEdit_xianxinghuajiwenbu_rangeH")->setText("100");
    for (int k = 0; k < 4; ++k) {
        p.select(k);
        p.at(6, 3 + k)->setText(QString::number(k));
        p.at(2, 3 + k)->setText(QString::number(10 * k));
        p.at(7, 3 + k)->setText(QString::number(100 + k * k));
        p.at(8, 3 + k)->setText(QString::number(900 + k));
    }
    p.at(8, 4)->setText(QStringLiteral("990")); // a mistyped cell
    QVERIFY(p.page.writeCalibration());
    QCOMPARE(p.host.requests, QStringList{"write jiaozhunshuju"});
    QCOMPARE(p.host.statuses.last(), QStringLiteral("正在写入校准数据..."));
    QVERIFY(!p.host.portButtonsEnabled);
    // y = 100 + x^2 through the four points.
    QVERIFY(qAbs(deviceData.NonlinearityCorrectionx[0].TempCompensationCoe[2] - 1.0f) < 1e-4f);
    QCOMPARE(deviceData.SecondNonlinearityCorrectiony[1], 100.0f);
    QVERIFY(p.page.fitQualityText().contains(QStringLiteral("第2点：最大偏差")));
    QVERIFY(p.page.fitQualityText().contains(QStringLiteral("（温补点2）")));

    child<QPushButton>(p.page, "pushButton_quanbuxieru")->click();
    QCOMPARE(writeAll.count(), 1);
}

void TstCalibrationPages::fill_survivesCountsOutsideCombos()
{
    Linearization p;
    deviceData.NonlinearityCorrectionNum = 0;
    deviceData.TempCompensationNum = 300;
    deviceData.pvDecimals = 9;
    deviceData.factoryUnits = 12;
    deviceData.pvUnits = 0x0C07;                            // low byte: bar
    std::memcpy(deviceData.customUnitText, "abcdefghi", 9); // no terminating zero
    deviceData.TempCompensationx[0] = 1.5f;
    p.page.fill();
    QCOMPARE(p.combo("comboBox_xianxinghuajiwenbu_yalidianshu")->currentText(),
             QStringLiteral("2"));
    QCOMPARE(p.combo("comboBox_xianxinghuajiwenbu_wenbudianshu")->currentText(),
             QStringLiteral("10"));
    QCOMPARE(p.combo("comboBox_xianxinghuajiwenbu_user_unit")->currentText(),
             QStringLiteral("bar"));
    QCOMPARE(p.combo("comboBox_xianxinghuajiwenbu_fac_unit")->currentText(), QStringLiteral("kPa"));
    QCOMPARE(p.edit("lineEdit_xianxinghuajiwenbu_user_custom_unit")->text(),
             QStringLiteral("abcdefghi"));
    QCOMPARE(p.at(6, 3)->text(), QStringLiteral("1.5"));
    p.page.collect();
    QCOMPARE(int(deviceData.pvDecimals), 9); // kept, not 65535
}

void TstCalibrationPages::everyPage_survivesRandomRecords()
{
    Linearization p;
    SecondCorrectionPage second(p.host);
    UserCalibrationPage user(p.host);
    QRandomGenerator random(11);
    for (int round = 0; round < 50; ++round) {
        auto *bytes = reinterpret_cast<quint8 *>(&deviceData);
        for (std::size_t i = 0; i < sizeof deviceData; ++i)
            bytes[i] = static_cast<quint8>(random.bounded(256));
        p.page.fill();
        p.page.showLiveValues();
        second.fill();
        second.showLiveValues();
        user.fill();
        user.showLiveValues();
        p.page.collect();
        second.collect();
        user.collect();
        QVERIFY(deviceData.NonlinearityCorrectionNum >= 2
                && deviceData.NonlinearityCorrectionNum <= 5);
        QVERIFY(deviceData.TempCompensationNum >= 1 && deviceData.TempCompensationNum <= 10);
        QVERIFY(deviceData.SecondNonlinearityCorrectionNum >= 2
                && deviceData.SecondNonlinearityCorrectionNum <= 5);
    }
}

void TstCalibrationPages::factoryCurrentCalibration_data()
{
    QTest::addColumn<int>("answered"); // points answered before a cancel; 3 = all
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("all three") << 3 << true;
    QTest::newRow("cancelled at the second") << 1 << true;
    QTest::newRow("cancelled at once") << 0 << true;
    QTest::newRow("port closed") << 3 << false;
}

void TstCalibrationPages::factoryCurrentCalibration()
{
    QFETCH(int, answered);
    QFETCH(bool, portOpen);
    Linearization p;
    p.host.portOpen = portOpen;
    p.setPoints(2, 5);
    p.select(4);
    deviceData.auxSignal2 = 2345.9f;
    std::deque<float> answers{4.012f, 12.0051f, 19.987f};
    QStringList asked;
    QStringList titles;
    QVector<int> modes;
    p.page.setCurrentAsker(
            [&](const QString &title, const QString &initial) -> std::optional<float> {
                asked << initial;
                titles << title;
                modes << deviceData.factoryCurrentMode * 100000 + deviceData.factoryCurrentDacCode;
                if (asked.size() > answered)
                    return std::nullopt;
                p.page.factoryCurrentEntered(); // answered while the operator reads the meter
                const float v = answers.front();
                answers.pop_front();
                return v;
            });
    cell<QPushButton>(p.table, 2, 1)->click();

    // With the port closed nothing can enter the mode: no question, no reading.
    const int shown = portOpen ? std::min(answered + 1, 3) : 0;
    if (!portOpen)
        answered = 0;
    QCOMPARE(asked, (QStringList{"4.000", "12.000", "20.000"}.mid(0, shown)));
    QCOMPARE(titles, QStringList(QVector<QString>(shown, QStringLiteral("电流校准")).toList()));
    QCOMPARE(p.at(2, 7)->text(), QStringLiteral("2345"));
    const QStringList values{"4.012", "12.0051", "19.987"};
    for (int i = 0; i < 3; ++i)
        QCOMPARE(p.at(3 + i, 7)->text(), i < answered ? values[i] : QString());
    QCOMPARE(deviceData.currentDacPoints[1], 32700.0f);
    QCOMPARE(int(deviceData.factoryCurrentMode), 0);
    QCOMPARE(int(deviceData.factoryCurrentDacCode), 0);

    QStringList expected{"stop read ADC"};
    if (portOpen) {
        const QVector<int> codes{110900, 132700, 154500};
        QCOMPARE(modes, codes.mid(0, shown));
        for (int i = 0; i < shown; ++i)
            expected << "gongchangdianliujiaozhun";
        expected << "gongchangdianliujiaozhun"; // leaving the mode
        QCOMPARE(p.host.statuses,
                 (QStringList{"正在进入工厂电流校准模式...", "正在退出工厂电流校准模式..."}));
        QVERIFY(!p.host.portButtonsEnabled);
    } else {
        QCOMPARE(p.host.warnings, QStringList{"请先打开端口！"});
    }
    expected << "read ADC";
    QCOMPARE(p.host.requests, expected);
}

void TstCalibrationPages::singleTempTest_startsAndEndsAfterCountdown()
{
    Linearization p;
    p.setPoints(2, 4);
    p.select(2);
    QPushButton *test = child<QPushButton>(p.page, "pushButton_test_wenbu");
    QLabel *label = child<QLabel>(p.page, "label_dangqianwenbuceshidian");
    test->click();
    QCOMPARE(int(deviceData.singleTempPoint), 3);
    QCOMPARE(p.host.requests, QStringList{"single temp compensation mode"});
    p.page.showSingleTempState();
    QCOMPARE(test->text(), QStringLiteral("退出单温补点测试模式"));
    QCOMPARE(label->text(), QStringLiteral("当前在温补点3测试模式"));

    // The transmitter follows a newly selected point while the test runs.
    p.select(1);
    QCOMPARE(int(deviceData.singleTempPoint), 2);
    QCOMPARE(p.host.requests.size(), 2);
    p.page.showSingleTempState();

    for (int s = 0; s < 119; ++s)
        p.page.countdownSecond();
    QCOMPARE(test->text(), QStringLiteral("退出单温补点测试模式"));
    p.page.countdownSecond();
    QCOMPARE(test->text(), QStringLiteral("进入单温补点测试模式"));
    QCOMPARE(label->text(), QStringLiteral(" "));
    QCOMPARE(int(deviceData.singleTempPoint), 0);
    QCOMPARE(p.host.requests.size(), 2); // the end of the countdown sends nothing

    // Leaving by the button: point 0 goes to the device.
    test->click();
    p.page.showSingleTempState();
    test->click();
    QCOMPARE(int(deviceData.singleTempPoint), 0);
    p.page.showSingleTempState();
    QCOMPARE(test->text(), QStringLiteral("进入单温补点测试模式"));
}

void TstCalibrationPages::secondCorrection_countEnablesPointsAndFits()
{
    FakePageHost host;
    SecondCorrectionPage page(host);
    auto *table = child<QTableWidget>(page, "tableWidget_SecondNonlinearityCorrection");
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(cell<QLineEdit>(table, 1, 1 + i)->isEnabled(), i < 2);
        QCOMPARE(cell<QPushButton>(table, 3, 1 + i)->isEnabled(), i < 2);
    }
    child<QComboBox>(page, "comboBox_SecondNonlinearityCorrectionNum")->setCurrentText("3");
    QVERIFY(cell<QLineEdit>(table, 2, 3)->isEnabled());

    deviceData.secondNonlinearitySignal = 50.0f;
    page.showLiveValues();
    cell<QPushButton>(table, 3, 2)->click();
    QCOMPARE(cell<QLineEdit>(table, 2, 2)->text(), QStringLiteral("50.000000"));
    cell<QLineEdit>(table, 2, 1)->setText("0");
    cell<QLineEdit>(table, 2, 3)->setText("100");
    const QStringList standard{"0", "52", "100"};
    for (int i = 0; i < 3; ++i)
        cell<QLineEdit>(table, 1, 1 + i)->setText(standard[i]);
    child<QPushButton>(page, "pushButton_SecondNonlinearityCorrection_xieru")->click();
    QCOMPARE(host.requests, QStringList{"write SecondNonlinearityCorrection"});

    cell<QLineEdit>(table, 2, 3)->setText("50");
    child<QPushButton>(page, "pushButton_SecondNonlinearityCorrection_xieru")->click();
    QCOMPARE(host.requests.size(), 1);
    QCOMPARE(host.warnings, QStringList{QStringLiteral("第2点与第3点的采集值相同，无法拟合！")});

    deviceData.SecondNonlinearityCorrectionNum = 40000;
    deviceData.SecondNonlinearityCorrectionx[4] = 7.25f;
    page.fill();
    QCOMPARE(child<QComboBox>(page, "comboBox_SecondNonlinearityCorrectionNum")->currentText(),
             QStringLiteral("5"));
    QCOMPARE(cell<QLineEdit>(table, 2, 5)->text(), QStringLiteral("7.25"));
}

void TstCalibrationPages::userCalibration_collectsFillsAndRefusesEqualPoints()
{
    FakePageHost host;
    UserCalibrationPage page(host);
    auto *table = child<QTableWidget>(page, "tableWidget_yonghujiaozhun");
    deviceData.userCalibrationSignal = 1.0f;
    deviceData.pvDecimals = 1;
    page.showLiveValues();
    QCOMPARE(child<QLabel>(page, "label_yonghujiaozhun_adc")->text(), QStringLiteral("1.000"));
    cell<QPushButton>(table, 3, 1)->click();
    cell<QLineEdit>(table, 2, 2)->setText("11");
    cell<QLineEdit>(table, 1, 1)->setText("0");
    cell<QLineEdit>(table, 1, 2)->setText("100");
    deviceData.pvZeroCorrection = 2.0f;
    child<QPushButton>(page, "pushButton_yonghujiaozhun_xieru")->click();
    QCOMPARE(host.requests, QStringList{"write yonghujiaozhunshuju"});
    QCOMPARE(deviceData.pvZeroCorrection, 0.0f);

    cell<QLineEdit>(table, 2, 2)->setText("1.000");
    child<QPushButton>(page, "pushButton_yonghujiaozhun_xieru")->click();
    QCOMPARE(host.requests.size(), 1);
    QCOMPARE(host.warnings.size(), 1);

    deviceData.factoryUnits = 32;
    deviceData.userCalibrationY[1] = 100.5f;
    page.fill();
    QCOMPARE(child<QLabel>(page, "label_yonghujiaozhun_unit")->text(),
             QStringLiteral("校准单位：℃"));
    QCOMPARE(cell<QLineEdit>(table, 1, 2)->text(), QStringLiteral("100.500000"));
}

QTEST_MAIN(TstCalibrationPages)
#include "tst_calibrationpages.moc"
