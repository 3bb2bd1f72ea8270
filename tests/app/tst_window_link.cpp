// The window and the link under bad timing: a modem that vanishes mid-transaction and is
// reopened at once, page changes that must not lock the port buttons for good, and the
// factory-test stop that only the maker's transmitter may receive.
#include "windowfixture.h"

#include "hartidentity.h"

namespace {

int countCommand(const TransmitterSim &sim, quint8 command)
{
    int n = 0;
    for (const SimRequest &r : sim.requests())
        n += r.command == command ? 1 : 0;
    return n;
}

void setHeldCurrent(WindowFixture &f)
{
    QMutexLocker lock(&f.window->worker()->mutex);
    deviceData.fixedCurrentActive = 1;
    deviceData.fixedCurrent = 12.0f;
}

} // namespace

class TestWindowLink : public QObject
{
    Q_OBJECT

private slots:
    void vanishedModem_reopenedAtOnce_searchSucceeds();
    void heldCurrent_pageChangeNeverLocksButtonsForGood_data();
    void heldCurrent_pageChangeNeverLocksButtonsForGood();
    void factoryTestStop_onlyForMakerDevice_data();
    void factoryTestStop_onlyForMakerDevice();
};

void TestWindowLink::vanishedModem_reopenedAtOnce_searchSucceeds()
{
    WindowFixture f;
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    // A budget long enough that the close is still pending when the user reopens.
    f.window->worker()->master()->timeoutMs = 200;
    f.window->worker()->master()->retryCount = 8;
    SimFaults silent;
    silent.silent = true;
    f.sim.setFaults(silent);
    f.sim.clearRequests();
    f.button("pushButton_yibiaoxinxi")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.sim.requests().isEmpty(), 2000);

    f.sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"), 3000);
    QVERIFY(f.portButtonsEnabled());
    f.sim.setFaults(SimFaults());
    QVERIFY(f.openPort());

    f.window->worker()->master()->timeoutMs = 150;
    f.window->worker()->master()->retryCount = 2;
    QVERIFY(f.search(8000));
    QVERIFY(f.window->serialLink()->isOpen());
    QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("关闭端口"));
    // Still open once the worker has long finished with the old port.
    QTest::qWait(400);
    QVERIFY(f.window->serialLink()->isOpen());
    QVERIFY(f.window->worker()->isPortOpen());
}

void TestWindowLink::heldCurrent_pageChangeNeverLocksButtonsForGood_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("search");
    QTest::newRow("port closed") << false << false;
    QTest::newRow("port open, no device found") << true << false;
    QTest::newRow("device found") << true << true;
}

void TestWindowLink::heldCurrent_pageChangeNeverLocksButtonsForGood()
{
    QFETCH(bool, open);
    QFETCH(bool, search);
    WindowFixture f;
    if (open)
        QVERIFY(f.openPort());
    if (search)
        QVERIFY(f.search());
    setHeldCurrent(f);
    auto *pages = f.w<QStackedWidget>("stackedWidget");
    pages->setCurrentIndex(pages->currentIndex() == 5 ? 6 : 5);
    QVERIFY(f.requests.contains(QStringLiteral("exit fix current")));
    {
        QMutexLocker lock(&f.window->worker()->mutex);
        QCOMPARE(deviceData.fixedCurrent, 0.0f);
    }
    if (search) {
        // The worker answers this one, and its result gives the buttons back.
        QVERIFY(!f.portButtonsEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(f.portButtonsEnabled(), 3000);
        QVERIFY(!f.sim.currentFixed());
    } else {
        QVERIFY(f.portButtonsEnabled());
        QTest::qWait(300);
        QVERIFY(f.portButtonsEnabled());
    }
}

void TestWindowLink::factoryTestStop_onlyForMakerDevice_data()
{
    QTest::addColumn<int>("manufacturer");
    QTest::addColumn<int>("hardwareRevision");
    QTest::addColumn<bool>("maker");
    QTest::newRow("maker's transmitter") << int(makerManufacturerId) << 9 << true;
    QTest::newRow("another maker") << 0x26 << 9 << false;
    QTest::newRow("maker's code, other hardware") << int(makerManufacturerId) << 8 << false;
}

void TestWindowLink::factoryTestStop_onlyForMakerDevice()
{
    QFETCH(int, manufacturer);
    QFETCH(int, hardwareRevision);
    QFETCH(bool, maker);
    SimConfig config;
    config.manufacturerId = quint8(manufacturer);
    config.hardwareRevision = quint8(hardwareRevision);
    WindowFixture f(config);
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    {
        QMutexLocker lock(&f.window->worker()->mutex);
        deviceData.factoryTestStatus = 3;
    }
    auto *pages = f.w<QStackedWidget>("stackedWidget");
    for (int page : {5, 6, 3}) {
        pages->setCurrentIndex(page);
        QTRY_VERIFY_WITH_TIMEOUT(
                !f.window->worker()->isRequestPending(QStringLiteral("stop chuchang jiance")),
                3000);
    }
    QCOMPARE(countCommand(f.sim, 137) > 0, maker);
    QMutexLocker lock(&f.window->worker()->mutex);
    QCOMPARE(int(deviceData.factoryTestStatus), 0);
}

QTEST_MAIN(TestWindowLink)
#include "tst_window_link.moc"
