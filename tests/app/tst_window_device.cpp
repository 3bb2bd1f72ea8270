// The window against the simulated transmitter over the real serial path: search and the
// navigation it builds, every information page read and shown, the meter-information
// write, the address 1-15 fall-back, write-all, an unplugged modem and closing mid-transaction.
#include "windowfixture.h"

#include "hartcodec.h"
#include "hartidentity.h"
#include "pageformat.h"

#include <QtEndian>

namespace {

QByteArray floatBytes(float value)
{
    QByteArray b(4, '\0');
    qToLittleEndian(value, b.data());
    return b;
}

float floatAt(const TransmitterSim &sim, quint16 address)
{
    return qFromLittleEndian<float>(sim.memory(address, 4).constData());
}

QString packedAt(const TransmitterSim &sim, quint16 address, quint16 length)
{
    const QByteArray bytes = sim.memory(address, length);
    return pagefmt::unpackedText(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                 std::size_t(bytes.size()));
}

QStringList toolBoxTitles(const WindowFixture &f)
{
    QStringList titles;
    auto *box = f.w<QToolBox>("toolBox");
    for (int i = 0; i < box->count(); ++i)
        titles << box->itemText(i);
    return titles;
}

} // namespace

class TestWindowDevice : public QObject
{
    Q_OBJECT

private slots:
    void search_makerDevice_fiveGroupsAndTransmitterInfo();
    void search_foreignHardwareRevision_fourGroupsWithoutMakerButtons();
    void informationPages_readAndShownInTheirFormats();
    void meterInfo_writeFoldsLowerCaseAndReadsBack();
    void failedRead_warnsCentredAndStaysOnEmptyPage();
    void searchFailure_yesFindsTransmitterAtAddressThree();
    void writeAll_searchesThenWritesCollectedPages();
    void vanishedModem_isTreatedAsClosedPort();
    void closingWindow_duringTransaction_returnsPromptly();
};

void TestWindowDevice::search_makerDevice_fiveGroupsAndTransmitterInfo()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QCOMPARE(f.requests.value(0), QStringLiteral("open port"));
    QCOMPARE(f.requests.count(QStringLiteral("search meter")), 1);
    QCOMPARE(toolBoxTitles(f),
             (QStringList{QStringLiteral("仪表信息"), QStringLiteral("仪表组态"),
                          QStringLiteral("仪表微调"), QStringLiteral("过程监控"),
                          QStringLiteral("用户校准")}));
    for (const char *b :
         {"pushButton_xianshishezhi", "pushButton_zhuanyoushezhi", "pushButton_quxiaoqingling"})
        QVERIFY2(!f.button(b)->isHidden(), b);
    QVERIFY(f.w<QLabel>("label_biansongqixinxi")->isEnabled());
    QVERIFY(!f.w<QLabel>("label_yibiaoxinxi")->isEnabled());

    // The simulator's sensor and range as the transmitter-information page shows them.
    QCOMPARE(f.text("lineEdit_chuanganqixinxi_unit"), QStringLiteral("kPa"));
    QCOMPARE(f.text("lineEdit_chuanganqixinxi_rangeH"), QStringLiteral("1000"));
    QCOMPARE(f.text("lineEdit_chuanganqixinxi_rangeL"), QStringLiteral("-100"));
    QCOMPARE(f.text("lineEdit_chuanganqixinxi_min_span"), QStringLiteral("10"));
    QCOMPARE(f.text("lineEdit_chuanganqixinxi_serial_num"), QString::number(0x00A1B2));
    QCOMPARE(f.text("lineEdit_biansongqixinxi_unit"), QStringLiteral("kPa"));
    QCOMPARE(f.text("lineEdit_biansongqixinxi_rangeH"), QStringLiteral("100"));
    QCOMPARE(f.text("lineEdit_biansongqixinxi_rangeL"), QStringLiteral("0"));
    QCOMPARE(f.text("lineEdit_biansongqixinxi_damp"), QStringLiteral("0.5"));
    QCOMPARE(f.text("lineEdit_biansongqixinxi_xfer"), QStringLiteral("线性"));
    QVERIFY(f.dialogs.seen.isEmpty());

    const QString shot = qEnvironmentVariable("WINDOW_SCREENSHOT");
    if (!shot.isEmpty()) {
        QTest::qWait(300);
        f.window->grab().save(shot);
    }

    // Searching again rebuilds the groups; they never appear twice.
    QVERIFY(f.search());
    QCOMPARE(f.w<QToolBox>("toolBox")->count(), 5);
}

void TestWindowDevice::search_foreignHardwareRevision_fourGroupsWithoutMakerButtons()
{
    SimConfig config;
    config.hardwareRevision = 8;
    WindowFixture f(config);
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QCOMPARE(toolBoxTitles(f),
             (QStringList{QStringLiteral("仪表信息"), QStringLiteral("仪表组态"),
                          QStringLiteral("仪表微调"), QStringLiteral("过程监控")}));
    for (const char *b :
         {"pushButton_xianshishezhi", "pushButton_zhuanyoushezhi", "pushButton_quxiaoqingling"})
        QVERIFY2(f.button(b)->isHidden(), b);
    QVERIFY(!f.button("pushButton_liangchengshezhi")->isHidden());
    QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_fac_code"), QStringLiteral("VQM"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_hard_rev"), QStringLiteral("8"));
}

void TestWindowDevice::informationPages_readAndShownInTheirFormats()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    std::uint8_t tag[6];
    packAscii(tag, "FT-101", sizeof tag);
    f.sim.setMemory(0x00D4, QByteArray(reinterpret_cast<const char *>(tag), 6));
    f.sim.setMemory(0x00BD, QByteArray::fromHex("1a057a"));           // 26 May 2022
    f.sim.setMemory(0x00D0, QByteArray::fromHex("ffffff"));           // final assembly number
    f.sim.setMemory(0x0084, floatBytes(0.25f));                       // damping
    f.sim.setMemory(0x0082, QByteArray::fromHex("01"));               // square root
    f.sim.setMemory(0x0104, floatBytes(1234567.0f));                  // URV
    f.sim.setMemory(0x0100, floatBytes(-0.0005f));                    // LRV
    f.sim.setMemory(0x0088, QByteArray::fromHex("01"));               // write protected
    f.sim.setMemory(0x007A, QByteArray::fromHex("030001000102010f")); // display block
    QVERIFY(f.search());

    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    QCOMPARE(f.page(), 3);
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_short_addr"), QStringLiteral("0"));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_long_addr"), QString::number(0x123456));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("FT-101  "));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_descr"), QStringLiteral("PRESSURE SIM    "));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_message").trimmed(),
             QStringLiteral("SIMULATED PRESSURE TRANSMITTER"));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_date"), QStringLiteral("2022.05.26"));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_final_assembly_num"), QStringLiteral("16777215"));

    QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
    QCOMPARE(f.page(), 4);
    QCOMPARE(f.text("lineEdit_gengduoxinxi_fac_code"), QStringLiteral("VQM"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_dev_type"), QStringLiteral("0x10"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_univ_cmd_rev"), QStringLiteral("5"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_trans_spec_rev"), QStringLiteral("1"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_hard_rev"), QStringLiteral("9"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_soft_rev"), QStringLiteral("3"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_alarm_select_code"), QStringLiteral("输出最大电流"));
    QCOMPARE(f.text("lineEdit_gengduoxinxi_write_prot_code"), QStringLiteral("已写保护"));

    f.button("pushButton_dizhishezhi")->click();
    QCOMPARE(f.page(), 5);
    QCOMPARE(f.text("lineEdit_dizhishezhi_short_addr"), QStringLiteral("0"));
    QCOMPARE(f.text("lineEdit_dizhishezhi_long_addr"), QString::number(0x123456));

    QVERIFY(f.run("pushButton_liangchengshezhi", QStringLiteral("读取量程信息成功")));
    QCOMPARE(f.page(), 6);
    QCOMPARE(f.text("lineEdit_liangchengshezhi_sersor_unit"), QStringLiteral("kPa"));
    QCOMPARE(f.text("lineEdit_liangchengshezhi_sersor_min_span"), QStringLiteral("10"));
    QCOMPARE(f.w<QComboBox>("comboBox_liangchengshezhi_unit")->currentText(),
             QStringLiteral("kPa"));
    QCOMPARE(f.text("lineEdit_liangchengshezhi_rangeH"), QStringLiteral("1.23457e+06"));
    QCOMPARE(f.text("lineEdit_liangchengshezhi_rangeL"), QStringLiteral("-0.0005"));

    QVERIFY(f.run("pushButton_youyuanqianyi", QStringLiteral("读取量程信息成功")));
    QCOMPARE(f.page(), 7);
    QCOMPARE(f.text("lineEdit_biansongdangqian_unit"), QStringLiteral("kPa"));
    QCOMPARE(f.text("lineEdit_biansongdangqian_rangeH"), QStringLiteral("1.23457e+06"));

    QVERIFY(f.run("pushButton_shuchushezhi", QStringLiteral("读取输出设置成功")));
    QCOMPARE(f.page(), 8);
    QCOMPARE(f.text("lineEdit_shuchushezhi_damp"), QStringLiteral("0.25"));
    QCOMPARE(f.w<QComboBox>("comboBox_shuchushezhi_xfer")->currentText(), QStringLiteral("开方"));

    QVERIFY(f.run("pushButton_xianshishezhi", QStringLiteral("读取显示设置成功")));
    QCOMPARE(f.page(), 9);
    QCOMPARE(f.w<QComboBox>("comboBox_xianshishezhi_PV_xiaoshuwei")->currentIndex(), 3);
    QCOMPARE(f.w<QComboBox>("comboBox_xianshishezhi_SV_xiaoshuwei")->currentIndex(), 1);
    QCOMPARE(f.w<QComboBox>("comboBox_xianshishezhi_bianliang1")->currentText(),
             QStringLiteral("SV"));
    QCOMPARE(f.w<QComboBox>("comboBox_xianshishezhi_bianliang2")->currentText(),
             QStringLiteral("电流"));
    QCOMPARE(f.w<QComboBox>("comboBox_xianshishezhi_language")->currentText(),
             QStringLiteral("English"));
    QCOMPARE(f.w<QComboBox>("comboBox_xianshishezhi_contrast")->currentText(),
             QStringLiteral("15"));

    QVERIFY(f.run("pushButton_zhuanyoushezhi", QStringLiteral("读取专有设置数据成功")));
    QCOMPARE(f.page(), 10);
    QCOMPARE(f.w<QComboBox>("comboBox_zhuanyoushezhi_xiebaohu")->currentText(),
             QStringLiteral("保护"));
    QCOMPARE(f.text("lineEdit_zhuanyoushezhi_baojinshangxian"), QStringLiteral("21"));
    QCOMPARE(f.text("lineEdit_zhuanyoushezhi_baojinxiaxian"), QStringLiteral("3.8"));
    QCOMPARE(f.text("lineEdit_zhuanyoushezhi_zengyi"), QStringLiteral("1"));
    QVERIFY(f.dialogs.seen.isEmpty());
}

void TestWindowDevice::meterInfo_writeFoldsLowerCaseAndReadsBack()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("pt-7b"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_descr")->setText(QStringLiteral("inlet line"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_message")
            ->setText(QStringLiteral("checked by night shift"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_date")->setText(QStringLiteral("1999.12.31"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_final_assembly_num")->setText(QStringLiteral("654321"));

    QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));
    QCOMPARE(f.page(), 3);
    QCOMPARE(packedAt(f.sim, 0x00D4, 6), QStringLiteral("PT-7B   "));
    QCOMPARE(packedAt(f.sim, 0x00DA, 12), QStringLiteral("INLET LINE      "));
    QCOMPARE(packedAt(f.sim, 0x00A4, 24).trimmed(), QStringLiteral("CHECKED BY NIGHT SHIFT"));
    QCOMPARE(f.sim.memory(0x00BD, 3), QByteArray::fromHex("1f0c63"));
    QCOMPARE(f.sim.memory(0x00D0, 3), QByteArray::fromHex("09fbf1"));

    for (const char *e :
         {"lineEdit_yibiaoxinxi_tag", "lineEdit_yibiaoxinxi_descr", "lineEdit_yibiaoxinxi_date"})
        f.w<QLineEdit>(e)->clear();
    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("PT-7B   "));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_descr"), QStringLiteral("INLET LINE      "));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_date"), QStringLiteral("1999.12.31"));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_final_assembly_num"), QStringLiteral("654321"));
}

void TestWindowDevice::failedRead_warnsCentredAndStaysOnEmptyPage()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    SimFaults faults;
    faults.silentCommands = {12};
    f.sim.setFaults(faults);
    const QRect frame = f.window->geometry();

    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息失败")));
    QCOMPARE(f.dialogs.seen.size(), 1);
    QCOMPARE(f.dialogs.seen[0].title, QStringLiteral("警告"));
    QCOMPARE(f.dialogs.seen[0].text, QStringLiteral("读取仪表信息失败！"));
    QCOMPARE(f.dialogs.seen[0].geometry,
             QRect(frame.x() + (frame.width() - 320) / 2, frame.y() + (frame.height() - 150) / 2,
                   320, 150));
    QCOMPARE(f.page(), 1);
}

void TestWindowDevice::searchFailure_yesFindsTransmitterAtAddressThree()
{
    SimConfig config;
    config.pollingAddress = 3;
    WindowFixture f(config);
    f.dialogs.askButton = QStringLiteral("pushButton_yes");
    QVERIFY(f.openPort());
    QVERIFY(f.search(10000));
    QCOMPARE(f.dialogs.seen.size(), 1);
    QCOMPARE(f.dialogs.seen[0].text, QStringLiteral("查询地址0失败，是否查询地址1~15?"));
    QVERIFY(f.requests.contains(QStringLiteral("search meter 1-15")));
    QCOMPARE(f.w<QToolBox>("toolBox")->count(), 5);
    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_short_addr"), QStringLiteral("3"));
}

void TestWindowDevice::writeAll_searchesThenWritesCollectedPages()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QVERIFY(f.run("pushButton_shuchushezhi", QStringLiteral("读取输出设置成功")));
    f.w<QLineEdit>("lineEdit_shuchushezhi_damp")->setText(QStringLiteral("2.5"));
    f.w<QLineEdit>("lineEdit_zhuanyoushezhi_density")->setText(QStringLiteral("1.25"));
    f.requests.clear();

    f.button("pushButton_quanbuxieru")->click();
    QCOMPARE(f.requests.value(0), QStringLiteral("search meter"));
    // "write all succeed" is followed by the factory save's own result.
    QVERIFY(WindowFixture::waitFor([&] { return f.status() == QStringLiteral("工厂保存成功"); },
                                   20000));
    QVERIFY(f.dialogs.seen.isEmpty());
    QCOMPARE(f.requests.filter(QStringLiteral("write all")).size(), 1);
    QCOMPARE(f.page(), 8); // the search that preceded the write changed no page
    QCOMPARE(f.w<QToolBox>("toolBox")->count(), 5);
    QCOMPARE(floatAt(f.sim, 0x0084), 2.5f);
    QCOMPARE(floatAt(f.sim, 0x008C), 1.25f);
    QVERIFY(f.sim.factorySaveCount() >= 1);
}

void TestWindowDevice::vanishedModem_isTreatedAsClosedPort()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    f.requests.clear();
    f.sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"), 3000);
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
    QVERIFY(!f.window->serialLink()->isOpen());
    QVERIFY(f.requests.contains(QStringLiteral("close port")));
    QVERIFY(f.portButtonsEnabled());

    // The next request is refused like any other on a closed port.
    f.button("pushButton_yibiaoxinxi")->click();
    QCOMPARE(f.dialogs.texts().last(), QStringLiteral("请先打开端口！"));
}

void TestWindowDevice::closingWindow_duringTransaction_returnsPromptly()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    // The product's own budget: ten attempts of one second each.
    f.window->worker()->master()->timeoutMs = 1000;
    f.window->worker()->master()->retryCount = 10;
    SimFaults silent;
    silent.silent = true;
    f.sim.setFaults(silent);
    f.button("pushButton_chaxunyibiao")->click();
    QTest::qWait(300);
    QElapsedTimer clock;
    clock.start();
    f.window->close();
    f.window.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_MAIN(TestWindowDevice)
#include "tst_window_device.moc"
