// Page 19 behind a small host: its buttons, the coloured log, the closed port, the test record
// and a failing record write; then whole runs against the simulated transmitter and its bench.
#include "benchcontrol.h"
#include "factorytestpage.h"
#include "pageformat.h"
#include "pagehost.h"
#include "workerfixture.h"

#include <QtTest>

#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>

#include <functional>

namespace {

class FakeHost : public PageHost
{
public:
    bool portOpen = true;
    QStringList requests, warnings, statuses;
    QMutex ownLock;
    QMutex *lock = &ownLock;
    std::function<void(const QString &)> forward;
    std::function<kvhart_master::Addressing()> address = [] {
        return kvhart_master::Addressing{0, {0x9A, 0x10, 0x12, 0x34, 0x56}};
    };

    bool isPortOpen() const override { return portOpen; }
    bool portReady() override
    {
        if (!portOpen)
            warnings << "请先打开端口！";
        return portOpen;
    }
    void startRequest(const QString &r, const QString &, WhileBusy) override { sendRequest(r); }
    void sendRequest(const QString &r) override
    {
        requests << r;
        if (forward)
            forward(r);
    }
    void setPortButtonsEnabled(bool) override { }
    void showStatus(const QString &text) override { statuses << text; }
    void showPage(int) override { }
    int currentPage() const override { return pageindex::FactoryTest; }
    void warn(const QString &text) override { warnings << text; }
    bool ask(const QString &, const QString &) override { return false; }
    int runCentred(QDialog &) override { return 0; }
    QMutex &dataLock() override { return *lock; }
    kvhart_master::Addressing addressing() override { return address(); }
    QValidator *realValidator() const override { return nullptr; }
    QValidator *u16Validator() const override { return nullptr; }
    QValidator *u24Validator() const override { return nullptr; }
};

// The page with the linearization write stood in for: the port check, then the request.
struct PageBench
{
    FakeHost host;
    FactoryTestPage page{host};
    QTemporaryDir dir;
    int ticks = 0;
    int progress = 0;

    PageBench()
    {
        page.record().setPath(dir.filePath("factory-test-log.csv"));
        page.setCalibrationWrite([this] {
            if (host.portReady())
                host.sendRequest("write jiaozhunshuju");
        });
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            page.tick(progress, ++ticks % 10 == 0 ? SecondMark::Elapsed : SecondMark::No);
        QCoreApplication::processEvents(); // deferred writes and warnings
    }
    void click(const char *name) { page.findChild<QPushButton *>(name)->click(); }
    QTextBrowser *log() { return page.findChild<QTextBrowser *>("textBrowser_chuchangjiance"); }
    QStringList records()
    {
        QFile f(page.record().path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split('\n')
                                           : QStringList();
    }
};

// The words of the log's last line with their colours, as "word@r,g,b".
QStringList lastLineWords(QTextBrowser *log)
{
    QStringList out;
    const QTextBlock block = log->document()->lastBlock();
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QColor c = it.fragment().charFormat().foreground().color();
        out << QStringLiteral("%1@%2,%3,%4")
                        .arg(it.fragment().text())
                        .arg(c.red())
                        .arg(c.green())
                        .arg(c.blue());
    }
    return out;
}

QStringList noMatchingSignal;
void catchNoMatchingSignal(QtMsgType, const QMessageLogContext &, const QString &msg)
{
    if (msg.contains("No matching signal"))
        noMatchingSignal << msg;
}

} // namespace

class TestFactoryTestPage : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetDeviceData(deviceData); }
    void buttons_reachTheirSlotsByName();
    void portClosed_staysAtStep2AfterTheWarning();
    void failedAndAbandonedRuns_redWordAndOneRecordEach();
    void recordWriteFailure_isWarnedNotSwallowed();
    void staleReadings_doNotPassTheFirstChecks();
    void endToEnd_fullRunAgainstSimulator_passesAndIsRecorded();
    void endToEnd_benchLinesOnly_passAgainstAWrittenRange();
};

void TestFactoryTestPage::buttons_reachTheirSlotsByName()
{
    auto previous = qInstallMessageHandler(catchNoMatchingSignal);
    PageBench b;
    qInstallMessageHandler(previous);
    QVERIFY2(noMatchingSignal.isEmpty(), qPrintable(noMatchingSignal.join('\n')));
    QCOMPARE(b.page.objectName(), QString("page_18"));
    b.click("pushButton_chuchangjiance_start");
    QCOMPARE(b.page.procedure().step(), 1);
    b.click("pushButton_chuchangjiance_yes");
    QVERIFY(b.page.procedure().pendingAnswer() == OperatorAnswer::Yes);
    b.click("pushButton_chuchangjiance_no");
    QVERIFY(b.page.procedure().pendingAnswer() == OperatorAnswer::No);
}

void TestFactoryTestPage::portClosed_staysAtStep2AfterTheWarning()
{
    PageBench b;
    b.host.portOpen = false;
    b.progress = 37;
    b.click("pushButton_chuchangjiance_start");
    b.tick(300);
    QCOMPARE(b.page.procedure().step(), 2);
    QCOMPARE(b.host.warnings, QStringList{"请先打开端口！"});
    QVERIFY(b.host.requests.isEmpty());
    QCOMPARE(b.log()->toPlainText(), QString("开始测试\n写入测试数据...37%"));
}

void TestFactoryTestPage::failedAndAbandonedRuns_redWordAndOneRecordEach()
{
    PageBench b;
    pagefmt::packText(deviceData.tag, sizeof deviceData.tag, "PT-101", pagefmt::LetterCase::Keep);
    pagefmt::put24(deviceData.sensorSerial, 70000);
    b.click("pushButton_chuchangjiance_start");
    b.tick();
    QCOMPARE(b.host.requests, QStringList{"write jiaozhunshuju"});
    b.page.calibrationWriteFinished(CalibrationWrite::Failed);
    b.tick();
    QCOMPARE(b.page.procedure().step(), 0);
    QCOMPARE(lastLineWords(b.log()), (QStringList{"写入测试数据...@0,0,0", "failed@200,0,0"}));

    b.page.leavePage(); // idle: the polling stop, no record
    b.click("pushButton_chuchangjiance_start");
    b.tick(3);
    b.page.leavePage();
    QCOMPARE(b.host.requests.count("stop chuchang jiance"), 2);
    QVERIFY(b.host.warnings.isEmpty());

    const QStringList lines = b.records();
    QCOMPARE(lines.size(), 4); // header, two records, the empty rest after the last newline
    QCOMPARE(lines[0], FactoryTestLog::header());
    QVERIFY2(lines[1].contains(",9A10123456,PT-101,70000,2,failed,write failed,,,,,"),
             qPrintable(lines[1]));
    QVERIFY2(lines[2].endsWith(",2,failed,page left,,,,,"), qPrintable(lines[2]));
    QVERIFY(lines[3].isEmpty());
}

void TestFactoryTestPage::recordWriteFailure_isWarnedNotSwallowed()
{
    PageBench b;
    b.page.record().setPath(b.dir.path()); // a directory cannot take the record
    b.click("pushButton_chuchangjiance_start");
    b.tick();
    b.page.leavePage();
    QCOMPARE(b.page.procedure().step(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(b.host.warnings.size(), 1);
    QVERIFY(b.host.warnings[0].startsWith("出厂检测记录写入失败：" + b.dir.path()));
    QCOMPARE(b.host.statuses, QStringList{"出厂检测记录写入失败"});

    // A record cut short earlier does not swallow the next one.
    QFile cut(b.dir.filePath("cut.csv"));
    QVERIFY(cut.open(QIODevice::WriteOnly) && cut.write("date_time,unique\n2026-01-01 00:0") > 0);
    cut.close();
    b.page.record().setPath(cut.fileName());
    b.click("pushButton_chuchangjiance_start");
    b.page.leavePage();
    const QStringList lines = b.records();
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[1], QString("2026-01-01 00:0"));
    QVERIFY(lines[2].endsWith(",1,failed,page left,,,,,"));
}

void TestFactoryTestPage::staleReadings_doNotPassTheFirstChecks()
{
    PageBench b;
    deviceData.upperRangeValueCopy = 100.0f;
    deviceData.pv = 0.0f;                // left from another transmitter
    deviceData.tempCompSignal = 2500.0f; // left from the linearization page
    b.click("pushButton_chuchangjiance_start");
    b.tick();
    b.page.calibrationWriteFinished(CalibrationWrite::Succeeded);
    b.tick(20);
    QCOMPARE(b.page.procedure().step(), 3);
    deviceData.pv = 0.0f; // the reading "read PV" brings
    b.tick();
    b.click("pushButton_chuchangjiance_yes");
    b.tick();
    deviceData.pv = 100.0f;
    b.tick();
    b.click("pushButton_chuchangjiance_yes");
    b.tick(20);
    QCOMPARE(b.page.procedure().step(), 7);
    QVERIFY(b.log()->toPlainText().endsWith("温补信号值:inf  28S"));
    deviceData.tempCompSignal = 2500.0f; // the first poll
    b.tick();
    QCOMPARE(b.page.procedure().step(), 8);
}

// Page 19 wired to a worker that talks to the simulated transmitter, ticked by a real timer.
struct SimulatedRun
{
    WorkerFixture f;
    PageBench b;
    int progress = 0;
    QTimer tick;

    // The linearization page's write: its collection stores the range and its copies first.
    SimulatedRun(float low, float high)
    {
        b.host.lock = &f.worker.mutex;
        b.host.forward = [this](const QString &r) {
            f.request(r);
        };
        b.host.address = [this] {
            return f.worker.master()->addressing();
        };
        b.page.setCalibrationWrite([this, low, high] {
            {
                QMutexLocker lock(&f.worker.mutex);
                deviceData.lowerRangeValue = deviceData.lowerRangeValueCopy = low;
                deviceData.upperRangeValue = deviceData.upperRangeValueCopy = high;
            }
            b.host.sendRequest("write jiaozhunshuju");
        });
        QObject::connect(&f.worker, &hartThread::sendMessageToMainThread, &b.page,
                         [this](const QString &m) {
                             if (m.startsWith("set progressBar:"))
                                 progress = m.mid(16).toInt();
                             else if (m == "write jiaozhunshuju succeed")
                                 b.page.calibrationWriteFinished(CalibrationWrite::Succeeded);
                             else if (m == "write jiaozhunshuju failed")
                                 b.page.calibrationWriteFinished(CalibrationWrite::Failed);
                         });
        QObject::connect(&tick, &QTimer::timeout, &b.page, [this] {
            b.page.tick(progress, ++b.ticks % 10 == 0 ? SecondMark::Elapsed : SecondMark::No);
        });
    }

    static bool until(const std::function<bool()> &done)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < 25000)
            QTest::qWait(20);
        return done();
    }
    // Steps only move forward, and a step that waits for the bench cannot be passed over.
    bool reach(int step)
    {
        return until([&] {
            const int now = b.page.procedure().step();
            return step == 0 ? now == 0 : now >= step;
        });
    }
    // Starts the test and, on reaching each of steps 3..17, does what makes that step pass.
    void runSteps(const std::function<void()> (&bench)[15])
    {
        tick.start(100);
        b.click("pushButton_chuchangjiance_start");
        for (int step = 3; step <= 17; ++step) {
            QVERIFY2(reach(step),
                     qPrintable(QStringLiteral("stuck at step %1: %2")
                                        .arg(b.page.procedure().step())
                                        .arg(b.log()->toPlainText())));
            bench[step - 3]();
        }
        QVERIFY(reach(0));
        QCOMPARE(lastLineWords(b.log()), (QStringList{"出厂检测完成  @0,0,0", "passed@0,200,0"}));
    }
    void yes() { b.click("pushButton_chuchangjiance_yes"); }
};

void TestFactoryTestPage::endToEnd_fullRunAgainstSimulator_passesAndIsRecorded()
{
    SimulatedRun run(0.0f, 100.0f);
    WorkerFixture &f = run.f;
    QVERIFY(f.openAndSearch());
    f.sim.setFixedPv(0.0f);
    f.sim.setTemperatureSignal(2500.0f);

    const std::function<void()> bench[] = {[] {},
                                           [&] { run.yes(); },
                                           [&] { f.sim.setFixedPv(100.0f); },
                                           [&] { run.yes(); },
                                           [] {},
                                           [&] { f.sim.setTemperatureSignal(0.0f); },
                                           [&] { f.sim.setTemperatureSignal(4000.0f); },
                                           [&] { f.sim.setKeyBits(1); },
                                           [&] { f.sim.setKeyBits(0); },
                                           [&] { f.sim.setKeyBits(2); },
                                           [&] { f.sim.setKeyBits(0); },
                                           [&] { f.sim.setKeyBits(4); },
                                           [&] { f.sim.setKeyBits(0); },
                                           [&] { run.yes(); },
                                           [&] {
                                               run.yes();
                                           }};
    run.runSteps(bench);
    if (QTest::currentTestFailed())
        return;

    // The selector the poll carried, and the stop poll once the keys were done.
    QSet<int> selectors;
    quint8 lastSelector = 0xFF;
    QVERIFY(SimulatedRun::until([&] {
        selectors.clear();
        for (const SimRequest &r : f.sim.requests())
            if (r.command == 137 && !r.data.isEmpty())
                selectors << (lastSelector = quint8(r.data[0]));
        return lastSelector == 0;
    }));
    QCOMPARE(selectors, (QSet<int>{0, 1, 2}));

    const QStringList lines = run.b.records();
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[1].contains(QRegularExpression(",[0-9A-F]{4}123456,")), qPrintable(lines[1]));
    QVERIFY2(lines[1].endsWith(",17,passed,,0,100,2500,0,4000"), qPrintable(lines[1]));
}

// The same run as an operator does it: the lines typed to the simulator's bench, a range
// other than the simulator's own, which reaches it with the calibration write.
void TestFactoryTestPage::endToEnd_benchLinesOnly_passAgainstAWrittenRange()
{
    SimulatedRun run(-20.0f, 250.0f);
    WorkerFixture &f = run.f;
    QVERIFY(f.openAndSearch());
    BenchControl control(f.sim);
    QStringList answers;
    auto type = [&](const char *line) {
        return [&answers, &control, line] {
            answers << control.handleLine(QString::fromLatin1(line));
        };
    };
    const std::function<void()> bench[] = {type("pv zero"),
                                           [&] { run.yes(); },
                                           type("pv full"),
                                           [&] { run.yes(); },
                                           type("t open"),
                                           type("t vminus"),
                                           type("t vplus"),
                                           type("keys 1"),
                                           type("keys 0"),
                                           type("keys 2"),
                                           type("keys 0"),
                                           type("keys 4"),
                                           type("keys 0"),
                                           [&] { run.yes(); },
                                           [&] {
                                               run.yes();
                                           }};
    run.runSteps(bench);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(answers.mid(0, 2), (QStringList{"pv zero (-20)", "pv full (250)"}));
    for (const QString &a : answers)
        QVERIFY2(!a.startsWith("error"), qPrintable(a));

    const QStringList lines = run.b.records();
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[1].endsWith(",17,passed,,-20,250,2500,0,4000"), qPrintable(lines[1]));
}

QTEST_MAIN(TestFactoryTestPage)
#include "tst_factorytestpage.moc"
