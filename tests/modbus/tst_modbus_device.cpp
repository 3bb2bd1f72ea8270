// The Modbus page against the simulated transmitter over a real pseudo-terminal: the page
// written, the device memory checked, then read back into a fresh page.
#include "devicedata.h"
#include "fakepagehost.h"
#include "modbuspage.h"
#include "workerfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include <cstring>

class TestModbusDevice : public QObject
{
    Q_OBJECT

private slots:
    void writeThenDeviceMemoryThenReadBack();
};

void TestModbusDevice::writeThenDeviceMemoryThenReadBack()
{
    WorkerFixture f;
    QVERIFY(f.openAndSearch());
    FakePageHost host(&f.worker.mutex);
    host.onRequest = [&](const QString &r) {
        f.request(r);
    };

    ModbusPage page(host);
    page.contentBox(0)->setCurrentIndex(modbusfmt::kCustomHex);
    page.addressEdit(0)->setText("40001");
    page.dataEdit(0)->setText("ab");
    page.contentBox(1)->setCurrentIndex(modbusfmt::kCustomChars);
    page.dataEdit(1)->setText("A");
    page.contentBox(19)->setCurrentIndex(modbusfmt::kCustomDecimal);
    page.addressEdit(19)->setText("65535");
    page.dataEdit(19)->setText("1234");
    page.findChild<QLineEdit *>("lineEdit_modbus_zutai_50regs_addr")->setText("500");
    page.findChild<QTextEdit *>("textEdit_modbus_zutai_50regs_data")->setPlainText("ABC");
    page.findChild<QCheckBox *>("checkBox_byte_swap")->setChecked(true);
    page.findChild<QPushButton *>("pushButton_xierucustomreg")->click();
    QVERIFY(f.runUntil("write modbus custom reg succeed")
                    .contains("write modbus custom reg succeed"));

    const QByteArray flags = f.sim.memory(0x04A2, 2);
    QCOMPARE(flags, QByteArray::fromHex("0100"));
    const QByteArray rows = f.sim.memory(0x04A4, 120);
    QCOMPARE(rows.left(12),
             QByteArray::fromHex("1800"
                                 "419c"
                                 "ab00"
                                 "1900"
                                 "0000"
                                 "0041"));
    QCOMPARE(rows.mid(114, 6),
             QByteArray::fromHex("1700"
                                 "ffff"
                                 "d204"));
    QCOMPARE(f.sim.memory(0x051C, 8),
             QByteArray::fromHex("f401"
                                 "4241"
                                 "0043"
                                 "0000"));

    {
        QMutexLocker lock(&f.worker.mutex);
        std::memset(deviceMemory(deviceData, 0x04A2, 224), 0, 224);
    }
    ModbusPage fresh(host);
    fresh.findChild<QPushButton *>("pushButton_duqucustomreg")->click();
    QVERIFY(f.runUntil("read modbus custom reg succeed")
                    .contains("read modbus custom reg succeed"));
    fresh.fill();
    QCOMPARE(fresh.dataEdit(0)->text(), QStringLiteral("00AB"));
    QCOMPARE(fresh.addressEdit(0)->text(), QStringLiteral("40001"));
    QCOMPARE(fresh.dataEdit(1)->text(), QString::fromUtf8("A\0", 2));
    QCOMPARE(fresh.dataEdit(19)->text(), QStringLiteral("1234"));
    QCOMPARE(fresh.findChild<QTextEdit *>("textEdit_modbus_zutai_50regs_data")->toPlainText(),
             QStringLiteral("ABC"));
    QVERIFY(fresh.findChild<QCheckBox *>("checkBox_byte_swap")->isChecked());
    QVERIFY(!fresh.findChild<QCheckBox *>("checkBox_big_endian")->isChecked());
}

QTEST_MAIN(TestModbusDevice)
#include "tst_modbus_device.moc"
