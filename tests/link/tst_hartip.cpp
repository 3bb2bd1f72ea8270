// The master over HART-IP against the simulated transmitter's HART-IP server on loopback:
// sessions over UDP, TCP and TLS with a pre-shared key, answers matched by sequence number,
// lost and refused answers as attempts, keep-alives that hold the session, and every way an
// open fails, including against openssl's own TLS server.
#include "waitfor.h"

#include "hartip.h"
#include "hartiplink.h"
#include "hartipserver.h"
#include "kvhart_master.h"
#include "trafficcapture.h"
#include "transmittersim.h"
#include "../traffic/tsharkreader.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

#include <sys/stat.h>

namespace {

// Waits for the next opened() verdict, taken on this thread; empty when none came.
std::optional<bool> openVerdict(HartIpLink &link, const QString &url)
{
    std::optional<bool> verdict;
    QObject here;
    QObject::connect(&link, &HartIpLink::opened, &here, [&](bool ok) { verdict = ok; });
    if (!link.open(url))
        return false;
    waitUntil([&] { return verdict.has_value(); }, 10000);
    return verdict;
}

const QByteArray kIdentity = "hartconfig-test";
const QByteArray kKeyHex = "00112233445566778899aabbccddeeff";

struct Rig
{
    explicit Rig(hartip::Scheme scheme, const QByteArray &serverKey = QByteArray::fromHex(kKeyHex))
        : server(sim)
    {
        master.timeoutMs = 300;
        master.retryCount = 3;
        started = server.start(scheme, 0, kIdentity, serverKey);
    }

    // Opens url (the server's own when empty) and waits for the verdict.
    bool open(const QString &url = QString())
    {
        return openVerdict(link, url.isEmpty() ? server.url() + pskSuffix : url).value_or(false);
    }

    std::uint8_t command0(HartResponse *r) { return master.readUniqueIdentifier(r); }

    TransmitterSim sim;
    HartIpServer server;
    kvhart_master master;
    HartIpLink link{&master};
    bool started = false;
    QString pskSuffix;
    QMetaObject::Connection wire = QObject::connect(&master, &kvhart_master::SendData, &link,
                                                    &HartIpLink::send);
};

QString writeKeyFile(const QTemporaryDir &dir, const QByteArray &line, mode_t mode)
{
    static int serial = 0;
    const QString path = dir.filePath(QStringLiteral("psk-%1-%2").arg(++serial).arg(mode, 0, 8));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(line + '\n');
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestHartIp : public QObject
{
    Q_OBJECT

private slots:
    void session_readsIdentityAndCloses_data();
    void session_readsIdentityAndCloses();
    void answerBackBeforeTheWaitBegins_isNeverLost_data();
    void answerBackBeforeTheWaitBegins_isNeverLost();
    void lostWrongAndBusyAnswers_areAttempts_data();
    void lostWrongAndBusyAnswers_areAttempts();
    void idleSession_keptAliveWithinHalfTheGrantedTimer_data();
    void idleSession_keptAliveWithinHalfTheGrantedTimer();
    void serverEndsSession_portLost_data();
    void serverEndsSession_portLost();
    void refusedInitiate_saysWhy_data();
    void refusedInitiate_saysWhy();
    void unusableAddresses_failWithReason();
    void tlsKeys_refusedWhenWrongOrExposed();
    void openssl_acceptsOurKeyAndRefusesAnother();
    void capture_showsTheWholeSessionAsWiresharkDecodesIt();
};

void TestHartIp::session_readsIdentityAndCloses_data()
{
    QTest::addColumn<int>("scheme");
    QTest::newRow("udp") << int(hartip::Scheme::Udp);
    QTest::newRow("tcp") << int(hartip::Scheme::Tcp);
    QTest::newRow("tls") << int(hartip::Scheme::Tls);
}

void TestHartIp::session_readsIdentityAndCloses()
{
    QFETCH(int, scheme);
    QTemporaryDir dir;
    Rig rig{hartip::Scheme(scheme)};
    QVERIFY2(rig.started, qPrintable(rig.server.errorString()));
    if (scheme == int(hartip::Scheme::Tls))
        rig.pskSuffix = QStringLiteral("?psk=")
                + writeKeyFile(dir, kIdentity + ':' + kKeyHex, 0600);
    QVERIFY(rig.open());
    QVERIFY(rig.link.isOpen());
    QCOMPARE(rig.server.sessionsOpened(), 1);
    QCOMPARE(rig.link.grantedInactivityMs(), hartip::kDefaultInactivityMs);

    HartResponse r{};
    QCOMPARE(rig.command0(&r), std::uint8_t(0));
    QCOMPARE(r[1], std::uint8_t(makerManufacturerId));
    // The long frame goes to the unique address command 0 taught.
    QCOMPARE(rig.master.uniqueAddress[2], std::uint8_t(0x12));
    HartResponse tag{};
    QCOMPARE(rig.master.readTagDescriptorDate(&tag), std::uint8_t(0));
    QCOMPARE(rig.master.responseDataLength, std::uint8_t(21));
    QCOMPARE(rig.sim.requests().size(), 2);
    QCOMPARE(rig.link.wrongSequenceCount(), 0);

    rig.link.close();
    QVERIFY(!rig.link.isOpen());
    QVERIFY(waitUntil([&] { return rig.server.closesReceived() == 1; }, 2000));
    QCOMPARE(rig.server.activeSessions(), 0);
    // A frame for a closed session goes nowhere: the attempts time out.
    rig.master.retryCount = 1;
    QCOMPARE(rig.command0(&r), std::uint8_t(1));
    QCOMPARE(rig.sim.requests().size(), 2);
}

void TestHartIp::answerBackBeforeTheWaitBegins_isNeverLost_data()
{
    QTest::addColumn<int>("scheme");
    QTest::newRow("udp") << int(hartip::Scheme::Udp);
    QTest::newRow("tcp") << int(hartip::Scheme::Tcp);
}

void TestHartIp::answerBackBeforeTheWaitBegins_isNeverLost()
{
    // On loopback the answer can be back before the master's thread runs again after handing
    // the frame over; it must count all the same, at the first attempt.
    QFETCH(int, scheme);
    Rig rig{hartip::Scheme(scheme)};
    QVERIFY(rig.started);
    QVERIFY(rig.open());
    rig.master.retryCount = 1;
    constexpr int kCount = 3000;
    int failed = 0;
    HartResponse r{};
    for (int i = 0; i < kCount; ++i)
        failed += rig.command0(&r);
    QCOMPARE(failed, 0);
    QCOMPARE(rig.sim.requests().size(), kCount);
}

void TestHartIp::lostWrongAndBusyAnswers_areAttempts_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<QString>("fault");
    for (auto s : {hartip::Scheme::Udp, hartip::Scheme::Tcp}) {
        const char *name = s == hartip::Scheme::Udp ? "udp" : "tcp";
        for (const char *fault : {"dropped", "wrong sequence", "busy"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(name, fault)))
                    << int(s) << QString::fromLatin1(fault);
    }
}

void TestHartIp::lostWrongAndBusyAnswers_areAttempts()
{
    QFETCH(int, scheme);
    QFETCH(QString, fault);
    Rig rig{hartip::Scheme(scheme)};
    QVERIFY(rig.started);
    HartIpServerFaults faults;
    faults.dropFirstReply = fault == QLatin1String("dropped");
    faults.wrongSequence = fault == QLatin1String("wrong sequence");
    rig.server.setFaults(faults);
    if (fault == QLatin1String("busy")) {
        SimFaults busy;
        busy.transientAnswers = 2;
        busy.transientCode = 32;
        rig.sim.setFaults(busy);
    }
    QVERIFY(rig.open());
    HartResponse r{};
    QCOMPARE(rig.command0(&r), std::uint8_t(0));
    QCOMPARE(rig.master.responseCode, std::uint8_t(0));
    QCOMPARE(r[1], std::uint8_t(makerManufacturerId));
    // One attempt per lost or refused answer, the request sent again each time.
    QCOMPARE(rig.sim.requests().size(), fault == QLatin1String("busy") ? 3 : 2);
    QCOMPARE(rig.link.wrongSequenceCount(), fault == QLatin1String("wrong sequence") ? 1 : 0);
}

void TestHartIp::idleSession_keptAliveWithinHalfTheGrantedTimer_data()
{
    QTest::addColumn<int>("scheme");
    QTest::newRow("udp") << int(hartip::Scheme::Udp);
    QTest::newRow("tcp") << int(hartip::Scheme::Tcp);
}

void TestHartIp::idleSession_keptAliveWithinHalfTheGrantedTimer()
{
    QFETCH(int, scheme);
    Rig rig{hartip::Scheme(scheme)};
    QVERIFY(rig.started);
    // The server grants less than the ten minutes asked for, and enforces it.
    rig.server.setMaxInactivityMs(400);
    QVERIFY(rig.open());
    QCOMPARE(rig.link.grantedInactivityMs(), 400u);
    QTest::qWait(1500);
    QCOMPARE(rig.server.sessionsTimedOut(), 0);
    QVERIFY(rig.server.keepAlivesReceived() >= 3);
    QVERIFY(rig.link.isOpen());
    HartResponse r{};
    QCOMPARE(rig.command0(&r), std::uint8_t(0));
    QCOMPARE(rig.sim.requests().size(), 1);
}

void TestHartIp::serverEndsSession_portLost_data()
{
    QTest::addColumn<int>("scheme");
    QTest::newRow("udp") << int(hartip::Scheme::Udp);
    QTest::newRow("tcp") << int(hartip::Scheme::Tcp);
}

void TestHartIp::serverEndsSession_portLost()
{
    QFETCH(int, scheme);
    Rig rig{hartip::Scheme(scheme)};
    QVERIFY(rig.started);
    HartIpServerFaults faults;
    faults.closeIdleAfterMs = 150; // sooner than the keep-alive
    rig.server.setFaults(faults);
    bool lost = false;
    QObject::connect(&rig.link, &HartIpLink::portLost, this, [&] { lost = true; });
    QVERIFY(rig.open());
    QVERIFY(waitUntil([&] { return rig.server.sessionsTimedOut() == 1; }, 2000));
    if (scheme == int(hartip::Scheme::Udp)) {
        // A datagram server forgets quietly; the next request hears that it has no session.
        HartResponse r{};
        rig.master.retryCount = 1;
        QCOMPARE(rig.command0(&r), std::uint8_t(1));
    }
    QVERIFY(waitUntil([&] { return lost; }, 3000));
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::SessionClosed);
    QVERIFY(!rig.link.isOpen());
}

void TestHartIp::refusedInitiate_saysWhy_data()
{
    QTest::addColumn<int>("scheme");
    QTest::addColumn<int>("status");
    QTest::newRow("udp, no session available") << int(hartip::Scheme::Udp) << 15;
    QTest::newRow("tcp, version not supported") << int(hartip::Scheme::Tcp) << 14;
    QTest::newRow("tcp, session exists") << int(hartip::Scheme::Tcp) << 16;
}

void TestHartIp::refusedInitiate_saysWhy()
{
    QFETCH(int, scheme);
    QFETCH(int, status);
    Rig rig{hartip::Scheme(scheme)};
    QVERIFY(rig.started);
    HartIpServerFaults faults;
    faults.initiateStatus = std::uint8_t(status);
    rig.server.setFaults(faults);
    QVERIFY(!rig.open());
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::Nak);
    QCOMPARE(int(rig.link.failureStatus()), status);
    rig.server.setFaults(HartIpServerFaults());
    QVERIFY(rig.open());
    QCOMPARE(rig.server.activeSessions(), 1);
}

void TestHartIp::unusableAddresses_failWithReason()
{
    kvhart_master master;
    master.timeoutMs = 200;
    master.retryCount = 2;
    HartIpLink link(&master);
    for (const char *bad : {"hartip://", "hartip://host:99999", "hartip+tcp://h/path",
                            "hartip://h?psk=x", "hartips+x://h"}) {
        QVERIFY2(!link.open(QString::fromLatin1(bad)), bad);
        QCOMPARE(link.failure(), HartIpLink::Failure::BadAddress);
    }

    auto openFails = [&](const QString &url, HartIpLink::Failure why) {
        const std::optional<bool> verdict = openVerdict(link, url);
        QVERIFY(verdict.has_value());
        QCOMPARE(*verdict, false);
        QCOMPARE(link.failure(), why);
    };
    const quint16 closed = freePort();
    openFails(QStringLiteral("hartip+tcp://127.0.0.1:%1").arg(closed),
              HartIpLink::Failure::Refused);
    openFails(QStringLiteral("hartip+tcp://no-such-host.invalid"),
              HartIpLink::Failure::HostNotFound);
    // Nobody listening on a datagram port: refused (ICMP) or unanswered, never open.
    const std::optional<bool> verdict =
            openVerdict(link, QStringLiteral("hartip://127.0.0.1:%1").arg(closed));
    QVERIFY(verdict.has_value());
    QVERIFY(!*verdict);
    QVERIFY(link.failure() == HartIpLink::Failure::Refused
            || link.failure() == HartIpLink::Failure::NoAnswer);
}

void TestHartIp::tlsKeys_refusedWhenWrongOrExposed()
{
    QTemporaryDir dir;
    Rig rig{hartip::Scheme::Tls};
    QVERIFY(rig.started);
    const QString good = writeKeyFile(dir, kIdentity + ':' + kKeyHex, 0600);
    const QString exposed = writeKeyFile(dir, kIdentity + ':' + kKeyHex, 0644);
    const QString wrong = writeKeyFile(dir, kIdentity + ":ffeeddccbbaa99887766554433221100", 0400);
    const QString shortKey = writeKeyFile(dir, kIdentity + ":0011", 0600);

    QVERIFY(!rig.link.open(rig.server.url() + QStringLiteral("?psk=") + exposed));
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::KeyFileMode);
    QVERIFY(!rig.link.open(rig.server.url() + QStringLiteral("?psk=") + shortKey));
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::KeyInvalid);
    QVERIFY(!rig.link.open(rig.server.url() + QStringLiteral("?psk=") + dir.filePath("none")));
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::KeyFileMissing);

    QVERIFY(!rig.open(rig.server.url() + QStringLiteral("?psk=") + wrong));
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::TlsRefused);
    QVERIFY(!rig.link.failureDetail().contains(QLatin1String("ffeedd"), Qt::CaseInsensitive));
    QCOMPARE(rig.server.sessionsOpened(), 0);

    // From the environment when the address names no file.
    qputenv("HARTIP_PSK_IDENTITY", kIdentity);
    qputenv("HARTIP_PSK_KEY", kKeyHex);
    QVERIFY(rig.open(rig.server.url()));
    qunsetenv("HARTIP_PSK_IDENTITY");
    qunsetenv("HARTIP_PSK_KEY");
    HartResponse r{};
    QCOMPARE(rig.command0(&r), std::uint8_t(0));
    rig.link.close();
    QVERIFY(!rig.link.open(rig.server.url()));
    QCOMPARE(rig.link.failure(), HartIpLink::Failure::KeyNone);
    QVERIFY2(rig.open(rig.server.url() + QStringLiteral("?psk=") + good),
             qPrintable(QString::number(int(rig.link.failure())) + rig.link.failureDetail()));
}

void TestHartIp::openssl_acceptsOurKeyAndRefusesAnother()
{
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        QSKIP("openssl not installed");
    QTemporaryDir dir;
    kvhart_master master;
    master.timeoutMs = 300;
    master.retryCount = 1;
    HartIpLink link(&master);
    const quint16 port = freePort();
    QProcess server;
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(openssl, {QStringLiteral("s_server"), QStringLiteral("-tls1_2"),
                           QStringLiteral("-psk"), QString::fromLatin1(kKeyHex),
                           QStringLiteral("-psk_identity"), QString::fromLatin1(kIdentity),
                           QStringLiteral("-nocert"), QStringLiteral("-accept"),
                           QStringLiteral("127.0.0.1:%1").arg(port)});
    QVERIFY(server.waitForStarted());
    QByteArray said;
    QVERIFY(waitUntil([&] { return (said += server.readAll()).contains("ACCEPT"); }, 5000));
    const QString url = QStringLiteral("hartips://127.0.0.1:%1?psk=").arg(port);

    auto verdict = [&](const QString &keyFile) {
        if (!openVerdict(link, url + keyFile).has_value())
            return HartIpLink::Failure::None;
        return link.failure();
    };
    // s_server speaks TLS but not HART-IP: with the right key the handshake passes and only
    // the initiate goes unanswered.
    QCOMPARE(verdict(writeKeyFile(dir, kIdentity + ':' + kKeyHex, 0600)),
             HartIpLink::Failure::NoAnswer);
    QCOMPARE(verdict(writeKeyFile(dir, kIdentity + ":0f0e0d0c0b0a09080706050403020100", 0400)),
             HartIpLink::Failure::TlsRefused);
    server.kill();
    server.waitForFinished();
}

void TestHartIp::capture_showsTheWholeSessionAsWiresharkDecodesIt()
{
    if (!haveTshark())
        QSKIP("tshark not installed");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("session.pcapng"));
    traffic::TrafficCapture capture;
    QVERIFY(capture.startFile(file));
    Rig rig{hartip::Scheme::Udp};
    QVERIFY(rig.started);
    rig.master.setCapture(&capture);
    rig.server.setMaxInactivityMs(200);
    HartIpServerFaults faults;
    faults.wrongSequence = true;
    rig.server.setFaults(faults);
    QVERIFY(rig.open());
    HartResponse r{};
    QCOMPARE(rig.command0(&r), std::uint8_t(0)); // the first answer has the wrong number
    QVERIFY(waitUntil([&] { return rig.link.keepAlivesSent() >= 1; }, 2000));
    rig.link.close();
    rig.master.setCapture(nullptr);
    capture.stopFile();

    QStringList seen;
    for (const QStringList &row :
         tsharkFields(file, {QStringLiteral("hart_ip.message_type"),
                             QStringLiteral("hart_ip.message_id"), QStringLiteral("frame.comment")}))
        seen << row.join(QLatin1Char('/'));
    // Type 0 request, 1 response; id 0 initiate, 1 close, 2 keep-alive, 3 PDU.
    QVERIFY(seen.contains(QStringLiteral("0/2/")));
    QVERIFY(seen.contains(QStringLiteral("1/2/")));
    seen.removeAll(QStringLiteral("0/2/"));
    seen.removeAll(QStringLiteral("1/2/"));
    const QStringList expected = {
            QStringLiteral("0/0/"),
            QStringLiteral("1/0/"),
            QStringLiteral("0/3/→ 已发送"),
            QStringLiteral("1/3/✖ 序号不符，已忽略"),
            QStringLiteral("0/3/↻ 重发"),
            QStringLiteral("1/3/✔ 已接受"),
            QStringLiteral("0/1/"),
    };
    QCOMPARE(seen, expected);
}

QTEST_GUILESS_MAIN(TestHartIp)
#include "tst_hartip.moc"
