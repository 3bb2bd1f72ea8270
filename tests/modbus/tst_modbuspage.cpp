// The Modbus page through a fake page host: fill and collect of its three word forms and
// the text block, the wheel filter, the closed port, and the byte-order flags a backup holds.
#include "backupactions.h"
#include "devicedata.h"
#include "fakepagehost.h"
#include "modbuspage.h"

#include <QtTest>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QWheelEvent>

#include <cstring>

namespace {

QStringList g_messages;
QtMessageHandler g_previous = nullptr;

void recordMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_messages << message;
    if (g_previous)
        g_previous(type, context, message);
}

ModbusCustomReg rowOf(int i)
{
    ModbusCustomReg r;
    std::memcpy(&r, reinterpret_cast<const char *>(deviceData.modbusCustomRegs) + i * sizeof r,
                sizeof r);
    return r;
}

void setRow(int i, std::uint16_t content, std::uint16_t address, std::uint16_t data)
{
    const ModbusCustomReg r{content, address, data};
    std::memcpy(reinterpret_cast<char *>(deviceData.modbusCustomRegs) + i * sizeof r, &r, sizeof r);
}

std::uint16_t textWord(int k)
{
    std::uint16_t w;
    std::memcpy(&w, reinterpret_cast<const char *>(deviceData.modbusTextData) + 2 * k, 2);
    return w;
}

void sendWheel(QWidget *target)
{
    const QPointF pos(target->width() / 2.0, target->height() / 2.0);
    QWheelEvent wheel(pos, target->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &wheel);
}

} // namespace

class TestModbusPage : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void construction_everyButtonSlotFindsItsSignal();
    void fill_showsEachWordForm();
    void collect_typedWordsTextAndAddresses();
    void collect_rowSwitchedAwayFromCustomData_keepsWord();
    void collect_unknownContentCode_isKept();
    void wheel_overContentList_changesNothing();
    void buttons_closedPort_warnAndSendNothing_data();
    void buttons_closedPort_warnAndSendNothing();
    void buttons_openPort_sendRequests();
    void backup_holdsByteSwapFlagLastRead();

private:
    FakePageHost m_host;
};

void TestModbusPage::init()
{
    resetDeviceData(deviceData);
    m_host.portOpen = true;
    m_host.requests.clear();
    m_host.warnings.clear();
    m_host.statusTexts.clear();
}

void TestModbusPage::construction_everyButtonSlotFindsItsSignal()
{
    g_messages.clear();
    g_previous = qInstallMessageHandler(recordMessages);
    ModbusPage page(m_host);
    qInstallMessageHandler(g_previous);
    for (const QString &m : qAsConst(g_messages))
        QVERIFY2(!m.contains(QLatin1String("No matching signal")), qPrintable(m));
    QCOMPARE(page.objectName(), QStringLiteral("page_17"));
    auto *table = page.findChild<QTableWidget *>("tableWidget_customreg");
    QVERIFY(table);
    QCOMPARE(table->item(0, 1)->text(), QStringLiteral("地址"));
    QCOMPARE(table->cellWidget(20, 0), page.contentBox(19));
    QCOMPARE(page.contentBox(0)->count(), 26);
}

void TestModbusPage::fill_showsEachWordForm()
{
    setRow(0, 24, 40001, 0x00AB);
    setRow(1, 25, 2, 0x4100);
    setRow(2, 23, 3, 65535);
    setRow(3, 12, 4, 0x1111);
    deviceData.modbusTextStart = 300;
    deviceData.modbusTextData[0] = 0x4142;
    deviceData.modbusTextData[1] = 0x4300;
    deviceData.modbusByteSwap = 1;
    ModbusPage page(m_host);
    page.dataEdit(3)->setText("typed before");
    page.fill();
    QCOMPARE(page.contentBox(0)->currentText(), QStringLiteral("自定义数据16进制"));
    QCOMPARE(page.addressEdit(0)->text(), QStringLiteral("40001"));
    QCOMPARE(page.dataEdit(0)->text(), QStringLiteral("00AB"));
    QCOMPARE(page.dataEdit(1)->text(), QString::fromUtf8("A\0", 2));
    QCOMPARE(page.dataEdit(2)->text(), QStringLiteral("65535"));
    QCOMPARE(page.dataEdit(3)->text(), QStringLiteral("typed before"));
    QCOMPARE(page.findChild<QLineEdit *>("lineEdit_modbus_zutai_50regs_addr")->text(),
             QStringLiteral("300"));
    QCOMPARE(page.findChild<QTextEdit *>("textEdit_modbus_zutai_50regs_data")->toPlainText(),
             QStringLiteral("ABC"));
    QVERIFY(page.findChild<QCheckBox *>("checkBox_byte_swap")->isChecked());
    QVERIFY(!page.findChild<QCheckBox *>("checkBox_big_endian")->isChecked());
}

void TestModbusPage::collect_typedWordsTextAndAddresses()
{
    ModbusPage page(m_host);
    page.contentBox(0)->setCurrentIndex(24);
    page.dataEdit(0)->setText("ab");
    page.contentBox(1)->setCurrentIndex(25);
    page.dataEdit(1)->setText("A");
    page.addressEdit(1)->setText("65535");
    page.addressEdit(2)->setText("");
    auto *text = page.findChild<QTextEdit *>("textEdit_modbus_zutai_50regs_data");
    text->setPlainText(QString(120, 'z'));
    page.collect();
    QCOMPARE(rowOf(0).data, std::uint16_t(0x00AB));
    QCOMPARE(rowOf(1).data, std::uint16_t(0x4100));
    QCOMPARE(rowOf(1).address, std::uint16_t(65535));
    QCOMPARE(rowOf(2).address, std::uint16_t(0));
    QCOMPARE(textWord(49), std::uint16_t(0x7A7A));

    // Read back: the character row shows A with its U+0000, the text its first 100 bytes.
    ModbusPage other(m_host);
    other.fill();
    QCOMPARE(other.dataEdit(1)->text(), QString::fromUtf8("A\0", 2));
    QCOMPARE(other.findChild<QTextEdit *>("textEdit_modbus_zutai_50regs_data")->toPlainText(),
             QString(100, 'z'));
    other.collect();
    QCOMPARE(rowOf(1).data, std::uint16_t(0x4100));
}

void TestModbusPage::collect_rowSwitchedAwayFromCustomData_keepsWord()
{
    setRow(5, 23, 10, 4321);
    ModbusPage page(m_host);
    page.fill();
    page.contentBox(5)->setCurrentIndex(12); // "Modbus地址"
    page.dataEdit(5)->setText("999");
    page.collect();
    QCOMPARE(rowOf(5).content, std::uint16_t(12));
    QCOMPARE(rowOf(5).data, std::uint16_t(4321));
}

void TestModbusPage::collect_unknownContentCode_isKept()
{
    setRow(7, 99, 1, 0x7777);
    ModbusPage page(m_host);
    page.fill();
    QCOMPARE(page.contentBox(7)->currentIndex(), -1);
    page.collect();
    QCOMPARE(rowOf(7).content, std::uint16_t(99));
    QCOMPARE(rowOf(7).data, std::uint16_t(0x7777));
}

void TestModbusPage::wheel_overContentList_changesNothing()
{
    ModbusPage page(m_host);
    page.resize(800, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    // A list without the filter does move on the wheel, so the check below means something.
    QComboBox plain;
    plain.addItems({"a", "b", "c"});
    plain.setCurrentIndex(1);
    plain.show();
    sendWheel(&plain);
    QVERIFY(plain.currentIndex() != 1);

    for (int i = 0; i < modbusfmt::kRows; ++i) {
        page.contentBox(i)->setCurrentIndex(10);
        sendWheel(page.contentBox(i));
        QCOMPARE(page.contentBox(i)->currentIndex(), 10);
    }
}

void TestModbusPage::buttons_closedPort_warnAndSendNothing_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("read") << "pushButton_duqucustomreg";
    QTest::newRow("write") << "pushButton_xierucustomreg";
}

void TestModbusPage::buttons_closedPort_warnAndSendNothing()
{
    QFETCH(QString, button);
    m_host.portOpen = false;
    ModbusPage page(m_host);
    page.findChild<QCheckBox *>("checkBox_byte_swap")->setChecked(true);
    page.addressEdit(0)->setText("123");
    page.findChild<QPushButton *>(button)->click();
    QCOMPARE(m_host.warnings, QStringList{"请先打开端口！"});
    QVERIFY(m_host.requests.isEmpty());
    QCOMPARE(deviceData.modbusByteSwap, std::uint8_t(0));
    QCOMPARE(rowOf(0).address, std::uint16_t(0));
}

void TestModbusPage::buttons_openPort_sendRequests()
{
    ModbusPage page(m_host);
    page.findChild<QCheckBox *>("checkBox_big_endian")->setChecked(true);
    page.findChild<QPushButton *>("pushButton_duqucustomreg")->click();
    QCOMPARE(deviceData.modbusBigEndian, std::uint8_t(0));
    page.findChild<QPushButton *>("pushButton_xierucustomreg")->click();
    QCOMPARE(deviceData.modbusBigEndian, std::uint8_t(1));
    QCOMPARE(m_host.requests, QStringList({"read modbus custom reg", "write modbus custom reg"}));
    QCOMPARE(m_host.statusTexts,
             QStringList({"正在读取modbus组态数据...", "正在写入modbus组态数据..."}));
}

void TestModbusPage::backup_holdsByteSwapFlagLastRead()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    deviceData.modbusByteSwap = 0; // as last read from the transmitter
    ModbusPage page(m_host);
    page.fill();
    page.findChild<QCheckBox *>("checkBox_byte_swap")->setChecked(true);
    BackupActions actions(m_host, nullptr, {[&] {
                              page.collect();
                          }},
                          {[&] {
                              page.fill();
                          }});
    const QString path = dir.filePath("m.vqmbk");
    actions.setFileChooser([&](BackupActions::FileDialog, const QString &) { return path; });
    actions.backup();
    QDir::setCurrent(previous);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 1308);
    QCOMPARE(int(bytes[1082]), 0);
}

QTEST_MAIN(TestModbusPage)
#include "tst_modbuspage.moc"
