// The serial link's echo check on a bare pseudo-terminal, where the test plays an adapter that
// the simulator cannot: an echo that stops short, and an answer where the echo should be.
#include "kvhart_master.h"
#include "seriallink.h"
#include "testpty.h"

#include <QtTest>

#include <unistd.h>

namespace {

struct EchoSink : LinkCaptureSink
{
    void attemptStarted(std::uint8_t, int) override { }
    void attemptTimedOut(std::uint8_t, int, bool) override { }
    void requestWritten(const std::uint8_t *, std::size_t) override { }
    void requestFailed(const std::uint8_t *, std::size_t) override { }
    void inputDiscarded(const std::uint8_t *bytes, std::size_t length) override
    {
        discarded += QByteArray(reinterpret_cast<const char *>(bytes), int(length));
    }
    void frameReceived(const std::uint8_t *, std::size_t, RxVerdict verdict) override
    {
        verdicts << verdict;
    }
    void echoFailed(EchoFault fault, const std::uint8_t *echo, std::size_t length) override
    {
        faults << fault;
        echoes << QByteArray(reinterpret_cast<const char *>(echo), int(length));
    }
    QVector<EchoFault> faults;
    QVector<QByteArray> echoes;
    QVector<RxVerdict> verdicts;
    QByteArray discarded;
};

// A command 0 answer from polling address 0 to the primary master.
QByteArray answer()
{
    QByteArray frame = QByteArray::fromHex("0680000400000102");
    char sum = 0;
    for (char c : frame)
        sum ^= c;
    return QByteArray(5, '\xFF') + frame + sum;
}

} // namespace

class TestSerialModem : public QObject
{
    Q_OBJECT

private slots:
    void echo_cutShort_isReportedWithTheNextFrameAndNeverTakenForAnAnswer();
};

void TestSerialModem::echo_cutShort_isReportedWithTheNextFrameAndNeverTakenForAnAnswer()
{
    TestPty pty;
    kvhart_master master;
    EchoSink sink;
    master.setCapture(&sink);
    SerialLink link(&master);
    QVERIFY(link.open(pty.path + QStringLiteral("?echo")));
    // The adapter drops the echo's last bytes: what comes next would be compared in their place.
    const QByteArray request = master.prepareRequest(0, nullptr, 0);
    master.startAttempt();
    link.writeMySerialPort(request);
    QCOMPARE(pty.take(request.size()), request);
    QVERIFY(pty.give(request.left(request.size() - 3)));
    QTRY_COMPARE_WITH_TIMEOUT(link.bytesRead(), qint64(request.size() - 3), 2000);
    QVERIFY(sink.faults.isEmpty());
    // The retry: the echo is given up as incomplete, and this frame's echo is awaited afresh.
    master.startAttempt();
    link.writeMySerialPort(request);
    QCOMPARE(sink.faults, QVector<EchoFault>{EchoFault::Incomplete});
    QCOMPARE(sink.echoes.first(), request.left(request.size() - 3));
    QCOMPARE(link.incompleteEchoes(), qint64(1));
    QCOMPARE(pty.take(request.size()), request);
    // An answer where the echo should be is a collision, and goes nowhere near the receiver;
    // the next frame's clear keeps what followed it.
    QVERIFY(pty.give(answer() + answer()));
    QTRY_COMPARE_WITH_TIMEOUT(link.collisions(), qint64(1), 2000);
    QCOMPARE(sink.faults.last(), EchoFault::Mismatch);
    QCOMPARE(sink.echoes.last(), answer().left(request.size()));
    QTRY_COMPARE_WITH_TIMEOUT(link.bytesRead(), qint64(request.size() - 3 + 2 * answer().size()),
                              2000);
    QCOMPARE(master.pendingFrames(), 0);
    QVERIFY(sink.verdicts.isEmpty());
    master.startAttempt();
    link.writeMySerialPort(request);
    QCOMPARE(sink.discarded, (answer() + answer()).mid(request.size()));
}

QTEST_MAIN(TestSerialModem)
#include "tst_serialmodem.moc"
