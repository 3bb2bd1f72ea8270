// The traffic decoder against hand-built frames, the capture's ring, verdicts and counters
// fed as the link feeds them, and a pcapng file read back by tshark.
#include "hartcodec.h"
#include "kvhart_master.h"
#include "pcapngwriter.h"
#include "trafficcapture.h"
#include "trafficdecoder.h"
#include "trafficexport.h"
#include "trafficwindow.h"
#include "tsharkreader.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace traffic;

namespace {

const QByteArray kLongAddress = QByteArray::fromHex("9110123456"); // primary master

QByteArray frame(quint8 delimiter, const QByteArray &address, quint8 command,
                 const QByteArray &body, int byteCount = -1)
{
    QByteArray f;
    f.append(char(delimiter));
    f += address;
    f.append(char(command));
    f.append(char(byteCount >= 0 ? byteCount : body.size()));
    f += body;
    f.append(char(xorChecksum(reinterpret_cast<const std::uint8_t *>(f.constData()),
                              std::size_t(f.size()))));
    return f;
}
QByteArray request(quint8 command, const QByteArray &data = QByteArray())
{
    return frame(0x82, kLongAddress, command, data);
}
QByteArray response(quint8 command, const QByteArray &data, quint8 code = 0, quint8 status = 0)
{
    QByteArray body;
    body.append(char(code));
    body.append(char(status));
    return frame(0x86, kLongAddress, command, body + data);
}
QByteArray f32(float v)
{
    QByteArray b(4, '\0');
    putFloatBE(reinterpret_cast<std::uint8_t *>(b.data()), v);
    return b;
}
QByteArray packed(const char *text, int bytes)
{
    QByteArray b(bytes, '\0');
    packAscii(reinterpret_cast<std::uint8_t *>(b.data()), text, std::size_t(bytes));
    return b;
}
QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}
const std::uint8_t *u8(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

} // namespace

class TstTraffic : public QObject
{
    Q_OBJECT

private slots:
    void decoder_data();
    void decoder();
    void decoder_neverReadsPastTheFrame();
    void capture_verdictsAndCounters();
    void capture_ringStaysBounded();
    void receiverReset_capturesTheHalfFrameItAbandons();
    void stalledFile_countsEveryFrameItDrops();
    void pcapng_readBackByTshark();
};

void TstTraffic::decoder_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("isResponse");
    QTest::addColumn<int>("code"); // -1: no status bytes
    QTest::addColumn<QString>("codeText");
    QTest::addColumn<QStringList>("fields");

    const QByteArray id0 = hex("fe11100505010309001234");
    QTest::newRow("0 request, short frame") << frame(0x02, hex("80"), 0, {}) << 0 << false << -1
                                            << QString() << QStringList();
    QTest::newRow("0 answer") << frame(0x06, hex("80"), 0, hex("0000") + id0 + hex("56")) << 0
                              << true << 0 << "成功"
                              << QStringList{"制造商=17", "设备类型=16", "前导符=5",
                                             "硬件版本=9", "设备号=0x123456"};
    QTest::newRow("1") << response(1, hex("0c") + f32(50.5f)) << 1 << true << 0 << "成功"
                       << QStringList{"单位=12", "PV=50.5"};
    QTest::newRow("2") << response(2, f32(12.0f) + f32(50.0f)) << 2 << true << 0 << QString()
                       << QStringList{"电流=12 mA", "百分比=50 %"};
    QTest::newRow("3") << response(3, f32(4.0f) + hex("0c") + f32(1.5f) + hex("20") + f32(21.0f))
                       << 3 << true << 0 << QString()
                       << QStringList{"电流=4 mA", "PV=1.5 (单位 12)", "SV=21 (单位 32)"};
    QTest::newRow("6 request") << request(6, hex("03")) << 6 << false << -1 << QString()
                               << QStringList{"轮询地址=3"};
    QTest::newRow("12") << response(12, packed("PUMP 3 INLET", 24)) << 12 << true << 0
                        << QString() << QStringList{"消息=\"PUMP 3 INLET\""};
    QTest::newRow("13") << response(13, packed("PT-101", 6) + packed("BOILER FEED", 12)
                                                + hex("090c7e"))
                        << 13 << true << 0 << QString()
                        << QStringList{"位号=\"PT-101\"", "描述符=\"BOILER FEED\"",
                                       "日期=2026-12-09"};
    QTest::newRow("14") << response(14, hex("000102") + hex("0c") + f32(100.0f) + f32(-100.0f)
                                                + f32(1.0f))
                        << 14 << true << 0 << QString()
                        << QStringList{"传感器序列号=258", "上限=100", "下限=-100", "最小量程=1"};
    QTest::newRow("15") << response(15, hex("00010c") + f32(200.0f) + f32(0.0f) + f32(0.5f)
                                                + hex("00fa"))
                        << 15 << true << 0 << QString()
                        << QStringList{"传递函数=1", "上限=200", "阻尼=0.5 s", "经销商=250"};
    QTest::newRow("16") << response(16, hex("0a0b0c")) << 16 << true << 0 << QString()
                        << QStringList{"最终装配号=658188"};
    QTest::newRow("17 request") << request(17, packed("HELLO", 24)) << 17 << false << -1
                                << QString() << QStringList{"消息=\"HELLO\""};
    QTest::newRow("18 request") << request(18, packed("TAG", 6) + packed("D", 12) + hex("010265"))
                                << 18 << false << -1 << QString()
                                << QStringList{"位号=\"TAG\"", "日期=2001-02-01"};
    QTest::newRow("19 request") << request(19, hex("000010")) << 19 << false << -1 << QString()
                                << QStringList{"最终装配号=16"};
    QTest::newRow("34 request") << request(34, f32(2.5f)) << 34 << false << -1 << QString()
                                << QStringList{"阻尼=2.5 s"};
    QTest::newRow("35 answer") << response(35, hex("0c") + f32(100.0f) + f32(0.0f)) << 35 << true
                               << 0 << QString()
                               << QStringList{"单位=12", "上限=100", "下限=0"};
    for (int c : {36, 37, 38, 43})
        QTest::newRow(qPrintable(QStringLiteral("%1, status only").arg(c)))
                << response(quint8(c), {}) << c << true << 0 << "成功" << QStringList();
    QTest::newRow("40 request") << request(40, f32(3.8f)) << 40 << false << -1 << QString()
                                << QStringList{"电流=3.8 mA"};
    QTest::newRow("45 request") << request(45, f32(4.01f)) << 45 << false << -1 << QString()
                                << QStringList{"电流=4.01 mA"};
    QTest::newRow("46 answer") << response(46, f32(19.98f)) << 46 << true << 0 << QString()
                               << QStringList{"电流=19.98 mA"};
    QTest::newRow("48") << response(48, hex("010000000000000000")) << 48 << true << 0
                        << QString() << QStringList{"附加状态=01 00"};
    QTest::newRow("133 request: only the announced bytes")
            << request(133, hex("011402aabb") + QByteArray(18, '\0')) << 133 << false << -1
            << QString() << QStringList{"地址=0x0114", "长度=2", "数据=AA BB"};
    QTest::newRow("134 request") << request(134, hex("034814")) << 134 << false << -1 << QString()
                                 << QStringList{"地址=0x0348", "长度=20"};
    QTest::newRow("134 answer") << response(134, hex("03480401020304")) << 134 << true << 0
                                << QString()
                                << QStringList{"地址=0x0348", "长度=4", "数据=01 02 03 04"};
    QTest::newRow("134 answer announcing more than it holds")
            << response(134, hex("03481401020304")) << 134 << true << 0 << QString()
            << QStringList{"数据=01 02 03 04", "缺=16"};
    // A gateway's command 77 names the sub-device's command inside and its answer's code.
    QTest::newRow("77 request") << request(77, hex("000105 82a610000007 12 15") + QByteArray(21, 'T'))
                                << 77 << false << -1 << QString()
                                << QStringList{"卡=0", "通道=1", "子设备命令=18 (写位号描述符日期)"};
    QTest::newRow("77 answer") << response(77, hex("0001 86a610000007 0d 04 0740 0102")) << 77
                               << true << 0 << QString()
                               << QStringList{"通道=1", "子设备命令=13 (读位号描述符日期)",
                                              "子设备应答码=7"};
    QTest::newRow("busy, current fixed") << response(40, {}, 32, 0x08) << 40 << true << 32
                                         << "设备忙" << QStringList();
    QTest::newRow("not implemented") << response(3, {}, 64) << 3 << true << 64 << "命令未定义"
                                     << QStringList();
    QTest::newRow("write protected") << response(18, {}, 7) << 18 << true << 7 << "在写保护状态"
                                     << QStringList();
    QTest::newRow("communication error byte")
            << response(15, {}, 0x88, 0x00) << 15 << true << 0x88 << "校验和错" << QStringList();
    QTest::newRow("communication error, data ignored")
            << response(1, hex("0c") + f32(1.0f), 0xC0, 0x00) << 1 << true << 0xC0 << "奇偶校验错"
            << QStringList();
}

void TstTraffic::decoder()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, command);
    QFETCH(bool, isResponse);
    QFETCH(int, code);
    QFETCH(QString, codeText);
    QFETCH(QStringList, fields);

    const DecodedFrame d = decodeFrame(u8(bytes), std::size_t(bytes.size()));
    QVERIFY(d.complete);
    QCOMPARE(d.command, command);
    QCOMPARE(d.isResponse, isResponse);
    QCOMPARE(d.status.valid, code >= 0);
    if (code >= 0) {
        QCOMPARE(int(d.status.responseCode), code);
        QCOMPARE(d.status.communicationError, code >= 0x80);
        if (!codeText.isEmpty())
            QVERIFY2(responseCodeText(quint8(code)).contains(codeText),
                     qPrintable(responseCodeText(quint8(code))));
    }
    for (const QString &f : fields)
        QVERIFY2(d.fields.contains(f), qPrintable(d.fields));
    if (fields.isEmpty())
        QVERIFY2(d.fields.isEmpty(), qPrintable(d.fields));
    QCOMPARE(commandOf(u8(bytes), std::size_t(bytes.size())), quint8(command));
}

// Every prefix of real frames, and frames whose byte count lies: no read past the bytes given
// (ASan watches), and nothing decoded from bytes that are not there.
void TstTraffic::decoder_neverReadsPastTheFrame()
{
    const QByteArray frames[] = {
            response(134, hex("03481401020304")), response(3, f32(4.0f) + hex("0c") + f32(1.5f)),
            frame(0x86, kLongAddress, 13, hex("0000") + packed("X", 6), 200),
            frame(0x06, hex("80"), 0, hex("0000fe11"), 14), request(133, hex("0114ff")),
            response(77, hex("0001 86a610000007 0d 04 0740"))};
    for (const QByteArray &f : frames) {
        for (int n = 0; n <= f.size(); ++n) {
            const QByteArray prefix = f.left(n);
            // A heap copy of exactly n bytes, so an overread is a sanitizer report.
            std::vector<std::uint8_t> exact(prefix.begin(), prefix.end());
            const DecodedFrame d = decodeFrame(exact.data(), exact.size());
            QVERIFY(d.dataOffset + d.dataLength <= n || d.dataLength == 0);
            QVERIFY(!d.complete || n == f.size());
        }
    }
    QCOMPARE(decodeFrame(nullptr, 0).command, -1);
    const QByteArray lying = frame(0x86, kLongAddress, 13, hex("0000") + packed("X", 6), 200);
    QVERIFY(!decodeFrame(u8(lying), std::size_t(lying.size())).fields.contains("描述符"));
}

void TstTraffic::capture_verdictsAndCounters()
{
    TrafficCapture capture;
    const QByteArray wire = QByteArray(5, char(0xFF)) + request(1);
    const QByteArray good = response(1, hex("0c") + f32(1.0f));
    const QByteArray busy = response(1, {}, 32);
    const QByteArray refused = response(1, {}, 16);
    auto send = [&](int attempt) {
        capture.attemptStarted(1, attempt);
        capture.requestWritten(u8(wire), std::size_t(wire.size()));
    };
    auto receive = [&](const QByteArray &f, RxVerdict v) {
        capture.frameReceived(u8(f), std::size_t(f.size()), v);
    };

    send(0);
    receive(good, RxVerdict::Accepted);
    receive(good, RxVerdict::Accepted); // a duplicate: nobody waits any more
    send(0);
    receive(good, RxVerdict::BadChecksum);
    capture.attemptTimedOut(1, 1, true);
    send(1);
    receive(busy, RxVerdict::Accepted);
    send(0);
    capture.attemptTimedOut(1, 1, false);
    receive(good, RxVerdict::Accepted); // after the time-out
    send(0);
    receive(refused, RxVerdict::Accepted);
    receive(good, RxVerdict::OtherAddress);
    receive(good, RxVerdict::WrongMaster);
    capture.attemptStarted(1, 0);
    receive(good, RxVerdict::Accepted); // before the request is out: an earlier one's answer
    capture.requestWritten(u8(wire), std::size_t(wire.size()));
    receive(good, RxVerdict::Accepted);

    const Counters c = capture.counters();
    QCOMPARE(c.transactions, 5u);
    QCOMPARE(c.attempts, 6u);
    QCOMPARE(c.retries, 1u);
    QCOMPARE(c.timeouts, 2u);
    QCOMPARE(c.failedTransactions, 1u);
    QCOMPARE(c.requests, 6u);
    QCOMPARE(c.accepted, 4u);
    QCOMPARE(c.late, 3u);
    QCOMPARE(c.badChecksums, 1u);
    QCOMPARE(c.otherAddresses, 2u);
    QCOMPARE(c.wrongMaster, 1u);
    QCOMPARE(c.busy, 1u);
    QCOMPARE(c.refusals.value(32), 1u);
    QCOMPARE(c.refusals.value(16), 1u);
    QCOMPARE(c.answerSamples, 4u);
    QVERIFY(c.medianAnswerUs >= 0 && c.medianAnswerUs <= c.worstAnswerUs);

    const std::vector<Record> records = capture.snapshot();
    QStringList verdicts;
    for (const Record &r : records)
        verdicts << verdictText(r);
    QCOMPARE(verdicts, (QStringList{"→ 已发送", "✔ 已接受", "⚠ 迟到", "→ 已发送", "✖ 校验错",
                                    "◷ 超时", "↻ 重试", "↻ 重发", "✔ 已接受", "→ 已发送",
                                    "◷ 超时，放弃", "⚠ 迟到", "→ 已发送", "✔ 已接受",
                                    "✖ 非本机地址", "✖ 主站不符", "⚠ 迟到", "→ 已发送",
                                    "✔ 已接受"}));
    // The retry belongs to the same transaction, as its second attempt.
    QCOMPARE(records[6].transaction, records[3].transaction);
    QCOMPARE(int(records[7].attempt), 2);
    QCOMPARE(int(records[0].preambles), 5);
    QCOMPARE(int(records[0].length), wire.size() - 5);
    for (std::size_t i = 1; i < records.size(); ++i)
        QVERIFY(records[i].seq == records[i - 1].seq + 1 && records[i].timeUs >= records[i - 1].timeUs);

    capture.clear();
    QCOMPARE(capture.size(), std::size_t(0));
    QCOMPARE(capture.counters().transactions, 0u);
}

void TstTraffic::capture_ringStaysBounded()
{
    TrafficCapture capture(100);
    const QByteArray wire = QByteArray(5, char(0xFF)) + request(2);
    for (int i = 0; i < 250; ++i)
        capture.requestWritten(u8(wire), std::size_t(wire.size()));
    QCOMPARE(capture.size(), std::size_t(100));
    std::vector<Record> out;
    // Asking from before the oldest gives the oldest held; in pieces, without gaps.
    quint64 next = capture.copySince(1, out, 60);
    next = capture.copySince(next, out, 60);
    QCOMPARE(out.size(), std::size_t(100));
    QCOMPARE(out.front().seq, quint64(151));
    QCOMPARE(out.back().seq, quint64(250));
    QCOMPARE(next, capture.nextSeq());
    out.clear();
    QCOMPARE(capture.copySince(next, out, 10), next);
    QVERIFY(out.empty());
}

// A new attempt's receiver reset throws away a frame half assembled; the capture keeps its
// bytes, and the receiver still takes the next frame whole.
void TstTraffic::receiverReset_capturesTheHalfFrameItAbandons()
{
    TrafficCapture capture;
    kvhart_master master;
    master.setCapture(&capture);
    master.prepareRequest(1, nullptr, 0);
    const QByteArray good = response(1, hex("0c") + f32(1.0f));
    auto feed = [&](const QByteArray &bytes) {
        for (char b : bytes)
            master.receiveByte(std::uint8_t(b));
    };
    master.startAttempt();
    feed(QByteArray(3, char(0xFF)) + good.left(6));
    master.startAttempt();
    master.startAttempt(); // nothing half-done this time: nothing recorded
    feed(QByteArray(3, char(0xFF)) + good);
    HartResponse data{};
    QVERIFY(master.takeResponse(0, 1, data.data(), data.size()));

    const std::vector<Record> records = capture.snapshot();
    QCOMPARE(records.size(), std::size_t(2));
    QCOMPARE(records[0].kind, Kind::Response);
    QCOMPARE(records[0].verdict, Verdict::Abandoned);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(records[0].bytes.data()), records[0].length),
             good.left(6));
    QCOMPARE(verdictText(records[0]), QStringLiteral("✖ 未收完，放弃"));
    QVERIFY(records[0].isError());
    QCOMPARE(records[1].length, quint8(good.size()));
    const Counters c = capture.counters();
    QCOMPARE(c.abandoned, 1u);
    QCOMPARE(c.responses, 2u);
}

// A capture file whose disk stops taking data (here a pipe nobody reads) loses frames once
// its queue is full, counts each one, and the monitor shows the count. Every frame is either
// in the file or counted.
void TstTraffic::stalledFile_countsEveryFrameItDrops()
{
    QTemporaryDir dir;
    const QByteArray fifo = dir.filePath(QStringLiteral("stalled")).toLocal8Bit();
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK);
    QVERIFY(reader >= 0);
    TrafficCapture capture;
    QVERIFY(capture.startFile(QString::fromLocal8Bit(fifo)));
    const QByteArray wire = QByteArray(5, char(0xFF)) + request(2);
    const int frames = int(TrafficCapture::kFileQueueCapacity) * 3;
    for (int i = 0; i < frames; ++i)
        capture.requestWritten(u8(wire), std::size_t(wire.size()));
    const quint64 dropped = capture.counters().fileDropped;
    QVERIFY2(dropped > 0, "the queue never filled");

    TrafficWindow monitor(capture);
    QVERIFY2(monitor.countersText().contains(QStringLiteral("记录文件丢帧 %1").arg(dropped)),
             qPrintable(monitor.countersText()));

    // Read the pipe to its end while the writer empties its queue.
    ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
    QByteArray file;
    std::thread drain([&] {
        char chunk[65536];
        for (ssize_t n; (n = ::read(reader, chunk, sizeof chunk)) > 0;)
            file.append(chunk, int(n));
    });
    capture.stopFile();
    drain.join();
    ::close(reader);
    int packets = 0;
    for (int at = 0; at + 8 <= file.size();) {
        quint32 type, length;
        std::memcpy(&type, file.constData() + at, 4);
        std::memcpy(&length, file.constData() + at + 4, 4);
        QVERIFY(length >= 12 && at + int(length) <= file.size());
        packets += type == 6 ? 1 : 0;
        at += int(length);
    }
    QCOMPARE(quint64(packets) + dropped, quint64(frames));
    QCOMPARE(capture.counters().fileDropped, dropped);
}

// Every frame kind, including a communication-error answer and a frame cut off mid-way,
// read back as HART-IP with the capture's command numbers, byte counts and directions.
void TstTraffic::pcapng_readBackByTshark()
{
    if (!haveTshark())
        QSKIP("tshark is not installed (tools/dev.sh installs it)");
    TrafficCapture capture;
    const QByteArray wire = QByteArray(7, char(0xFF)) + request(134, hex("011414"));
    const QByteArray frames[] = {response(134, hex("0114020102")), response(15, {}, 0x88, 0),
                                 response(48, hex("00"), 32, 0x40)};
    capture.attemptStarted(134, 0);
    capture.requestWritten(u8(wire), std::size_t(wire.size()));
    for (const QByteArray &f : frames)
        capture.frameReceived(u8(f), std::size_t(f.size()), RxVerdict::Accepted);
    capture.attemptTimedOut(134, 1, false); // an event: not in the file

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.pcapng"));
    QString error;
    QVERIFY2(writePcapngFile(path, capture.snapshot(), capture.originWallUs(), &error),
             qPrintable(error));
    const auto rows = tsharkFields(path, {"hart_ip.message_type", "hart_ip.pt.command",
                                          "hart_ip.pt.length", "hart_ip.msg_length",
                                          "udp.dstport", "frame.comment"});
    QCOMPARE(rows.size(), std::size_t(4));
    const QByteArray all[] = {request(134, hex("011414")), frames[0], frames[1], frames[2]};
    for (int i = 0; i < 4; ++i) {
        const QStringList &row = rows[std::size_t(i)];
        QCOMPARE(row.size(), 6);
        QCOMPARE(row[0], QString::number(i == 0 ? 0 : 1));
        QCOMPARE(row[1], QString::number(quint8(all[i][6])));
        QCOMPARE(row[2], QString::number(quint8(all[i][7])));
        QCOMPARE(row[3], QString::number(8 + all[i].size()));
        QCOMPARE(row[4], QString::number(i == 0 ? pcapng::kHartIpPort : pcapng::kHostPort));
        QVERIFY(!row[5].isEmpty());
    }
    // Time stamps are the capture's own, to the microsecond.
    const auto times = tsharkFields(path, {"frame.time_epoch"});
    const std::vector<Record> records = capture.snapshot();
    QCOMPARE(times.size(), std::size_t(4));
    const double first = times[0][0].toDouble();
    QVERIFY(std::abs(first - double(capture.originWallUs() + records[0].timeUs) / 1e6) < 1e-5);
}

QTEST_MAIN(TstTraffic)
#include "tst_traffic.moc"
