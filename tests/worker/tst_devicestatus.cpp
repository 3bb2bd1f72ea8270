// Status texts: which response codes and status bits are reported, and when.
#include "devicedata.h"
#include "devicestatus.h"

#include <QtTest>

class TestDeviceStatus : public QObject
{
    Q_OBJECT

private slots:
    void standingConditions_areReportedOnceWhenTheyAppear();
    void coldStart_isReportedEveryTime();
    void responseCodeText_comesBeforeStatusBits();
    void unknownResponseCode_stillExaminesStatus();
    void allBits_inExaminationOrder();
    void deviceData_startValues();
};

void TestDeviceStatus::standingConditions_areReportedOnceWhenTheyAppear()
{
    DeviceStatusReporter r;
    QCOMPARE(r.report(0, 0x40), QStringList{"hart status:组态变更"});
    QCOMPARE(r.report(0, 0x40), QStringList());
    QCOMPARE(r.report(0, 0x00), QStringList());
    QCOMPARE(r.report(0, 0x40), QStringList{"hart status:组态变更"});
}

void TestDeviceStatus::coldStart_isReportedEveryTime()
{
    DeviceStatusReporter r;
    for (int i = 0; i < 3; ++i)
        QCOMPARE(r.report(0, 0x20), QStringList{"hart status:冷启动"});
}

void TestDeviceStatus::responseCodeText_comesBeforeStatusBits()
{
    DeviceStatusReporter r;
    QCOMPARE(r.report(64, 0x08),
             QStringList({"hart status:命令未定义", "hart status:模拟输出电流固定"}));
    QCOMPARE(r.report(64, 0x08), QStringList{"hart status:命令未定义"});
}

void TestDeviceStatus::unknownResponseCode_stillExaminesStatus()
{
    DeviceStatusReporter r;
    QCOMPARE(r.report(5, 0x01), QStringList{"hart status:主变量超限"});
    QCOMPARE(r.report(0, 0x00), QStringList());
    QCOMPARE(r.report(2, 0x00), QStringList());
}

void TestDeviceStatus::allBits_inExaminationOrder()
{
    DeviceStatusReporter r;
    QCOMPARE(r.report(32, 0xFF),
             QStringList({"hart status:设备忙", "hart status:模拟输出电流固定",
                          "hart status:模拟输出饱和", "hart status:冷启动", "hart status:组态变更",
                          "hart status:现场设备故障", "hart status:更多的状态可用",
                          "hart status:非主变量超限", "hart status:主变量超限"}));
    QCOMPARE(r.report(0, 0xFF), QStringList{"hart status:冷启动"});
}

void TestDeviceStatus::deviceData_startValues()
{
    DeviceData d;
    resetDeviceData(d);
    QVERIFY(qIsInf(d.pv) && d.pv > 0);
    QCOMPARE(int(d.factoryTestSelector), 1);
    QCOMPARE(int(d.pvUnits), 0);
    // The parameter image is the tail of the record, 1306 bytes from device address 0x68.
    QCOMPARE(parameterImage(d), deviceMemory(d, 0x68, 1306));
    QVERIFY(deviceMemory(d, 0x0580, 2) != nullptr);
    QVERIFY(deviceMemory(d, 0x0581, 2) == nullptr);
    d.upperRangeValue = 100.0f;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(deviceMemory(d, 0x0104, 4)), 4),
             QByteArray::fromHex("0000c842"));
}

QTEST_APPLESS_MAIN(TestDeviceStatus)
#include "tst_devicestatus.moc"
