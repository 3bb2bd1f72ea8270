// The serial glue on a real pseudo-terminal: RTS window length, bounded reads, writes
// while closed, a vanishing port, and the RTS timer's expiry rules.
#include "kvhart_master.h"
#include "mmtimer.h"
#include "seriallink.h"
#include "testpty.h"

#include <QtTest>

#include <unistd.h>

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void rtsPeriod_coversFramePlusOneAndAHalfCharacters_data();
    void rtsPeriod_coversFramePlusOneAndAHalfCharacters();
    void open_failsCleanlyOnMissingPort();
    void write_reachesTheLineAndEndsItsWindow();
    void write_whileClosedIsIgnored();
    void read_takesAtMost300BytesPerCallAndKeepsTheRest();
    void portVanishing_isReportedAndClosesThePort();
    void mmtimer_isPeriodicUntilStoppedAndStopIsIdempotent();
};

void TestSerialLink::rtsPeriod_coversFramePlusOneAndAHalfCharacters_data()
{
    QTest::addColumn<int>("bytes");
    QTest::addColumn<int>("ms");
    QTest::newRow("12") << 12 << 123;
    QTest::newRow("38") << 38 << 362;
    QTest::newRow("60") << 60 << 563;
    QTest::newRow("10 (command 0 with 5 preambles)") << 10 << 105;
}

void TestSerialLink::rtsPeriod_coversFramePlusOneAndAHalfCharacters()
{
    QFETCH(int, bytes);
    QFETCH(int, ms);
    QCOMPARE(SerialLink::rtsPeriodMs(bytes), ms);
}

void TestSerialLink::open_failsCleanlyOnMissingPort()
{
    kvhart_master master;
    SerialLink link(&master);
    QVERIFY(!link.open("/dev/does-not-exist-hart"));
    QVERIFY(!link.isOpen());
}

void TestSerialLink::write_reachesTheLineAndEndsItsWindow()
{
    TestPty pty;
    kvhart_master master;
    SerialLink link(&master);
    QVERIFY(link.open(pty.path));
    QCOMPARE(link.port()->baudRate(), 1200);
    QCOMPARE(link.port()->parity(), QSerialPort::OddParity);
    QSignalSpy released(&link, &SerialLink::rtsReleased);
    const QByteArray frame = QByteArray::fromHex("ffffffffff0280000082");
    link.writeMySerialPort(frame);
    QCOMPARE(pty.readAvailable(150), frame);
    QTRY_COMPARE_WITH_TIMEOUT(released.count(), 1, 1000);
    // The release came at the end of the window, not before it.
    QVERIFY(released.first().at(0).toLongLong() >= 0);
    QCOMPARE(link.bytesWritten(), qint64(frame.size()));
}

void TestSerialLink::write_whileClosedIsIgnored()
{
    kvhart_master master;
    SerialLink link(&master);
    QSignalSpy released(&link, &SerialLink::rtsReleased);
    link.writeMySerialPort(QByteArray(12, '\xFF'));
    QTest::qWait(200);
    QCOMPARE(released.count(), 0);
    QCOMPARE(link.bytesWritten(), qint64(0));
}

void TestSerialLink::read_takesAtMost300BytesPerCallAndKeepsTheRest()
{
    TestPty pty;
    kvhart_master master;
    SerialLink link(&master);
    QVERIFY(link.open(pty.path));
    const QByteArray noise(700, '\x55');
    QCOMPARE(::write(pty.master, noise.constData(), std::size_t(noise.size())),
             ssize_t(noise.size()));
    QTRY_COMPARE_WITH_TIMEOUT(link.bytesRead(), qint64(700), 2000);
}

void TestSerialLink::portVanishing_isReportedAndClosesThePort()
{
    auto pty = std::make_unique<TestPty>();
    kvhart_master master;
    SerialLink link(&master);
    QVERIFY(link.open(pty->path));
    QSignalSpy lost(&link, &SerialLink::portLost);
    pty.reset(); // both ends gone, as when a USB modem is pulled
    QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 3000);
    QVERIFY(!link.isOpen());
    link.writeMySerialPort(QByteArray(12, '\xFF')); // a late frame is dropped quietly
}

void TestSerialLink::mmtimer_isPeriodicUntilStoppedAndStopIsIdempotent()
{
    MMTimer timer;
    QSignalSpy fired(&timer, &MMTimer::timeout);
    QElapsedTimer clock;
    clock.start();
    timer.start(20);
    QTRY_VERIFY_WITH_TIMEOUT(fired.count() >= 3, 2000);
    QVERIFY(clock.elapsed() >= 55);
    timer.stop();
    timer.stop();
    QVERIFY(!timer.isActive());
    QTest::qWait(30); // queued expiries already in flight may still arrive
    const int after = fired.count();
    QTest::qWait(100);
    QCOMPARE(fired.count(), after);
}

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
