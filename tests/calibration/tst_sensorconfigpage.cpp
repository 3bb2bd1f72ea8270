// Sensor configuration: the record <-> page rules and converter ranges without a window,
// the page's follow-up rules (unit, wiring, the monocrystalline refusal), and a round trip
// through the simulated transmitter.
#include "resources.h"
#include "sensorconfig.h"
#include "sensorconfigpage.h"
#include "testpagehost.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

struct SensorRig
{
    TestPageHost host;
    SensorConfigPage page{host};

    SensorRig()
    {
        host.on(QStringLiteral("read chuanganqipeizhishuju succeed"), [this] { page.fill(); });
        page.show();
    }

    QComboBox *combo(const char *suffix) const
    {
        return page.findChild<QComboBox *>(QLatin1String("comboBox_chuanganqishezhi_")
                                           + QLatin1String(suffix));
    }
    QLineEdit *edit(const char *suffix) const
    {
        return page.findChild<QLineEdit *>(QLatin1String("lineEdit_chuanganqishezhi_")
                                           + QLatin1String(suffix));
    }
    QString label(const char *name) const
    {
        return page.findChild<QLabel *>(QLatin1String(name))->text();
    }
    QString wiringStyle() const
    {
        return page.findChild<QLabel *>(QStringLiteral("label_jiexiantu"))->styleSheet();
    }
};

} // namespace

class tst_SensorConfigPage : public QObject
{
    Q_OBJECT

private slots:
    void construction_connectsEverySlotByName();
    void initTestCase() { initWindowResources(); }

    void collect_storesIndexesUnitAndSerial_data();
    void collect_storesIndexesUnitAndSerial();
    void form_showsTheRecord();
    void form_outOfRangeIndexSelectsNothingAndKeepsTheRecord();
    void converterRanges_data();
    void converterRanges();
    void wiringImages_existAndLoad();

    void unitFollowsSensorType_data();
    void unitFollowsSensorType();
    void monocrystallineBridge_warnsOnceAndSwitches_data();
    void monocrystallineBridge_warnsOnceAndSwitches();
    void compensationChange_keepsImageOfOtherTypes();
    void rangeLabels_followExcitationAndGains();
    void roundTripThroughTheTransmitter();
};

void tst_SensorConfigPage::collect_storesIndexesUnitAndSerial_data()
{
    QTest::addColumn<int>("currentIndex");
    QTest::addColumn<int>("storedCurrent");
    QTest::addColumn<int>("unitIndex");
    QTest::addColumn<int>("unitCode");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QByteArray>("serialBytes");
    QTest::newRow("50uA, kPa, 66051")
            << 0 << 1 << 11 << 12 << "66051" << QByteArray("\x01\x02\x03");
    QTest::newRow("500uA, custom, 24-bit top")
            << 9 << 10 << 26 << 249 << "16777215" << QByteArray("\xFF\xFF\xFF");
    QTest::newRow("no found unit is 0, serial keeps low 24 bits")
            << 4 << 5 << 27 << 0 << "16777217" << QByteArray("\x00\x00\x01", 3);
    QTest::newRow("serial that is no number") << 1 << 2 << 19 << 32 << "" << QByteArray(3, '\0');
}

void tst_SensorConfigPage::collect_storesIndexesUnitAndSerial()
{
    QFETCH(int, currentIndex);
    QFETCH(int, storedCurrent);
    QFETCH(int, unitIndex);
    QFETCH(int, unitCode);
    QFETCH(QString, serial);
    QFETCH(QByteArray, serialBytes);
    DeviceData d{};
    sensorcfg::Form f;
    f.sensorType = 8;
    f.compensation = 1;
    f.currentSource = currentIndex;
    f.voltageSource = 1;
    f.pressureGain = 14;
    f.temperatureGain = 2;
    f.unitIndex = unitIndex;
    f.upperLimit = QStringLiteral("1000.5");
    f.lowerLimit = QStringLiteral("-");
    f.minimumSpan = QStringLiteral("0.25");
    f.serial = serial;
    sensorcfg::collect(d, f);
    QCOMPARE(int(d.sensorType), 8);
    QCOMPARE(int(d.tempCompMode), 1);
    QCOMPARE(int(d.currentSource), storedCurrent);
    QCOMPARE(int(d.voltageSource), 1);
    QCOMPARE(int(d.pressureGain), 14);
    QCOMPARE(int(d.temperatureGain), 2);
    QCOMPARE(int(d.sensorUnits), unitCode);
    QCOMPARE(d.sensorUpperLimit, 1000.5f);
    QCOMPARE(d.sensorLowerLimit, 0.0f);
    QCOMPARE(d.minimumSpan, 0.25f);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(d.sensorSerial), 3), serialBytes);
}

void tst_SensorConfigPage::form_showsTheRecord()
{
    DeviceData d{};
    d.sensorType = 6;
    d.currentSource = 1;
    d.pressureGain = 5;
    d.sensorUnits = 32;
    d.sensorUpperLimit = 1234567.0f;
    d.sensorSerial[0] = 1;
    d.sensorSerial[1] = 2;
    d.sensorSerial[2] = 3;
    const sensorcfg::Form f = sensorcfg::form(d);
    QCOMPARE(f.sensorType, 6);
    QCOMPARE(f.currentSource, 0); // stored 1 is "50uA"
    QCOMPARE(f.pressureGain, 5);
    QCOMPARE(sensorcfg::unitItems().at(f.unitIndex), QStringLiteral("℃"));
    QCOMPARE(f.upperLimit, QStringLiteral("1.23457e+06"));
    QCOMPARE(f.serial, QStringLiteral("66051"));

    d.sensorUnits = 200; // unknown code
    QCOMPARE(sensorcfg::form(d).unitIndex, 27);
}

void tst_SensorConfigPage::form_outOfRangeIndexSelectsNothingAndKeepsTheRecord()
{
    DeviceData d{};
    d.sensorType = 9;
    d.currentSource = 0; // below "50uA", which is stored as 1
    d.pressureGain = 200;
    const sensorcfg::Form f = sensorcfg::form(d);
    QCOMPARE(f.sensorType, -1);
    QCOMPARE(f.currentSource, -1);
    QCOMPARE(f.pressureGain, -1);
    sensorcfg::collect(d, f);
    QCOMPARE(int(d.sensorType), 9);
    QCOMPARE(int(d.currentSource), 0);
    QCOMPARE(int(d.pressureGain), 200);
}

void tst_SensorConfigPage::converterRanges_data()
{
    QTest::addColumn<int>("voltage");
    QTest::addColumn<QString>("pGain");
    QTest::addColumn<QString>("tGain");
    QTest::addColumn<QString>("sensor");
    QTest::addColumn<QString>("temperature");
    QTest::newRow("4 V, gain 12") << 0 << "12"
                                  << "1"
                                  << "±333mV"
                                  << "4000mV";
    QTest::newRow("2.5 V, gains 1") << 1 << "1"
                                    << "1"
                                    << "±2500mV"
                                    << "2500mV";
    QTest::newRow("4 V, gains 256 and 4") << 0 << "256"
                                          << "4"
                                          << "±15mV"
                                          << "1000mV";
    QTest::newRow("no gain selected") << 0 << ""
                                      << "0"
                                      << ""
                                      << "";
}

void tst_SensorConfigPage::converterRanges()
{
    QFETCH(int, voltage);
    QFETCH(QString, pGain);
    QFETCH(QString, tGain);
    const sensorcfg::Ranges r = sensorcfg::converterRanges(voltage, pGain, tGain);
    QTEST(r.sensor, "sensor");
    QTEST(r.temperature, "temperature");
}

void tst_SensorConfigPage::wiringImages_existAndLoad()
{
    for (int type = 0; type < sensorcfg::sensorTypes().size(); ++type) {
        for (int source = 0; source < 2; ++source) {
            const QString path = sensorcfg::wiringFor(type, source).image;
            const QImage image(path);
            QVERIFY2(!image.isNull(), qPrintable(path));
            QVERIFY2(image.width() >= 200 && image.height() >= 150, qPrintable(path));
        }
    }
}

void tst_SensorConfigPage::unitFollowsSensorType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("unit");
    QTest::newRow("Pt1000") << 7 << "℃";
    QTest::newRow("Pt100 three-wire") << 8 << "℃";
    QTest::newRow("ceramic") << 3 << "kPa";
}

void tst_SensorConfigPage::unitFollowsSensorType()
{
    QFETCH(int, type);
    QFETCH(QString, unit);
    SensorRig rig;
    rig.combo("chuanganqileixing")->setCurrentIndex(6); // start away from every row's type
    rig.combo("sersor_unit")->setCurrentIndex(0);
    QSignalSpy spy(&rig.page, &SensorConfigPage::sensorUnitChanged);
    rig.combo("chuanganqileixing")->setCurrentIndex(type);
    QCOMPARE(rig.combo("sersor_unit")->currentText(), unit);
    QVERIFY(!spy.isEmpty());
    QCOMPARE(spy.last().at(0).toString(), unit);
}

void tst_SensorConfigPage::monocrystallineBridge_warnsOnceAndSwitches_data()
{
    QTest::addColumn<bool>("byType");
    QTest::newRow("choosing the sensor type") << true;
    QTest::newRow("choosing the compensation") << false;
}

void tst_SensorConfigPage::monocrystallineBridge_warnsOnceAndSwitches()
{
    QFETCH(bool, byType);
    SensorRig rig;
    QComboBox *type = rig.combo("chuanganqileixing");
    QComboBox *source = rig.combo("wenbufangshi");
    if (byType) {
        type->setCurrentIndex(0);
        source->setCurrentIndex(0);
        type->setCurrentIndex(1);
    } else {
        source->setCurrentIndex(1);
        type->setCurrentIndex(1);
        QVERIFY(rig.host.warnings.isEmpty());
        source->setCurrentIndex(0);
    }
    QCOMPARE(rig.host.warnings, QStringList{"单晶硅压力传感器不支持桥压温补！"});
    QCOMPARE(source->currentIndex(), 1);
    QVERIFY(rig.wiringStyle().contains(QStringLiteral("单晶硅内部温度传感器温补.png")));
}

void tst_SensorConfigPage::compensationChange_keepsImageOfOtherTypes()
{
    SensorRig rig;
    rig.combo("chuanganqileixing")->setCurrentIndex(2);
    QCOMPARE(rig.label("label_jiexianshuoming"), QStringLiteral("说明：请将放大倍数设置为1"));
    const QString ceramic = rig.wiringStyle();
    QCOMPARE(ceramic, QStringLiteral("QLabel{image: url(:/icon/陶瓷电容.png);}"));
    rig.combo("wenbufangshi")->setCurrentIndex(1);
    rig.combo("wenbufangshi")->setCurrentIndex(0);
    QCOMPARE(rig.wiringStyle(), ceramic);

    rig.combo("chuanganqileixing")->setCurrentIndex(0);
    QVERIFY(rig.wiringStyle().contains(QStringLiteral("扩散硅桥压温补.png")));
    rig.combo("wenbufangshi")->setCurrentIndex(1);
    QVERIFY(rig.wiringStyle().contains(QStringLiteral("扩散硅内部温度传感器温补.png")));
    QVERIFY(rig.host.warnings.isEmpty());
}

void tst_SensorConfigPage::rangeLabels_followExcitationAndGains()
{
    SensorRig rig;
    rig.combo("hengyayuan")->setCurrentIndex(0);
    rig.combo("p_gain")->setCurrentText(QStringLiteral("12"));
    rig.combo("t_gain")->setCurrentText(QStringLiteral("2"));
    QCOMPARE(rig.label("label_P_ADC_range"), QStringLiteral("±333mV"));
    QCOMPARE(rig.label("label_T_ADC_range"), QStringLiteral("2000mV"));
    rig.combo("hengyayuan")->setCurrentIndex(1);
    QCOMPARE(rig.label("label_P_ADC_range"), QStringLiteral("±208mV"));
    QCOMPARE(rig.label("label_T_ADC_range"), QStringLiteral("1250mV"));
}

void tst_SensorConfigPage::roundTripThroughTheTransmitter()
{
    SensorRig rig;
    QVERIFY(rig.host.openAndSearch());
    rig.combo("chuanganqileixing")->setCurrentIndex(8);
    rig.combo("wenbufangshi")->setCurrentIndex(1);
    rig.combo("hengliuyuan")->setCurrentIndex(0);
    rig.combo("hengyayuan")->setCurrentIndex(1);
    rig.combo("p_gain")->setCurrentIndex(5);
    rig.combo("t_gain")->setCurrentIndex(2);
    rig.edit("sersor_rangeH")->setText(QStringLiteral("850.0"));
    rig.edit("sersor_rangeL")->setText(QStringLiteral("-200.0"));
    rig.edit("min_span")->setText(QStringLiteral("10.5"));
    rig.edit("serial_num")->setText(QStringLiteral("66051"));

    rig.page.findChild<QPushButton *>(QStringLiteral("pushButton_chuanganqishezhi_xieru"))->click();
    QCOMPARE(rig.host.status, QStringLiteral("正在写入传感器配置数据..."));
    QVERIFY(rig.host.waitForResult(QStringLiteral("write chuanganqipeizhishuju succeed"), 10000));
    QCOMPARE(rig.host.sim.memory(0x00E6, 6), QByteArray("\x08\x01\x01\x01\x05\x02"));
    QCOMPARE(rig.host.sim.memory(0x00C0, 4), QByteArray("\x01\x02\x03\x20"));
    QCOMPARE(rig.host.sim.factorySaveCount(), 1);

    // Scramble the page, read back and see the device's values again.
    rig.combo("chuanganqileixing")->setCurrentIndex(0);
    rig.combo("hengliuyuan")->setCurrentIndex(5);
    rig.edit("serial_num")->setText(QStringLiteral("1"));
    rig.edit("sersor_rangeH")->clear();
    rig.page.findChild<QPushButton *>(QStringLiteral("pushButton_chuanganqishezhi_duqu"))->click();
    QVERIFY(rig.host.waitForResult(QStringLiteral("read chuanganqipeizhishuju succeed")));
    QCOMPARE(rig.combo("chuanganqileixing")->currentIndex(), 8);
    QCOMPARE(rig.combo("wenbufangshi")->currentIndex(), 1);
    QCOMPARE(rig.combo("hengliuyuan")->currentText(), QStringLiteral("50uA"));
    QCOMPARE(rig.combo("hengyayuan")->currentIndex(), 1);
    QCOMPARE(rig.combo("p_gain")->currentText(), QStringLiteral("12"));
    QCOMPARE(rig.combo("t_gain")->currentText(), QStringLiteral("4"));
    QCOMPARE(rig.combo("sersor_unit")->currentText(), QStringLiteral("℃"));
    QCOMPARE(rig.edit("sersor_rangeH")->text(), QStringLiteral("850"));
    QCOMPARE(rig.edit("sersor_rangeL")->text(), QStringLiteral("-200"));
    QCOMPARE(rig.edit("min_span")->text(), QStringLiteral("10.5"));
    QCOMPARE(rig.edit("serial_num")->text(), QStringLiteral("66051"));
    QCOMPARE(rig.label("label_P_ADC_range"), QStringLiteral("±208mV"));
    QVERIFY(rig.host.warnings.isEmpty());
}

void tst_SensorConfigPage::construction_connectsEverySlotByName()
{
    SlotWarningCatcher catcher;
    SlotWarningCatcher::complaints().clear();
    {
        TestPageHost host;
        SensorConfigPage page(host);
    }
    QCOMPARE(SlotWarningCatcher::complaints(), QStringList());
}

QTEST_MAIN(tst_SensorConfigPage)
#include "tst_sensorconfigpage.moc"
