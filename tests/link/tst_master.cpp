// The receiver's frame hunting and checks, and the blocking transaction driven by a
// scripted byte sink that answers through receiveByte from the test's thread.
#include "hartcodec.h"
#include "kvhart_master.h"

#include <QtTest>

#include <QThread>
#include <cstring>
#include <functional>

namespace {

QStringList g_debugLines;
QtMessageHandler g_previousHandler = nullptr;

void captureDebug(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    if (type == QtDebugMsg && ctx.category && QByteArray(ctx.category) == "hart.link")
        g_debugLines << msg;
}

// Builds a complete response frame (without preambles) with a correct checksum.
QByteArray shortResponse(std::uint8_t address, std::uint8_t command, std::uint8_t rc,
                         std::uint8_t status, const QByteArray &data)
{
    QByteArray f;
    f.append(char(0x06)).append(char(address)).append(char(command));
    f.append(char(data.size() + 2)).append(char(rc)).append(char(status)).append(data);
    f.append(char(xorChecksum(reinterpret_cast<const std::uint8_t *>(f.constData()),
                              std::size_t(f.size()))));
    return f;
}

QByteArray longResponse(const QByteArray &address5, std::uint8_t command, std::uint8_t rc,
                        std::uint8_t status, const QByteArray &data)
{
    QByteArray f;
    f.append(char(0x86)).append(address5).append(char(command));
    f.append(char(data.size() + 2)).append(char(rc)).append(char(status)).append(data);
    f.append(char(xorChecksum(reinterpret_cast<const std::uint8_t *>(f.constData()),
                              std::size_t(f.size()))));
    return f;
}

// Answers each SendData with whatever the script returns for that attempt (1-based).
class FakeDevice : public QObject
{
    Q_OBJECT
public:
    FakeDevice(kvhart_master *master)
        : m_master(master)
    {
        connect(master, &kvhart_master::SendData, this, &FakeDevice::onSend, Qt::QueuedConnection);
    }
    std::function<QByteArray(int attempt, const QByteArray &request)> script;
    QList<QByteArray> sent;

    void feed(const QByteArray &bytes)
    {
        for (char c : bytes)
            m_master->receiveByte(std::uint8_t(c));
    }

private slots:
    void onSend(const QByteArray &data)
    {
        sent << data;
        if (script)
            feed(script(sent.size(), data));
    }

private:
    kvhart_master *m_master;
};

struct Result
{
    std::uint8_t rc = 0xEE;
    HartResponse data{};
};

// Runs one transaction on its own thread while the test thread's event loop feeds bytes.
Result runTransaction(kvhart_master &m, std::uint8_t cmd, const QByteArray &req = {},
                      bool withBuffer = true)
{
    Result r;
    r.data.fill(0xAA);
    std::unique_ptr<QThread> t(QThread::create([&] {
        r.rc = m.transact(cmd, reinterpret_cast<const std::uint8_t *>(req.constData()),
                          std::uint8_t(req.size()), withBuffer ? &r.data : nullptr);
    }));
    t->start();
    while (!t->wait(1))
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return r;
}

const QByteArray kPreambles("\xFF\xFF\xFF\xFF\xFF", 5);
const QByteArray kCmd0Data = QByteArray::fromHex("fe9a10050503010900abcdef");

} // namespace

class TestMaster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void receiver_needsTwoPreamblesBeforeDelimiter();
    void receiver_completesAtByteCountLength_data();
    void receiver_completesAtByteCountLength();
    void receiver_acceptsWhenAnyAddressOrCommandByteMatches_data();
    void receiver_acceptsWhenAnyAddressOrCommandByteMatches();
    void receiver_badChecksumIsTracedAndDropped();
    void receiver_overlongFrameIsAbandonedAndRecovers();
    void receiver_dropsFramesWithoutStatusBytes();
    void rejectedFrame_neverReplacesAcceptedAnswer_data();
    void rejectedFrame_neverReplacesAcceptedAnswer();

    void silentDevice_retriesRetryCountTimesThenFails();
    void staleRelease_isDrainedBeforeWaiting();
    void command0_relearnsUniqueAddressForLongFrames();
    void errorResponseCode_stillReturnsSuccessWithStatus();
    void busyAnswer_isAskedAgainOnlyAfterTheAttemptsTimeOut();
    void responseData_neverExceedsCallerBuffer();
    void noResponseBuffer_keepsOnlyStatus();
    void abort_endsWaitingTransactionAtOnce();
    void routedDevice_wrappedInCommand77AndOnlyItsOwnAnswerTaken();

private:
    void primeTx(kvhart_master &m, std::uint8_t cmd);
};

void TestMaster::initTestCase()
{
    QLoggingCategory::setFilterRules("hart.link.debug=true");
    g_previousHandler = qInstallMessageHandler(captureDebug);
}

void TestMaster::init()
{
    g_debugLines.clear();
}

void TestMaster::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

// Sets txFrame as a transaction would, without waiting for an answer.
void TestMaster::primeTx(kvhart_master &m, std::uint8_t cmd)
{
    m.retryCount = 1;
    m.timeoutMs = 1;
    std::unique_ptr<QThread> t(QThread::create([&] { m.transact(cmd, nullptr, 0, nullptr, 0); }));
    t->start();
    t->wait();
}

void TestMaster::receiver_needsTwoPreamblesBeforeDelimiter()
{
    kvhart_master m;
    primeTx(m, 0);
    FakeDevice dev(&m);
    dev.feed(QByteArray("\xFF", 1) + QByteArray::fromHex("0680000200"));
    QCOMPARE(m.pendingFrames(), 0);
    QCOMPARE(int(m.rxCount), 0);
    // A noise byte between preambles restarts the count.
    dev.feed(QByteArray::fromHex("ff12ff") + QByteArray::fromHex("068000020000 84"));
    QCOMPARE(m.pendingFrames(), 0);
    dev.feed(QByteArray::fromHex("ffff068000020000 84"));
    QCOMPARE(m.pendingFrames(), 1);
    QCOMPARE(int(m.rxFrameLength), 7);
}

void TestMaster::receiver_completesAtByteCountLength_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("short, no data") << shortResponse(0x80, 0, 0, 0, {});
    QTest::newRow("short, 12 data") << shortResponse(0x80, 0, 0, 0, kCmd0Data.left(12));
    QTest::newRow("long, 2 data") << longResponse(QByteArray::fromHex("9a10abcdef"), 1, 0, 0, "ab");
    QTest::newRow("long, 29 data")
            << longResponse(QByteArray::fromHex("9a10abcdef"), 1, 0, 0, QByteArray(29, 'x'));
}

void TestMaster::receiver_completesAtByteCountLength()
{
    QFETCH(QByteArray, frame);
    kvhart_master m;
    primeTx(m, frame.at(0) & 0x80 ? 1 : 0);
    FakeDevice dev(&m);
    dev.feed(kPreambles + frame.left(frame.size() - 1));
    QCOMPARE(m.pendingFrames(), 0);
    QVERIFY(m.rxCount > 0);
    dev.feed(frame.right(1));
    QCOMPARE(m.pendingFrames(), 1);
    QCOMPARE(int(m.rxFrameLength), frame.size());
    QCOMPARE(int(m.rxCount), 0);
}

void TestMaster::receiver_acceptsWhenAnyAddressOrCommandByteMatches_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("accepted");
    // The request goes to 9a 10 00 00 00 (master bit set on the first byte) with command 1.
    QTest::newRow("all match") << QByteArray::fromHex("9a10000000") << 1 << true;
    QTest::newRow("only command") << QByteArray::fromHex("0102030405") << 1 << true;
    QTest::newRow("only one address byte") << QByteArray::fromHex("0110030405") << 9 << true;
    QTest::newRow("nothing matches") << QByteArray::fromHex("0102030405") << 9 << false;
}

void TestMaster::receiver_acceptsWhenAnyAddressOrCommandByteMatches()
{
    QFETCH(QByteArray, address);
    QFETCH(int, command);
    QFETCH(bool, accepted);
    kvhart_master m;
    m.uniqueAddress[0] = 0x1A;
    m.uniqueAddress[1] = 0x10;
    primeTx(m, 1);
    FakeDevice dev(&m);
    dev.feed(kPreambles + longResponse(address, std::uint8_t(command), 0, 0, "xy"));
    QCOMPARE(m.pendingFrames(), accepted ? 1 : 0);
}

void TestMaster::receiver_badChecksumIsTracedAndDropped()
{
    kvhart_master m;
    primeTx(m, 0);
    g_debugLines.clear();
    FakeDevice dev(&m);
    QByteArray frame = shortResponse(0x80, 0, 0, 0, {});
    frame[frame.size() - 1] = char(frame.at(frame.size() - 1) ^ 0x01);
    dev.feed(kPreambles + frame);
    QCOMPARE(m.pendingFrames(), 0);
    QStringList expected{"checkXor error"};
    for (char c : frame)
        expected << QString::asprintf("0x%02X", std::uint8_t(c));
    QCOMPARE(g_debugLines, expected);
}

void TestMaster::receiver_overlongFrameIsAbandonedAndRecovers()
{
    kvhart_master m;
    primeTx(m, 1);
    FakeDevice dev(&m);
    // Byte count 60 can never fit the 40-byte frame area.
    QByteArray junk = QByteArray::fromHex("86 9a1000000001 3c").replace(' ', "");
    junk.append(QByteArray(32, '\x55')); // 40 bytes stored
    dev.feed(kPreambles + junk);
    QCOMPARE(int(m.rxCount), 40);
    dev.feed(QByteArray(1, '\x06')); // the 41st byte resets and is not taken as a delimiter
    QCOMPARE(int(m.rxCount), 0);
    dev.feed(kPreambles + longResponse(QByteArray::fromHex("9a10000000"), 1, 0, 0, "ok"));
    QCOMPARE(m.pendingFrames(), 1);
}

void TestMaster::receiver_dropsFramesWithoutStatusBytes()
{
    kvhart_master m;
    primeTx(m, 1);
    FakeDevice dev(&m);
    for (int count : {0, 1}) {
        QByteArray f = QByteArray::fromHex("869a10000000 01").replace(' ', "");
        f.append(char(count));
        f.append(QByteArray(count, '\0'));
        f.append(char(xorChecksum(reinterpret_cast<const std::uint8_t *>(f.constData()),
                                  std::size_t(f.size()))));
        dev.feed(kPreambles + f);
        QCOMPARE(m.pendingFrames(), 0);
    }
}

void TestMaster::rejectedFrame_neverReplacesAcceptedAnswer_data()
{
    // The request goes to 80 00 00 00 00 with command 1; each row is a frame that arrives
    // in the same read chunk right behind the valid answer, before the worker takes it.
    QTest::addColumn<QByteArray>("follower");
    const QByteArray addr = QByteArray::fromHex("8000000000");
    QByteArray badCheck = longResponse(addr, 1, 0, 0, "other");
    badCheck[badCheck.size() - 1] = char(badCheck.at(badCheck.size() - 1) ^ 0x5A);
    QTest::newRow("bad check byte") << badCheck;
    for (int count : {0, 1}) {
        QByteArray f = QByteArray::fromHex("868000000000") + char(1) + char(count)
                + QByteArray(count, '\x40');
        f.append(char(xorChecksum(reinterpret_cast<const std::uint8_t *>(f.constData()),
                                  std::size_t(f.size()))));
        QTest::newRow(count ? "byte count 1" : "byte count 0") << f;
    }
    QTest::newRow("another device")
            << longResponse(QByteArray::fromHex("0102030405"), 2, 0, 0, "other");
}

void TestMaster::rejectedFrame_neverReplacesAcceptedAnswer()
{
    QFETCH(QByteArray, follower);
    const QByteArray valid =
            longResponse(QByteArray::fromHex("8000000000"), 1, 0x00, 0x10, "valid");

    // The receiver alone: rxFrame keeps the accepted answer.
    {
        kvhart_master m;
        primeTx(m, 1);
        FakeDevice dev(&m);
        dev.feed(kPreambles + valid + kPreambles + follower);
        QCOMPARE(m.pendingFrames(), 1);
        QCOMPARE(int(m.rxFrameLength), valid.size());
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(m.rxFrame), valid.size()), valid);
    }
    // A whole transaction returns the valid answer's data and status.
    kvhart_master m;
    m.timeoutMs = 500;
    FakeDevice dev(&m);
    dev.script = [&](int, const QByteArray &) {
        return kPreambles + valid + kPreambles + follower;
    };
    const Result r = runTransaction(m, 1);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.responseDataLength), 5);
    QCOMPARE(int(m.deviceStatus), 0x10);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.data.data()), 6), QByteArray("valid\xAA"));
}

void TestMaster::silentDevice_retriesRetryCountTimesThenFails()
{
    kvhart_master m;
    m.timeoutMs = 20;
    m.retryCount = 4;
    FakeDevice dev(&m);
    const Result r = runTransaction(m, 13);
    QCOMPARE(int(r.rc), 1);
    QCOMPARE(dev.sent.size(), 4);
    QCOMPARE(g_debugLines,
             QStringList({"retry count:1  cmd:13", "retry count:2  cmd:13", "retry count:3  cmd:13",
                          "retry count:4  cmd:13"}));
    for (const QByteArray &s : dev.sent)
        QCOMPARE(s, dev.sent.first()); // the same frame every attempt
}

void TestMaster::staleRelease_isDrainedBeforeWaiting()
{
    kvhart_master m;
    m.timeoutMs = 500;
    FakeDevice dev(&m);
    const QByteArray addr = QByteArray::fromHex("8000000000");
    dev.script = [&](int, const QByteArray &) {
        return kPreambles + longResponse(addr, 1, 0, 0, "fresh");
    };
    QCOMPARE(int(runTransaction(m, 1).rc), 0);
    // A late duplicate of that answer arrives after the transaction ended.
    dev.feed(kPreambles + longResponse(addr, 1, 0, 0, "stale"));
    QCOMPARE(m.pendingFrames(), 1);

    dev.script = [&](int attempt, const QByteArray &) {
        return attempt == 2 ? kPreambles + longResponse(addr, 1, 0, 0, "newer") : QByteArray();
    };
    const Result r = runTransaction(m, 1);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.data.data()), 5), QByteArray("newer"));
}

void TestMaster::command0_relearnsUniqueAddressForLongFrames()
{
    kvhart_master m;
    m.timeoutMs = 500;
    m.pollingAddress = 2;
    FakeDevice dev(&m);
    dev.script = [&](int, const QByteArray &) {
        return kPreambles + shortResponse(0x82, 0, 0, 0x20, kCmd0Data.left(12));
    };
    const Result r0 = runTransaction(m, 0);
    QCOMPARE(int(r0.rc), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(m.uniqueAddress), 5),
             QByteArray::fromHex("9a10abcdef"));
    QCOMPARE(dev.sent.at(0),
             QByteArray::fromHex("ffffffffffffff") + QByteArray::fromHex("0282000080"));
    QCOMPARE(int(m.deviceStatus), 0x20);

    dev.script = [&](int, const QByteArray &) {
        return kPreambles + longResponse(QByteArray::fromHex("9a10abcdef"), 13, 0, 0, "t");
    };
    QCOMPARE(int(runTransaction(m, 13).rc), 0);
    const QByteArray frame = dev.sent.at(1).mid(7);
    QCOMPARE(frame.left(7), QByteArray::fromHex("829a10abcdef0d"));
}

void TestMaster::errorResponseCode_stillReturnsSuccessWithStatus()
{
    kvhart_master m;
    m.timeoutMs = 500;
    FakeDevice dev(&m);
    dev.script = [&](int, const QByteArray &) {
        return kPreambles + longResponse(QByteArray::fromHex("8000000000"), 200, 64, 0x08, {});
    };
    const Result r = runTransaction(m, 200);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.responseCode), 64);
    QCOMPARE(int(m.deviceStatus), 0x08);
    QCOMPARE(int(m.responseDataLength), 0);
    QCOMPARE(int(r.data[0]), 0xAA);
}

// A device busy after a save answers at once; the attempts must still span their budget, and
// the answer that finally comes is the one handed over.
void TestMaster::busyAnswer_isAskedAgainOnlyAfterTheAttemptsTimeOut()
{
    kvhart_master m;
    m.timeoutMs = 300;
    m.retryCount = 4;
    FakeDevice dev(&m);
    const QByteArray addr = QByteArray::fromHex("8000000000");
    QElapsedTimer clock;
    dev.script = [&](int attempt, const QByteArray &) {
        return kPreambles
                + longResponse(addr, 136, attempt < 3 ? 32 : 0, 0, attempt < 3 ? "" : "ok");
    };
    clock.start();
    Result r = runTransaction(m, 136);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.responseCode), 0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.data.data()), 2), QByteArray("ok"));
    QCOMPARE(dev.sent.size(), 3);
    // Each asking again waits out the busy attempt's time-out, which began before the send.
    QVERIFY2(clock.elapsed() >= 2 * 300, qPrintable(QString::number(clock.elapsed())));

    // Busy to the end: every attempt made, the last busy answer handed over for its report,
    // after at least the time-outs of all attempts but the last.
    dev.sent.clear();
    g_debugLines.clear();
    dev.script = [&](int, const QByteArray &) {
        return kPreambles + longResponse(addr, 136, 32, 0, {});
    };
    clock.restart();
    r = runTransaction(m, 136);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.responseCode), 32);
    QCOMPARE(dev.sent.size(), 4);
    QCOMPARE(g_debugLines.size(), 4);
    QVERIFY2(clock.elapsed() >= 3 * 300, qPrintable(QString::number(clock.elapsed())));
}

void TestMaster::responseData_neverExceedsCallerBuffer()
{
    kvhart_master m;
    m.timeoutMs = 500;
    FakeDevice dev(&m);
    dev.script = [&](int, const QByteArray &) {
        return kPreambles
                + longResponse(QByteArray::fromHex("8000000000"), 1, 0, 0, QByteArray(29, 'z'));
    };
    std::uint8_t buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);
    std::uint8_t rc = 0xEE;
    std::unique_ptr<QThread> t(QThread::create([&] { rc = m.transact(1, nullptr, 0, buffer, 4); }));
    t->start();
    while (!t->wait(1))
        QCoreApplication::processEvents();
    QCOMPARE(int(rc), 0);
    QCOMPARE(int(m.responseDataLength), 29);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(buffer), 8),
             QByteArray("zzzz\xAA\xAA\xAA\xAA"));
}

void TestMaster::noResponseBuffer_keepsOnlyStatus()
{
    kvhart_master m;
    m.timeoutMs = 500;
    FakeDevice dev(&m);
    dev.script = [&](int, const QByteArray &) {
        return kPreambles + longResponse(QByteArray::fromHex("8000000000"), 43, 0, 0x40, "data!");
    };
    const Result r = runTransaction(m, 43, {}, false);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.deviceStatus), 0x40);
}

void TestMaster::abort_endsWaitingTransactionAtOnce()
{
    kvhart_master m; // default budget: 10 attempts of 1 s
    std::uint8_t rc = 0xEE;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QThread> t(
            QThread::create([&] { rc = m.transact(1, nullptr, 0, nullptr, 0); }));
    t->start();
    QThread::msleep(50);
    m.abort();
    QVERIFY(t->wait(2000));
    QCOMPARE(int(rc), 1);
    QVERIFY(clock.elapsed() < 2000);
    QCOMPARE(int(m.transact(1, nullptr, 0, nullptr, 0)), 1); // later calls fail at once
}

// A device behind a gateway: the request goes to the gateway wrapped, the sub-device's own
// codes and data come back; an answer for another channel, device or command is not taken;
// delayed-response codes are asked again like busy; the 40-byte limit holds without a route.
void TestMaster::routedDevice_wrappedInCommand77AndOnlyItsOwnAnswerTaken()
{
    kvhart_master m;
    m.timeoutMs = 60;
    m.retryCount = 3;
    const std::uint8_t sub[5] = {0x26, 0x10, 0x00, 0x00, 0x07};
    m.setUniqueAddress(sub);
    SubDeviceRoute route;
    const std::uint8_t gw[5] = {0x26, 0x10, 0x00, 0x00, 0x01};
    std::copy(gw, gw + 5, route.gateway);
    route.card = 0;
    route.channel = 2;
    m.setRoute(&route);
    FakeDevice dev(&m);
    const QByteArray gwAddress = QByteArray::fromHex("a610000001");
    const auto wrapped = [&](std::uint8_t channel, const QByteArray &subAddress, std::uint8_t cmd,
                             std::uint8_t rc, const QByteArray &data) {
        QByteArray inner;
        inner.append(char(0)).append(char(channel)).append(char(0x86)).append(subAddress);
        inner.append(char(cmd)).append(char(data.size() + 2)).append(char(rc)).append(char(0x40));
        inner.append(data);
        return kPreambles + longResponse(gwAddress, 77, 0, 0, inner);
    };
    const QByteArray mine = QByteArray::fromHex("a610000007");
    QList<QByteArray> answers;
    dev.script = [&](int attempt, const QByteArray &) {
        return attempt <= answers.size() ? answers[attempt - 1] : QByteArray();
    };
    const QByteArray tag(21, 'T');
    answers = {wrapped(2, mine, 18, 0, tag)};
    Result r = runTransaction(m, 18, tag);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.responseCode), 0);
    QCOMPARE(int(m.deviceStatus), 0x40); // the sub-device's, not the gateway's
    QCOMPARE(int(m.responseDataLength), 21);
    // Preambles, then command 77 to the gateway: card, channel, preambles and the request
    // without its checksum; 21 data bytes make a frame past 40 bytes.
    const QByteArray wire = dev.sent.first().mid(int(m.preambleCount));
    QCOMPARE(wire.left(8), QByteArray::fromHex("82a610000001 4d 20"));
    QCOMPARE(wire.mid(8, 3), QByteArray::fromHex("000207"));
    QCOMPARE(wire.mid(11, 8), QByteArray::fromHex("82a6100000071215"));
    QCOMPARE(wire.size(), 9 + 32);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(m.txFrame), m.txFrameLength).left(8),
             QByteArray::fromHex("82a6100000071215")); // the device's own frame as always

    // Another channel, another device, another command: none is this request's answer.
    dev.sent.clear();
    answers = {wrapped(1, mine, 18, 0, tag), wrapped(2, QByteArray::fromHex("a610000008"), 18, 0, tag),
               wrapped(2, mine, 13, 0, tag)};
    r = runTransaction(m, 18, tag);
    QCOMPARE(int(r.rc), 1);
    QCOMPARE(dev.sent.size(), 3);

    // A gateway still at it answers 33, then 34; asked again, the answer comes.
    dev.sent.clear();
    answers = {kPreambles + longResponse(gwAddress, 77, 33, 0, {}),
               kPreambles + longResponse(gwAddress, 77, 34, 0, {}), wrapped(2, mine, 1, 0, "pv")};
    r = runTransaction(m, 1);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(dev.sent.size(), 3);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(r.data.data()), 2), QByteArray("pv"));
    // The gateway's own refusal is handed up as it came.
    dev.sent.clear();
    answers = {kPreambles + longResponse(gwAddress, 77, 2, 0, {})};
    r = runTransaction(m, 1);
    QCOMPARE(int(r.rc), 0);
    QCOMPARE(int(m.responseCode), 2);

    // Without the route the operations' frame area is 40 bytes again.
    m.setRoute(nullptr);
    dev.sent.clear();
    answers = {wrapped(2, mine, 1, 0, tag)}; // 44 bytes
    r = runTransaction(m, 1);
    QCOMPARE(int(r.rc), 1);
    QCOMPARE(dev.sent.first().mid(int(m.preambleCount), 1), QByteArray::fromHex("82"));
    QCOMPARE(dev.sent.first().size(), int(m.preambleCount) + 9);
}

QTEST_GUILESS_MAIN(TestMaster)
#include "tst_master.moc"
