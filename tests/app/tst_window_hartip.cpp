// The real window over HART-IP: the simulated transmitter's HART-IP server on loopback, opened
// by typing its address into the port selector; the pages work as over the modem, and an
// address that cannot be opened says why under the usual warning.
#include "windowfixture.h"

#include "hartipserver.h"
#include "hartiplink.h"

#include <QTcpServer>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QByteArray kIdentity = "station-7";
const QByteArray kKeyHex = "0123456789abcdef0123456789abcdef";

QString packedAt(const TransmitterSim &sim, quint16 address, int length)
{
    const QByteArray packed = sim.memory(address, quint16(length));
    QByteArray text(length * 4 / 3 + 1, '\0');
    unpackAscii(text.data(), std::size_t(text.size()),
                reinterpret_cast<const std::uint8_t *>(packed.constData()),
                std::size_t(packed.size()));
    return QString::fromLatin1(text.constData());
}

QString keyFile(const QTemporaryDir &dir, const QByteArray &line)
{
    const QString path = dir.filePath(QStringLiteral("key-%1").arg(QString::fromLatin1(line.right(4))));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(line + '\n');
    f.close();
    ::chmod(QFile::encodeName(path).constData(), 0600);
    return path;
}

} // namespace

class TestWindowHartIp : public QObject
{
    Q_OBJECT

private slots:
    void pages_workOverEveryTransport_data();
    void pages_workOverEveryTransport();
    void unopenableAddresses_warnWithReason();
    void sessionEndedByServer_closesPortAndSaysSo();
};

void TestWindowHartIp::pages_workOverEveryTransport_data()
{
    QTest::addColumn<int>("scheme");
    QTest::newRow("udp") << int(hartip::Scheme::Udp);
    QTest::newRow("tcp") << int(hartip::Scheme::Tcp);
    QTest::newRow("tls") << int(hartip::Scheme::Tls);
}

void TestWindowHartIp::pages_workOverEveryTransport()
{
    QFETCH(int, scheme);
    QTemporaryDir dir;
    WindowFixture f;
    HartIpServer server(f.sim);
    QVERIFY(server.start(hartip::Scheme(scheme), 0, kIdentity, QByteArray::fromHex(kKeyHex)));
    QString url = server.url();
    if (scheme == int(hartip::Scheme::Tls))
        url += QStringLiteral("?psk=") + keyFile(dir, kIdentity + ':' + kKeyHex);

    QVERIFY(f.openAddress(url));
    QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("当前连接：%1").arg(url));
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("关闭端口"));
    QVERIFY(!f.window->serialLink()->isOpen());

    QVERIFY(f.search());
    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->setText(QStringLiteral("FT-101"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_message")->setText(QStringLiteral("over hart-ip"));
    QVERIFY(f.run("pushButton_xieruyibiaoxinxi", QStringLiteral("写入仪表信息成功")));
    QCOMPARE(packedAt(f.sim, 0x00D4, 6), QStringLiteral("FT-101  "));
    QCOMPARE(packedAt(f.sim, 0x00A4, 24).trimmed(), QStringLiteral("OVER HART-IP"));
    f.w<QLineEdit>("lineEdit_yibiaoxinxi_tag")->clear();
    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    QCOMPARE(f.text("lineEdit_yibiaoxinxi_tag"), QStringLiteral("FT-101  "));
    QVERIFY2(f.dialogs.seen.isEmpty(), qPrintable(f.dialogs.texts().join(QLatin1Char('|'))));

    // "关闭端口" ends the session with the server too.
    f.button("pushButton_dakaiduankou")->click();
    QTRY_COMPARE_WITH_TIMEOUT(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"), 3000);
    QVERIFY(!f.window->hartIpLink()->isOpen());
    QTRY_COMPARE_WITH_TIMEOUT(server.closesReceived(), 1, 2000);
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
}

void TestWindowHartIp::unopenableAddresses_warnWithReason()
{
    QTemporaryDir dir;
    WindowFixture f;
    HartIpServer server(f.sim);
    QVERIFY(server.start(hartip::Scheme::Tls, 0, kIdentity, QByteArray::fromHex(kKeyHex)));
    quint16 closed = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        closed = probe.serverPort();
    }
    const QString failure = QStringLiteral("端口打开失败，请检查端口号是否正确或端口是否占用！\n");
    const struct
    {
        QString url;
        QString reason;
    } cases[] = {
            {QStringLiteral("hartip+tcp://127.0.0.1:99999"),
             QStringLiteral("HART-IP 地址无效，应为 hartip://主机[:端口]、hartip+tcp://主机[:端口] "
                            "或 hartips://主机[:端口]?psk=文件")},
            {QStringLiteral("hartip+tcp://127.0.0.1:%1").arg(closed),
             QStringLiteral("127.0.0.1:%1 拒绝连接").arg(closed)},
            {server.url() + QStringLiteral("?psk=")
                     + keyFile(dir, kIdentity + ":ffffffffffffffffffffffffffffffff"),
             QStringLiteral("TLS 握手失败：身份或密钥不被接受")},
    };
    for (const auto &c : cases) {
        f.dialogs.seen.clear();
        QVERIFY(!f.openAddress(c.url));
        QCOMPARE(f.dialogs.texts(), QStringList{failure + c.reason});
        QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"));
        QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
        QVERIFY(f.button("pushButton_dakaiduankou")->isEnabled());
    }
    QVERIFY(!f.dialogs.texts().join(QString()).contains(QLatin1String("ffff")));
    QCOMPARE(server.sessionsOpened(), 0);
}

void TestWindowHartIp::sessionEndedByServer_closesPortAndSaysSo()
{
    WindowFixture f;
    HartIpServer server(f.sim);
    QVERIFY(server.start(hartip::Scheme::Tcp));
    HartIpServerFaults faults;
    faults.closeIdleAfterMs = 300; // sooner than the keep-alive of a ten-minute session
    server.setFaults(faults);
    QVERIFY(f.openAddress(server.url()));
    QVERIFY(f.search());
    QTRY_COMPARE_WITH_TIMEOUT(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"), 3000);
    QCOMPARE(f.status(), QStringLiteral("HART-IP 会话已被对方关闭"));
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("打开端口"));
    QVERIFY(f.portButtonsEnabled());
    QVERIFY(!f.window->hartIpLink()->isOpen());
    // And it opens again, even when the worker's answer to the lost port's close comes in
    // while the new session is being set up.
    server.setFaults(HartIpServerFaults());
    f.w<QComboBox>("comboBox_duankouhao")->setEditText(server.url());
    f.button("pushButton_dakaiduankou")->click();
    emit f.window->worker()->sendMessageToMainThread(QStringLiteral("close port succeed"));
    // The link is open before the window hears of it; the label says so once it has.
    QVERIFY(f.waitFor([&] { return f.window->hartIpLink()->isOpen(); }, 5000));
    QTRY_COMPARE_WITH_TIMEOUT(f.w<QLabel>("label_connect")->text(),
                              QStringLiteral("当前连接：%1").arg(server.url()), 2000);
    QVERIFY(f.search());
    QVERIFY(f.dialogs.seen.isEmpty());
}

QTEST_MAIN(TestWindowHartIp)
#include "tst_window_hartip.moc"
