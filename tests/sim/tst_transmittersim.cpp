// Drives the simulated transmitter through its pseudo-terminal with hand-built frames and
// a raw reader of its own, so neither side borrows framing code from the host.
#include "transmittersim.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <poll.h>
#include <random>
#include <termios.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SimFaults)

namespace {

constexpr int kQuietMs = 200; // long enough to be sure nothing is coming
const QByteArray kPreambles(5, char(0xFF));

QByteArray bytesOf(std::initializer_list<quint32> values)
{
    QByteArray out;
    for (quint32 v : values)
        out.append(char(v & 0xFF));
    return out;
}

QByteArray withChecksum(QByteArray frame)
{
    char sum = 0;
    for (char c : frame)
        sum ^= c;
    return frame.append(sum);
}

QByteArray shortRequest(quint8 addressByte)
{
    return kPreambles + withChecksum(bytesOf({0x02, addressByte, 0, 0}));
}

QByteArray myAddress()
{
    return bytesOf({0x80u | (makerManufacturerId & 0x3F), 0x10, 0x12, 0x34, 0x56});
}

QByteArray longRequest(quint8 command, const QByteArray &data = {},
                       const QByteArray &address = myAddress())
{
    return kPreambles
            + withChecksum(QByteArray(1, char(0x82)) + address + char(command) + char(data.size())
                           + data);
}

QByteArray le(float v)
{
    QByteArray out(4, '\0');
    std::memcpy(out.data(), &v, 4); // the test host is little-endian like the device
    return out;
}

QByteArray be(float v)
{
    QByteArray out = le(v);
    std::reverse(out.begin(), out.end());
    return out;
}

QByteArray be16(quint16 v)
{
    return bytesOf({quint32(v) >> 8, v});
}

float floatBe(const QByteArray &bytes, int at)
{
    QByteArray b = bytes.mid(at, 4);
    std::reverse(b.begin(), b.end());
    float v = std::numeric_limits<float>::quiet_NaN();
    if (b.size() == 4)
        std::memcpy(&v, b.constData(), 4);
    return v;
}

struct Answer
{
    bool complete = false;
    QByteArray raw;   // every byte read while waiting
    QByteArray frame; // delimiter .. checksum
    qint64 firstByteMs = -1;
    qint64 lastByteMs = -1;

    quint8 at(int i) const { return i >= 0 && i < frame.size() ? quint8(frame[i]) : 0; }
    int countIndex() const { return at(0) & 0x80 ? 7 : 3; }
    QByteArray address() const { return frame.mid(1, countIndex() - 2); }
    quint8 command() const { return at(countIndex() - 1); }
    quint8 responseCode() const { return complete ? at(countIndex() + 1) : 0xFF; }
    quint8 status() const { return at(countIndex() + 2); }
    QByteArray data() const { return frame.mid(countIndex() + 3, at(countIndex()) - 2); }
    bool checksumOk() const
    {
        char sum = 0;
        for (int i = 0; i + 1 < frame.size(); ++i)
            sum ^= frame[i];
        return complete && sum == frame.back();
    }
};

// The test's own view of the line: a raw tty client with a deadline-driven reader.
class LineClient
{
public:
    ~LineClient() { close(); }

    bool open(const QString &path)
    {
        m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0)
            return false;
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        ::tcsetattr(m_fd, TCSANOW, &tio);
        ::tcflush(m_fd, TCIOFLUSH);
        return true;
    }

    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    void send(const QByteArray &bytes)
    {
        for (int sent = 0; sent < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent));
            if (n > 0) {
                sent += int(n);
                continue;
            }
            QVERIFY(n < 0 && errno == EAGAIN);
            pollfd pfd{m_fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        }
        m_clock.start();
    }

    void discardInput()
    {
        QTest::qWait(kQuietMs);
        ::tcflush(m_fd, TCIFLUSH);
    }

    // Reads until one answer frame is complete or the time is up, hunting like a master:
    // at least two 0xFF, then a delimiter whose low three bits are 6.
    Answer readAnswer(int timeoutMs)
    {
        Answer a;
        int preambles = 0;
        int expected = 0;
        QElapsedTimer deadline;
        deadline.start();
        while (!a.complete && deadline.elapsed() < timeoutMs) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(timeoutMs - deadline.elapsed())) <= 0)
                continue;
            char c;
            while (!a.complete && ::read(m_fd, &c, 1) == 1) {
                const qint64 now = m_clock.elapsed();
                if (a.firstByteMs < 0)
                    a.firstByteMs = now;
                a.raw.append(c);
                if (a.frame.isEmpty()) {
                    const bool start = preambles >= 2 && (quint8(c) & 7) == 6;
                    preambles = quint8(c) == 0xFF ? preambles + 1 : 0;
                    if (start)
                        a.frame.append(c);
                    continue;
                }
                a.frame.append(c);
                const int header = (quint8(a.frame[0]) & 0x80) ? 8 : 4;
                if (a.frame.size() == header)
                    expected = header + quint8(a.frame[header - 1]) + 1;
                if (expected > 0 && a.frame.size() == expected) {
                    a.complete = true;
                    a.lastByteMs = now;
                }
            }
        }
        return a;
    }

private:
    int m_fd = -1;
    QElapsedTimer m_clock;
};

SimConfig benchConfig()
{
    SimConfig config;
    config.fixedPv = 40.0f;
    return config;
}

struct Bench
{
    explicit Bench(const SimConfig &config = benchConfig())
        : sim(config)
    { }
    bool up() { return sim.start() && line.open(sim.portPath()); }

    Answer exchange(const QByteArray &request, int timeoutMs = 1000)
    {
        line.send(request);
        return line.readAnswer(timeoutMs);
    }
    Answer ask(quint8 command, const QByteArray &data = {}, int timeoutMs = 1000)
    {
        return exchange(longRequest(command, data), timeoutMs);
    }
    quint8 writeRegister(quint16 reg, quint16 value)
    {
        return ask(136, be16(reg) + be16(value)).responseCode();
    }
    bool unlock() { return writeRegister(6, 0x00C5) == 0; }
    bool unlockForWrites() { return unlock() && writeRegister(128, 1) == 0; }

    TransmitterSim sim;
    LineClient line;
};

const QByteArray kPv40 = QByteArray(1, '\x0C') + be(40.0f); // command 1: kPa, 40.0

} // namespace

class TstTransmitterSim : public QObject
{
    Q_OBJECT

private slots:
    void commandZero_answersOnlyAtItsPollingAddress_data()
    {
        QTest::addColumn<int>("deviceAddress");
        QTest::addColumn<int>("addressByte");
        QTest::addColumn<bool>("answered");
        QTest::newRow("0 asked at 0") << 0 << 0x80 << true;
        QTest::newRow("0 asked by secondary master") << 0 << 0x00 << true;
        QTest::newRow("0 asked at 1") << 0 << 0x81 << false;
        QTest::newRow("5 asked at 5") << 5 << 0x85 << true;
        QTest::newRow("5 asked at 0") << 5 << 0x80 << false;
        QTest::newRow("5 asked with burst bit") << 5 << 0xC5 << true;
    }
    void commandZero_answersOnlyAtItsPollingAddress()
    {
        QFETCH(int, deviceAddress);
        QFETCH(int, addressByte);
        QFETCH(bool, answered);
        SimConfig config = benchConfig();
        config.pollingAddress = quint8(deviceAddress);
        config.requiredPreambles = 7;
        Bench bench(config);
        QVERIFY(bench.up());

        const Answer a =
                bench.exchange(shortRequest(quint8(addressByte)), answered ? 1000 : kQuietMs);
        QCOMPARE(a.complete, answered);
        if (!answered)
            return;
        QVERIFY(a.checksumOk());
        QCOMPARE(a.at(0), quint8(0x06));
        QCOMPARE(a.address(), QByteArray(1, char(addressByte)));
        QCOMPARE(a.command(), quint8(0));
        QCOMPARE(a.responseCode(), quint8(0));
        const QByteArray identity =
                bytesOf({254, makerManufacturerId, 16, 7, 5, 1, 3, 9, 0, 0x12, 0x34, 0x56});
        QCOMPARE(a.data().toHex(), identity.toHex());
    }

    void longFrame_answersOnlyItsUniqueAddress_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<bool>("answered");
        const QByteArray mine = myAddress();
        auto altered = [&](int index, int value) {
            return QByteArray(mine).replace(index, 1, bytesOf({quint32(value)}));
        };
        QTest::newRow("own address") << longRequest(1, {}, mine) << true;
        QTest::newRow("master bit clear") << longRequest(1, {}, altered(0, mine[0] & 0x7F)) << true;
        QTest::newRow("burst bit set") << longRequest(1, {}, altered(0, mine[0] | 0x40)) << true;
        QTest::newRow("other manufacturer")
                << longRequest(1, {}, altered(0, mine[0] ^ 0x01)) << false;
        QTest::newRow("other device type") << longRequest(1, {}, altered(1, 0x11)) << false;
        QTest::newRow("other device id") << longRequest(1, {}, altered(4, 0x57)) << false;
        QTest::newRow("broadcast") << longRequest(1, {}, QByteArray(5, '\0')) << false;
        QTest::newRow("short frame, command 1")
                << kPreambles + withChecksum(bytesOf({0x02, 0x80, 0x01, 0})) << false;
    }
    void longFrame_answersOnlyItsUniqueAddress()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, answered);
        Bench bench;
        QVERIFY(bench.up());
        const Answer a = bench.exchange(request, answered ? 1000 : kQuietMs);
        QCOMPARE(a.complete, answered);
        if (answered) {
            QCOMPARE(a.at(0), quint8(0x86));
            QCOMPARE(a.address(), request.mid(6, 5));
            QCOMPARE(a.data(), kPv40);
        }
    }

    void fieldStatus_reportsColdStartConfigChangeAndFixedCurrent()
    {
        Bench bench;
        QVERIFY(bench.up());
        QCOMPARE(bench.ask(1).status(), quint8(0x20));
        QCOMPARE(bench.ask(1).status(), quint8(0x00));
        QCOMPARE(bench.ask(19, bytesOf({0x0A, 0x0B, 0x0C})).status(), quint8(0x40));
        QCOMPARE(bench.ask(40, be(12.0f)).status(), quint8(0x48));
        QCOMPARE(bench.ask(40, be(0.0f)).status(), quint8(0x40));
        QCOMPARE(bench.ask(16).data(), bytesOf({0x0A, 0x0B, 0x0C}));
    }

    void memoryWrite_needsWriteEnableAndReadsBack()
    {
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlock());
        const QByteArray payload = bytesOf({0x11, 0x22, 0x33, 0x44, 0x55});
        const QByteArray request =
                be16(0x0200) + char(payload.size()) + payload + QByteArray(15, '\0');
        const QByteArray before = bench.sim.memory(0x0200, 5);

        const Answer refused = bench.ask(133, request);
        QVERIFY(refused.complete);
        QVERIFY(refused.responseCode() != 0);
        QCOMPARE(bench.sim.memory(0x0200, 5), before);

        QCOMPARE(bench.writeRegister(128, 1), quint8(0));
        QVERIFY(bench.sim.writeEnabled());
        QCOMPARE(bench.ask(133, request).responseCode(), quint8(0));
        QCOMPARE(bench.sim.memory(0x0200, 5), payload);
        const Answer read = bench.ask(134, be16(0x0200) + char(5));
        QCOMPARE(read.responseCode(), quint8(0));
        QCOMPARE(read.data(), be16(0x0200) + char(5) + payload);

        QCOMPARE(bench.writeRegister(128, 0), quint8(0));
        QVERIFY(bench.ask(133, be16(0x0200) + char(1) + QByteArray(20, '\x77')).responseCode()
                != 0);
        QCOMPARE(bench.sim.memory(0x0200, 5), payload);

        for (quint16 reg : {10, 90, 90}) // user save, factory save twice
            QCOMPARE(bench.writeRegister(reg, 0), quint8(0));
        QCOMPARE(bench.sim.userSaveCount(), 1);
        QCOMPARE(bench.sim.factorySaveCount(), 2);
        QCOMPARE(bench.sim.registerValue(128), quint16(0));
    }

    void memoryCommands_rejectBadRanges_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("responseCode");
        for (int command : {133, 134}) {
            const QByteArray c = QByteArray::number(command);
            QTest::newRow(c + " length 0") << command << 0x0100 << 0 << 4;
            QTest::newRow(c + " length 21") << command << 0x0100 << 21 << 3;
            QTest::newRow(c + " runs past the end") << command << 0x0580 << 3 << 3;
            QTest::newRow(c + " highest address") << command << 0xFFFF << 20 << 3;
            QTest::newRow(c + " last byte") << command << 0x0581 << 1 << 0;
            QTest::newRow(c + " first 20 bytes") << command << 0x0000 << 20 << 0;
        }
    }
    void memoryCommands_rejectBadRanges()
    {
        QFETCH(int, command);
        QFETCH(int, address);
        QFETCH(int, length);
        QFETCH(int, responseCode);
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlockForWrites());
        QByteArray request = be16(quint16(address)) + char(length);
        if (command == 133)
            request += QByteArray(20, '\x5A');
        const Answer a = bench.ask(quint8(command), request);
        QCOMPARE(int(a.responseCode()), responseCode);
        if (responseCode != 0)
            QVERIFY(a.data().isEmpty());
        else if (command == 134)
            QCOMPARE(a.data().size(), 3 + length);
    }

    void rangeWrite_landsLittleEndianInMemoryAndBack()
    {
        Bench bench;
        QVERIFY(bench.up());
        const QByteArray range = QByteArray(1, char(7)) + be(321.123f) + be(-4.56f);
        const Answer written = bench.ask(35, range);
        QCOMPARE(written.responseCode(), quint8(0));
        QCOMPARE(written.data(), range);

        QVERIFY(bench.unlockForWrites());
        const Answer read = bench.ask(134, be16(0x0100) + char(8));
        QCOMPARE(read.data().mid(3).toHex(), (le(-4.56f) + le(321.123f)).toHex());
        QCOMPARE(bench.sim.memory(0x0076, 2), bytesOf({7, 0}));

        // And the other way: a damping value written into memory is what command 15 reports.
        QCOMPARE(bench.ask(133, be16(0x0084) + char(4) + le(2.345f) + QByteArray(16, '\0'))
                         .responseCode(),
                 quint8(0));
        const QByteArray info = bench.ask(15).data();
        QCOMPARE(info.size(), 17);
        QCOMPARE(quint8(info[2]), quint8(7));
        QCOMPARE(floatBe(info, 3), 321.123f);
        QCOMPARE(floatBe(info, 7), -4.56f);
        QCOMPARE(floatBe(info, 11), 2.345f);
    }

    void configurationBlocks_roundTrip_data()
    {
        QTest::addColumn<int>("writeCommand");
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("memoryAddress");
        QTest::addColumn<QByteArray>("memoryBytes");
        QTest::newRow("sensor, 129 then 128") << 129
                                              << bytesOf({3, 1, 2, 1, 4, 2, 0xAB, 0xCD, 0xEF, 12})
                        + be(600.5f) + be(-50.25f)
                        + be(5.125f) << 0x00C0 << bytesOf({0xAB, 0xCD, 0xEF, 12}) + le(600.5f);
        QTest::newRow("calibration, 131 then 130") << 131
                                                   << bytesOf({5, 3, 12, 12, 3}) + be(-10.5f)
                        + be(160.75f) + QByteArray("mmH2O\0\0\0\0", 9)
                                                   << 0x0100 << le(-10.5f) + le(160.75f);
    }
    void configurationBlocks_roundTrip()
    {
        QFETCH(int, writeCommand);
        QFETCH(QByteArray, block);
        QFETCH(int, memoryAddress);
        QFETCH(QByteArray, memoryBytes);
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlock());
        QCOMPARE(block.size(), 22);
        QCOMPARE(bench.ask(quint8(writeCommand), block).responseCode(), quint8(0));
        const Answer read = bench.ask(quint8(writeCommand - 1));
        QCOMPARE(read.responseCode(), quint8(0));
        QCOMPARE(read.data().toHex(), block.toHex());
        QCOMPARE(bench.sim.memory(quint16(memoryAddress), quint16(memoryBytes.size())).toHex(),
                 memoryBytes.toHex());
    }

    void deviceSpecificCommands_needUnlock_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("128") << 128 << QByteArray();
        QTest::newRow("129") << 129
                             << bytesOf({0, 0, 1, 0, 3, 1, 0, 0xA1, 0xB2, 12}) + be(1000.0f)
                        + be(-100.0f) + be(10.0f);
        QTest::newRow("130") << 130 << QByteArray();
        QTest::newRow("131") << 131
                             << bytesOf({2, 1, 12, 12, 2}) + be(0.0f) + be(100.0f)
                        + QByteArray(9, '\0');
        QTest::newRow("132") << 132 << QByteArray(1, '\0');
        QTest::newRow("134") << 134 << be16(0x0104) + char(4);
        QTest::newRow("135") << 135 << bytesOf({1, 0x12, 0x34});
        QTest::newRow("137") << 137 << QByteArray(1, '\x01') + QByteArray(19, '\0');
    }
    void deviceSpecificCommands_needUnlock()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, data);
        Bench bench;
        QVERIFY(bench.up());
        const Answer locked = bench.ask(quint8(command), data);
        QCOMPARE(locked.responseCode(), quint8(16));
        QVERIFY(locked.data().isEmpty());

        QCOMPARE(bench.writeRegister(6, 0x00C4), quint8(0)); // wrong key: accepted, still locked
        QCOMPARE(bench.ask(quint8(command), data).responseCode(), quint8(16));

        QVERIFY(bench.unlock());
        const Answer open = bench.ask(quint8(command), data);
        QCOMPARE(open.responseCode(), quint8(0));
        QVERIFY(!open.data().isEmpty());
    }

    void unlock_expiresAfterTimeout()
    {
        SimConfig config = benchConfig();
        config.unlockTimeoutMs = 300;
        Bench bench(config);
        QVERIFY(bench.up());
        QVERIFY(bench.unlock());
        QCOMPARE(bench.ask(128).responseCode(), quint8(0));
        QTest::qWait(450);
        QCOMPARE(bench.ask(128).responseCode(), quint8(16));
        QVERIFY(bench.unlock()); // the keep-alive brings it back
        QCOMPARE(bench.ask(128).responseCode(), quint8(0));
    }

    void unknownCommand_answers64WithoutData_data()
    {
        QTest::addColumn<int>("command");
        for (int command : {4, 11, 44, 138, 255})
            QTest::newRow(QByteArray::number(command)) << command;
    }
    void unknownCommand_answers64WithoutData()
    {
        QFETCH(int, command);
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlock());
        const Answer a = bench.ask(quint8(command));
        QCOMPARE(a.command(), quint8(command));
        QCOMPARE(a.responseCode(), quint8(64));
        QVERIFY(a.data().isEmpty());
    }

    void shortRequestData_answers5_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("6 without address") << 6 << QByteArray();
        QTest::newRow("17 one byte short") << 17 << QByteArray(23, '\x20');
        QTest::newRow("35 without lower value") << 35 << QByteArray(1, '\x0C') + be(100.0f);
        QTest::newRow("129 half a block") << 129 << QByteArray(11, '\0');
        QTest::newRow("133 fewer bytes than length")
                << 133 << be16(0x0100) + char(8) + QByteArray(4, '\0');
        QTest::newRow("137 nineteen bytes") << 137 << QByteArray(19, '\0');
    }
    void shortRequestData_answers5()
    {
        QFETCH(int, command);
        QFETCH(QByteArray, data);
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlockForWrites());
        const Answer a = bench.ask(quint8(command), data);
        QCOMPARE(a.responseCode(), quint8(5));
        QVERIFY(a.data().isEmpty());
    }

    void rangeShifts_followPresentPv()
    {
        Bench bench;
        QVERIFY(bench.up());
        QCOMPARE(bench.ask(36).responseCode(), quint8(0)); // upper value := PV 40
        QByteArray info = bench.ask(15).data();
        QCOMPARE(floatBe(info, 3), 40.0f);
        QCOMPARE(floatBe(info, 7), 0.0f);
        bench.sim.setFixedPv(10.0f);
        QCOMPARE(bench.ask(37).responseCode(), quint8(0)); // lower value := PV, span kept
        info = bench.ask(15).data();
        QCOMPARE(floatBe(info, 3), 50.0f);
        QCOMPARE(floatBe(info, 7), 10.0f);
    }

    void pvZero_holdsUntilCorrectionCleared()
    {
        Bench bench;
        QVERIFY(bench.up());
        QCOMPARE(bench.ask(43).responseCode(), quint8(0));
        QCOMPARE(floatBe(bench.ask(1).data(), 1), 0.0f);
        QCOMPARE(bench.sim.memory(0x0360, 4), le(40.0f));

        // Cancelling the zero is a plain memory write of the correction word.
        QVERIFY(bench.unlockForWrites());
        QCOMPARE(bench.ask(133, be16(0x0360) + char(4) + QByteArray(20, '\0')).responseCode(),
                 quint8(0));
        QCOMPARE(bench.ask(1).data(), kPv40);
    }

    void fixedCurrent_holdsLoopAndGatesTrims()
    {
        Bench bench;
        QVERIFY(bench.up());
        const QByteArray loop = bench.ask(2).data();
        QCOMPARE(floatBe(loop, 0), 10.4f); // PV 40 on 0..100
        QCOMPARE(floatBe(loop, 4), 40.0f);
        QCOMPARE(bench.ask(45, be(4.01f)).responseCode(), quint8(9));
        QCOMPARE(bench.sim.zeroTrimMa(), 0.0f); // a refused trim is not recorded

        QCOMPARE(bench.ask(40, be(4.0f)).data(), be(4.0f));
        QCOMPARE(floatBe(bench.ask(2).data(), 0), 4.0f);
        const Answer trim = bench.ask(45, be(4.01f));
        QCOMPARE(trim.responseCode(), quint8(0));
        QCOMPARE(trim.data(), be(4.01f));
        QCOMPARE(bench.sim.zeroTrimMa(), 4.01f);
        QCOMPARE(bench.ask(46, be(19.98f)).responseCode(), quint8(0));
        QCOMPARE(bench.sim.gainTrimMa(), 19.98f);
        QCOMPARE(bench.sim.zeroTrimMa(), 4.01f);
        QCOMPARE(bench.ask(40, be(25.0f)).responseCode(), quint8(3));
        QVERIFY(bench.sim.currentFixed());

        QCOMPARE(bench.ask(40, be(0.0f)).data(), be(0.0f));
        QCOMPARE(floatBe(bench.ask(2).data(), 0), 10.4f);
    }

    void pollingAddressChange_movesCommandZero()
    {
        Bench bench;
        QVERIFY(bench.up());
        const Answer moved = bench.ask(6, QByteArray(1, '\x03'));
        QCOMPARE(moved.responseCode(), quint8(0));
        QCOMPARE(moved.data(), QByteArray(1, '\x03'));
        QVERIFY(!bench.exchange(shortRequest(0x80), kQuietMs).complete);
        QVERIFY(bench.exchange(shortRequest(0x83)).complete);
        QVERIFY(bench.ask(6, QByteArray(1, '\x10')).responseCode() != 0);
        QCOMPARE(bench.sim.pollingAddress(), quint8(3));
    }

    void factoryTestPoll_reportsKeysAndTemperatureSignal()
    {
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlock());
        bench.sim.setKeyBits(0x05);
        bench.sim.setTemperatureSignal(4000.0f);
        const QByteArray poll = bench.ask(137, QByteArray(1, '\x02') + QByteArray(19, '\0')).data();
        QCOMPARE(poll, QByteArray(1, '\x05') + be(4000.0f));

        const QByteArray signals0 = bench.ask(132, QByteArray(1, '\0')).data();
        QCOMPARE(signals0.size(), 25);
        QCOMPARE(floatBe(signals0, 5), 4000.0f); // temperature-compensation signal
        QCOMPARE(floatBe(signals0, 21), 25.0f);  // internal temperature
        QCOMPARE(bench.ask(132, QByteArray(1, '\x01')).data(), QByteArray(1, '\x01') + be(40.0f));
        QCOMPARE(bench.ask(132, QByteArray(1, '\x02')).responseCode(), quint8(2));
    }

    void factoryBench_pollAndRawSignalsFollowTheWiring_data()
    {
        QTest::addColumn<int>("wiring");
        QTest::addColumn<int>("selector");
        QTest::addColumn<float>("signal");
        QTest::newRow("open, temperature channel") << int(BenchWiring::Open) << 1 << 2500.0f;
        QTest::newRow("V- to T, test channel") << int(BenchWiring::VMinusToT) << 2 << 0.0f;
        QTest::newRow("V+ to T, test channel") << int(BenchWiring::VPlusToT) << 2 << 4000.0f;
        QTest::newRow("V+ to T, temperature channel") << int(BenchWiring::VPlusToT) << 1 << 4000.0f;
        QTest::newRow("stop poll") << int(BenchWiring::VMinusToT) << 0 << 0.0f;
    }
    void factoryBench_pollAndRawSignalsFollowTheWiring()
    {
        QFETCH(int, wiring);
        QFETCH(int, selector);
        QFETCH(float, signal);
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlock());
        bench.sim.setKeyBits(0x06);
        bench.sim.setBenchWiring(BenchWiring(wiring));
        const Answer poll = bench.ask(137, QByteArray(1, char(selector)) + QByteArray(19, '\0'));
        QCOMPARE(poll.responseCode(), quint8(0));
        QCOMPARE(poll.data(), QByteArray(1, '\x06') + be(signal));
        // What "read ADC" shows on the linearization page is the same signal.
        const QByteArray raw = bench.ask(132, QByteArray(1, '\0')).data();
        QCOMPARE(raw.size(), 25);
        QCOMPARE(floatBe(raw, 5), signal);
        // No poll, the stop included, changes the bench.
        QCOMPARE(bench.sim.keyBits(), quint8(0x06));
        QCOMPARE(int(bench.sim.benchWiring()), wiring);

        bench.sim.setBenchWiring(BenchWiring::Open);
        QCOMPARE(
                floatBe(bench.ask(137, QByteArray(1, char(selector)) + QByteArray(19, '\0')).data(),
                        1),
                2500.0f);
    }

    void factoryBench_pvPointsAreTheRangeCopies()
    {
        Bench bench;
        QVERIFY(bench.up());
        QVERIFY(bench.unlockForWrites());
        auto pv = [&] {
            const QByteArray d = bench.ask(1).data();
            return d.size() == 5 ? floatBe(d, 1) : -1.0f;
        };
        bench.sim.setBenchPv(BenchPv::Zero);
        QCOMPARE(pv(), 0.0f);
        bench.sim.setBenchPv(BenchPv::FullScale);
        QCOMPARE(pv(), 100.0f);

        // The calibration write sends the range with the calibration configuration.
        QByteArray config = bytesOf({2, 1, 12, 12, 2}) + be(-20.0f) + be(250.0f);
        config += QByteArray(9, ' ');
        QCOMPARE(bench.ask(131, config).responseCode(), quint8(0));
        QCOMPARE(pv(), 250.0f);
        bench.sim.setBenchPv(BenchPv::Zero);
        QCOMPARE(pv(), -20.0f);
        // A zero correction left from earlier does not move the bench point.
        QByteArray correction(4, '\0');
        const float shift = 3.0f;
        std::memcpy(correction.data(), &shift, 4);
        bench.sim.setMemory(0x0360, correction);
        QCOMPARE(pv(), -20.0f);
        // The copies written as memory ("write all") count as well.
        QByteArray lowCopy(4, '\0');
        const float low = 5.5f;
        std::memcpy(lowCopy.data(), &low, 4);
        bench.sim.setMemory(0x00F8, lowCopy);
        QCOMPARE(pv(), 5.5f);

        bench.sim.setBenchPv(BenchPv::Live);
        QCOMPARE(pv(), 40.0f - shift); // the fixed PV of these tests, corrected again
    }

    void program_benchLinesOnStdin_answeredWhileServing_endOfInputChangesNothing()
    {
        QProcess program;
        program.start(QStringLiteral(SIM_PROGRAM), {QStringLiteral("--pv"), QStringLiteral("40")});
        QVERIFY(program.waitForStarted());
        auto nextLine = [&program] {
            QElapsedTimer clock;
            clock.start();
            while (!program.canReadLine() && clock.elapsed() < 5000)
                program.waitForReadyRead(100);
            return QString::fromUtf8(program.readLine()).trimmed();
        };
        const QString port = nextLine();
        LineClient line;
        QVERIFY2(line.open(port), qPrintable(port));
        // An idle stdin holds nothing up.
        line.send(shortRequest(0x80));
        QVERIFY(line.readAnswer(1000).complete);

        program.write("keys 3\nt vplus\r\nvolts 5\n");
        QCOMPARE(nextLine(), QString("keys 3 (M S pressed)"));
        QCOMPARE(nextLine(), QString("t vplus (signal 4000)"));
        QVERIFY(nextLine().startsWith("error: "));

        program.closeWriteChannel();
        QTest::qWait(kQuietMs);
        QCOMPARE(program.state(), QProcess::Running);
        line.send(longRequest(136, be16(6) + be16(0x00C5)));
        QCOMPARE(line.readAnswer(1000).responseCode(), quint8(0));
        line.send(longRequest(137, QByteArray(1, '\x02') + QByteArray(19, '\0')));
        QCOMPARE(line.readAnswer(1000).data(), QByteArray(1, '\x03') + be(4000.0f));

        program.terminate();
        QVERIFY(program.waitForFinished(5000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }

    void lineGarbage_isIgnoredAndNextFrameAnswered_data()
    {
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("bad checksum") << QByteArray::fromHex("FFFFFFFF0280000083");
        QTest::newRow("one preamble only") << QByteArray::fromHex("FF0280000082");
        QTest::newRow("no preamble") << QByteArray::fromHex("0280000082828206");
        QTest::newRow("an answer, not a request") << QByteArray::fromHex("FFFF06800002000084");
        QTest::newRow("byte count past 40") << QByteArray::fromHex("FFFFFF82") + myAddress()
                        + bytesOf({1, 0x20}) + QByteArray(32, '\x11');
        QTest::newRow("frame cut short") << QByteArray::fromHex("FFFFFF82") + myAddress().left(3);
        QTest::newRow("only preambles") << QByteArray(64, char(0xFF));
    }
    void lineGarbage_isIgnoredAndNextFrameAnswered()
    {
        QFETCH(QByteArray, garbage);
        Bench bench;
        QVERIFY(bench.up());
        // The quiet wait is also the pause after which a cut-off frame is given up.
        QVERIFY(!bench.exchange(garbage, kQuietMs).complete);
        const Answer a = bench.exchange(shortRequest(0x80));
        QVERIFY(a.checksumOk());
        QCOMPARE(bench.sim.answeredCount(), 1);
    }

    void randomBytes_leaveDeviceServing()
    {
        Bench bench;
        QVERIFY(bench.up());
        std::mt19937 random(1234);
        std::uniform_int_distribution<int> byte(0, 255);
        const QByteArray header = QByteArray::fromHex("FFFF82") + myAddress();
        for (int round = 0; round < 200; ++round) {
            // Plain noise, and frames that are well addressed but arbitrary after that.
            QByteArray junk = round % 2 ? header : QByteArray();
            for (int i = 0; i < 60; ++i)
                junk.append(char(byte(random)));
            bench.line.send(junk);
        }
        bench.line.discardInput(); // whatever the junk provoked
        const Answer a = bench.exchange(shortRequest(0x80));
        QVERIFY(a.checksumOk());
        QCOMPARE(a.at(0), quint8(0x06));
        QCOMPARE(a.command(), quint8(0));
    }

    // Outcome per request: '.' good answer, 'x' answer with a broken checksum, '-' none.
    void answerFaults_data()
    {
        QTest::addColumn<SimFaults>("faults");
        QTest::addColumn<QList<int>>("commands");
        QTest::addColumn<QString>("outcomes");
        SimFaults f;
        f.silent = true;
        QTest::newRow("silent") << f << QList<int>{0, 1} << "--";
        f = {};
        f.silentCommands = {1};
        QTest::newRow("command 1 silenced") << f << QList<int>{0, 1, 2, 1} << ".-.-";
        f = {};
        f.ignoreFirst = 2;
        QTest::newRow("ignore first 2") << f << QList<int>{1, 1, 1, 1} << "--..";
        f = {};
        f.failAfter = 2;
        QTest::newRow("fail after 2") << f << QList<int>{1, 2, 1, 0} << "..--";
        f = {};
        f.corruptEvery = 2;
        QTest::newRow("corrupt every 2nd") << f << QList<int>{1, 1, 1, 1} << ".x.x";
    }
    void answerFaults()
    {
        QFETCH(SimFaults, faults);
        QFETCH(QList<int>, commands);
        QFETCH(QString, outcomes);
        Bench bench;
        QVERIFY(bench.up());
        bench.sim.setFaults(faults);
        QString seen;
        for (int command : commands) {
            const QByteArray request =
                    command == 0 ? shortRequest(0x80) : longRequest(quint8(command));
            const Answer a = bench.exchange(request, kQuietMs);
            seen += !a.complete ? '-' : a.checksumOk() ? '.' : 'x';
        }
        QCOMPARE(seen, outcomes);
        const QVector<SimRequest> log = bench.sim.requests();
        QCOMPARE(log.size(), commands.size());
        for (int i = 0; i < log.size(); ++i) {
            QCOMPARE(int(log[i].command), commands[i]);
            QCOMPARE(log[i].answered, outcomes[i] != '-');
        }
    }

    void delay_holdsAnswerBack()
    {
        Bench bench;
        QVERIFY(bench.up());
        SimFaults faults;
        faults.delayMs = 300;
        bench.sim.setFaults(faults);
        const Answer a = bench.ask(1, {}, 2000);
        QVERIFY(a.complete);
        QVERIFY2(a.firstByteMs >= 290, qPrintable(QString::number(a.firstByteMs)));
    }

    void wrongAddress_altersEveryAddressByteOnly()
    {
        Bench bench;
        QVERIFY(bench.up());
        SimFaults faults;
        faults.wrongAddress = true;
        bench.sim.setFaults(faults);

        const Answer shortAnswer = bench.exchange(shortRequest(0x80));
        QVERIFY(shortAnswer.checksumOk());
        QVERIFY((shortAnswer.at(1) & 0x0F) != 0);
        QCOMPARE(shortAnswer.command(), quint8(0));

        const Answer longAnswer = bench.ask(1);
        QVERIFY(longAnswer.checksumOk());
        const QByteArray mine = myAddress();
        QVERIFY((longAnswer.at(1) & 0x3F) != (mine[0] & 0x3F));
        for (int i = 1; i < 5; ++i)
            QVERIFY(longAnswer.address()[i] != mine[i]);
        QCOMPARE(longAnswer.command(), quint8(1));
        QCOMPARE(longAnswer.data(), kPv40);
    }

    void forcedResponseCode_replacesAnswerWithoutExecuting()
    {
        Bench bench;
        QVERIFY(bench.up());
        SimFaults faults;
        faults.responseCodeFor.insert(1, 32);
        faults.responseCodeFor.insert(35, 7);
        bench.sim.setFaults(faults);
        const Answer busy = bench.ask(1);
        QCOMPARE(busy.responseCode(), quint8(32));
        QVERIFY(busy.data().isEmpty());
        QCOMPARE(bench.ask(2).responseCode(), quint8(0));
        QCOMPARE(bench.ask(35, QByteArray(1, '\x0C') + be(500.0f) + be(1.0f)).responseCode(),
                 quint8(7));
        QCOMPARE(bench.sim.memory(0x0104, 4), le(100.0f));
    }

    void noise_surroundsAnswersWithNon0xFFBytes()
    {
        Bench bench;
        QVERIFY(bench.up());
        SimFaults faults;
        faults.noise = true;
        bench.sim.setFaults(faults);
        for (int i = 0; i < 5; ++i) {
            const Answer a = bench.ask(1);
            QVERIFY(a.checksumOk());
            QVERIFY(a.raw.indexOf(char(0xFF))
                    >= 1); // the previous answer's tail or this one's head
            QCOMPARE(a.data(), kPv40);
        }
    }

    void pace_sendsAboutOneBytePerCharacterTime()
    {
        SimConfig config = benchConfig();
        config.pace = true;
        Bench bench(config);
        QVERIFY(bench.up());
        const Answer a = bench.exchange(shortRequest(0x80), 2000);
        QVERIFY(a.complete);
        const double msPerByte = double(a.lastByteMs - a.firstByteMs) / (a.raw.size() - 1);
        qInfo("paced answer: %d bytes, %.2f ms per byte", int(a.raw.size()), msPerByte);
        QVERIFY2(msPerByte > 7.0 && msPerByte < 20.0, qPrintable(QString::number(msPerByte)));
    }

    void link_replacesStaleLinkAndIsRemovedOnStop()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("ttyHART"));
        QVERIFY(::symlink("/nonexistent/pts", link.toLocal8Bit().constData()) == 0);
        Bench bench;
        QVERIFY(bench.sim.start(link));
        QCOMPARE(QFile::symLinkTarget(link), bench.sim.portPath());
        QVERIFY(bench.line.open(link));
        QVERIFY(bench.exchange(shortRequest(0x80)).complete);
        bench.sim.stop();
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TstTransmitterSim)
#include "tst_transmittersim.moc"
