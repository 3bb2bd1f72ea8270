// The end-of-line procedure without a window: every step's pass and fail rule, its bounds,
// the requests and selector changes, restarts, leaving the page, and the test record's lines.
#include "factorytest.h"
#include "factorytestlog.h"

#include <QtTest>

#include <limits>

namespace {

// Keeps the log as lines of coloured words, the way the page's text browser holds it.
struct Word
{
    QString text;
    LogColour colour;
};
using Line = QVector<Word>;

class RecordingSink : public FactoryTestSink
{
public:
    QVector<Line> log;
    QStringList requests;
    QVector<int> selectors;
    int writes = 0;
    QVector<FactoryRun> runs;

    QStringList lines() const
    {
        QStringList out;
        for (const Line &l : log) {
            QString s;
            for (const Word &w : l)
                s += w.text;
            out << s;
        }
        return out;
    }
    QString last() const { return lines().value(lines().size() - 1); }
    bool anyWord(const QString &word) const
    {
        for (const Line &l : log)
            for (const Word &w : l)
                if (w.text == word)
                    return true;
        return false;
    }

    void clearLog() override { log.clear(); }
    void rewriteLastLine(const QString &text) override
    {
        if (log.isEmpty())
            log.append(Line());
        log.last() = Line{{text, LogColour::Black}};
    }
    void appendLine(const QString &text) override { log.append(Line{{text, LogColour::Black}}); }
    void appendWord(const QString &word, LogColour c) override { log.last().append({word, c}); }
    void sendRequest(const QString &r) override { requests << r; }
    void setSelector(std::uint8_t s) override { selectors << s; }
    void writeCalibration() override { ++writes; }
    void forgetReading(Reading) override { }
    void runEnded(const FactoryRun &run) override { runs << run; }
};

// The procedure with a bench that meets each step's condition on request.
struct Bench
{
    RecordingSink sink;
    FactoryTest test{sink};
    FactoryTestInputs in{0.0f, 0.0f, 0, 0.0f, 100.0f, 0};
    int ticks = 0;

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            if (++ticks % 10 == 0)
                test.secondElapsed();
            test.tick(in);
        }
    }
    void seconds(int n) { tick(10 * n); }

    // Sets the bench so that the current step passes on the next tick.
    void satisfy()
    {
        static const std::uint8_t keys[] = {1, 0, 2, 0, 4, 0};
        const int s = test.step();
        if (s == 2)
            test.setCalibrationWriteResult(CalibrationWrite::Succeeded);
        else if (s == 3 || s == 5)
            in.pv = s == 3 ? in.lowerRangeCopy : in.upperRangeCopy;
        else if (s == 4 || s == 6 || s == 16 || s == 17)
            test.answer(OperatorAnswer::Yes);
        else if (s >= 7 && s <= 9)
            in.tempSignal = s == 7 ? 2500.0f : s == 8 ? 0.0f : 4000.0f;
        else if (s >= 10 && s <= 15)
            in.keyBits = keys[s - 10];
    }
    void runTo(int step)
    {
        test.start();
        tick();
        while (test.step() != step && test.step() != 0) {
            satisfy();
            tick();
        }
        QCOMPARE(test.step(), step);
    }
};

} // namespace

class TestFactoryTest : public QObject
{
    Q_OBJECT

private slots:
    void fullRun_everyConditionMet_endsPassedInGreen();
    void failure_writesFailedAndSendsItsStop_data();
    void failure_writesFailedAndSendsItsStop();
    void yesDuringZeroCheck_doesNotPassCurrentConfirmation();
    void checkBounds_data();
    void checkBounds();
    void leavingPageAtStep9_stopsPollingWithoutFailed();
    void restartAtStep12_clearsLogAndRunsAgain();
    void recordLine_quotesDeviceTextsAndLeavesUnreachedChecksEmpty();
};

void TestFactoryTest::fullRun_everyConditionMet_endsPassedInGreen()
{
    Bench b;
    b.runTo(0);
    const QStringList expected{"开始测试",
                               "写入测试数据...ok",
                               "请将模拟传感器切换到零位",
                               "主变量值:0...ok",
                               "请确认电流是否在3.5~4.5mA?  ok",
                               "请将模拟传感器切换到满度",
                               "主变量值:100...ok",
                               "请确认电流是否在19.5~20.5mA?  ok",
                               "温补信号值:2500  ok",
                               "请将V-短接到T",
                               "温补信号值:0  ok",
                               "请将V+短接到T",
                               "温补信号值:4000  ok",
                               "请按下M键  ok",
                               "请松开M键  ok",
                               "请按下S键  ok",
                               "请松开S键  ok",
                               "请按下Z键  ok",
                               "请松开Z键  ok",
                               "请确认485通讯是否正常  ok",
                               "请检查背光和液晶显示是否正常  ok",
                               "出厂检测完成  passed"};
    QCOMPARE(b.sink.lines(), expected);
    const Line &last = b.sink.log.last();
    QCOMPARE(last.size(), 2);
    QVERIFY(last[0].colour == LogColour::Black && last[1].colour == LogColour::Green);
    for (const Line &l : b.sink.log)
        if (l.size() == 2 && l[1].text == "ok")
            QVERIFY(l[1].colour == LogColour::Green);

    QCOMPARE(b.sink.requests,
             (QStringList{"read PV", "stop read PV", "start chuchang jiance",
                          "stop chuchang jiance"}));
    QCOMPARE(b.sink.selectors, (QVector<int>{1, 1, 2, 2}));
    QCOMPARE(b.sink.writes, 1);
    QCOMPARE(b.test.seconds(), std::uint8_t(30));
    QCOMPARE(b.sink.runs.size(), 1);
    const FactoryRun &run = b.sink.runs[0];
    QVERIFY(run.outcome == RunOutcome::Passed);
    QCOMPARE(run.lastStep, 17);
    QCOMPARE(run.measured[FactoryRun::PvFullScale], 100.0f);
    QCOMPARE(run.measured[FactoryRun::TempVPlus], 4000.0f);
}

void TestFactoryTest::failure_writesFailedAndSendsItsStop_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<bool>("pressNo");
    QTest::addColumn<bool>("atOnce");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<QString>("stop");

    QTest::newRow("write refused") << 2 << false << true << "写入测试数据...failed"
                                   << "";
    QTest::newRow("zero times out") << 3 << false << false << "主变量值:50...failed"
                                    << "stop read PV";
    QTest::newRow("no at 4mA") << 4 << true << true << "请确认电流是否在3.5~4.5mA?  failed"
                               << "stop read PV";
    QTest::newRow("4mA times out") << 4 << false << false << "请确认电流是否在3.5~4.5mA?  failed"
                                   << "stop read PV";
    QTest::newRow("no at 20mA") << 6 << true << true << "请确认电流是否在19.5~20.5mA?  failed"
                                << "stop read PV";
    QTest::newRow("V- times out") << 8 << false << false << "温补信号值:2500  failed"
                                  << "stop chuchang jiance";
    QTest::newRow("M held") << 11 << false << false << "请松开M键  failed"
                            << "stop chuchang jiance";
    QTest::newRow("Z never released") << 15 << false << false << "请松开Z键  failed"
                                      << "stop chuchang jiance";
    QTest::newRow("no at 485 waits") << 16 << true << false << "请确认485通讯是否正常  failed"
                                     << "";
    QTest::newRow("display times out")
            << 17 << true << false << "请检查背光和液晶显示是否正常  failed"
            << "";
}

void TestFactoryTest::failure_writesFailedAndSendsItsStop()
{
    QFETCH(int, step);
    QFETCH(bool, pressNo);
    QFETCH(bool, atOnce);
    QFETCH(QString, lastLine);
    QFETCH(QString, stop);

    Bench b;
    b.runTo(step);
    b.in.pv = 50.0f; // neither end of the range
    const int requestsBefore = b.sink.requests.size();
    if (step == 2)
        b.test.setCalibrationWriteResult(CalibrationWrite::Failed);
    if (pressNo)
        b.test.answer(OperatorAnswer::No);
    if (!atOnce) {
        // A 30 s limit lasts between 29 and 30 seconds.
        b.seconds(28);
        QCOMPARE(b.test.step(), step);
        QVERIFY(!b.sink.anyWord("failed"));
        b.seconds(2);
    } else {
        b.tick();
    }
    QCOMPARE(b.test.step(), 0);
    QCOMPARE(b.sink.last(), lastLine);
    QVERIFY(b.sink.log.last().last().colour == LogColour::Red);
    QCOMPARE(b.sink.requests.mid(requestsBefore),
             stop.isEmpty() ? QStringList() : QStringList{stop});
    QCOMPARE(b.sink.runs.size(), 1);
    QCOMPARE(b.sink.runs[0].lastStep, step);
    QVERIFY(b.sink.runs[0].outcome == RunOutcome::Failed);
}

void TestFactoryTest::yesDuringZeroCheck_doesNotPassCurrentConfirmation()
{
    Bench b;
    b.runTo(3);
    b.in.pv = 50.0f;
    b.test.answer(OperatorAnswer::Yes);
    b.tick(5);
    b.in.pv = 0.0f;
    b.tick();
    QCOMPARE(b.test.step(), 4);
    b.tick(50);
    QCOMPARE(b.test.step(), 4);
    QCOMPARE(b.sink.last(), QString("请确认电流是否在3.5~4.5mA?  25S"));
}

void TestFactoryTest::checkBounds_data()
{
    const float inf = std::numeric_limits<float>::infinity();
    QTest::addColumn<int>("step");
    QTest::addColumn<float>("lower");
    QTest::addColumn<float>("upper");
    QTest::addColumn<float>("value");
    QTest::addColumn<bool>("passes");
    QTest::newRow("PV 2.4 near zero") << 3 << 0.f << 100.f << 2.4f << true;
    QTest::newRow("PV 2.6 near zero") << 3 << 0.f << 100.f << 2.6f << false;
    QTest::newRow("PV below zero") << 3 << 0.f << 100.f << -2.4f << true;
    QTest::newRow("PV 97.6 near full") << 5 << 0.f << 100.f << 97.6f << true;
    QTest::newRow("PV 102.6 past full") << 5 << 0.f << 100.f << 102.6f << false;
    QTest::newRow("PV reversed range") << 3 << 100.f << 0.f << 97.6f << true;
    QTest::newRow("PV span 0") << 3 << 50.f << 50.f << 50.f << false;
    QTest::newRow("PV never read") << 3 << 0.f << 100.f << inf << false;
    QTest::newRow("T 2400 open") << 7 << 0.f << 100.f << 2400.f << false;
    QTest::newRow("T 2401 open") << 7 << 0.f << 100.f << 2401.f << true;
    QTest::newRow("T 2599 open") << 7 << 0.f << 100.f << 2599.f << true;
    QTest::newRow("T -99 V-") << 8 << 0.f << 100.f << -99.f << true;
    QTest::newRow("T 100 V-") << 8 << 0.f << 100.f << 100.f << false;
    QTest::newRow("T 3900.5 V+") << 9 << 0.f << 100.f << 3900.5f << true;
    QTest::newRow("T 4100 V+") << 9 << 0.f << 100.f << 4100.f << false;
}

void TestFactoryTest::checkBounds()
{
    QFETCH(int, step);
    QFETCH(float, lower);
    QFETCH(float, upper);
    QFETCH(float, value);
    QFETCH(bool, passes);

    Bench b;
    b.in.lowerRangeCopy = lower;
    b.in.upperRangeCopy = upper;
    b.runTo(step);
    (step < 7 ? b.in.pv : b.in.tempSignal) = value;
    b.tick();
    QCOMPARE(b.test.step(), passes ? step + 1 : step);
    if (!passes) {
        b.seconds(30);
        QCOMPARE(b.test.step(), 0);
        QCOMPARE(b.sink.requests.last(),
                 QString(step < 7 ? "stop read PV" : "stop chuchang jiance"));
    }
}

void TestFactoryTest::leavingPageAtStep9_stopsPollingWithoutFailed()
{
    Bench b;
    b.runTo(9);
    b.in.tempSignal = 3000.0f;
    b.tick();
    b.test.abandon();
    QCOMPARE(b.test.step(), 0);
    QCOMPARE(b.sink.requests.last(), QString("stop chuchang jiance"));
    QVERIFY(!b.sink.anyWord("failed"));
    QVERIFY(b.sink.last().startsWith("温补信号值:3000  "));
    QCOMPARE(b.sink.runs.size(), 1);
    QVERIFY(b.sink.runs[0].outcome == RunOutcome::Abandoned);
    QCOMPARE(b.sink.runs[0].lastStep, 9);
    QCOMPARE(b.sink.runs[0].measured[FactoryRun::TempVPlus], 3000.0f);

    // Leaving again while idle still stops the polling but records nothing.
    b.test.abandon();
    QCOMPARE(b.sink.requests.count("stop chuchang jiance"), 2);
    QCOMPARE(b.sink.runs.size(), 1);
}

void TestFactoryTest::restartAtStep12_clearsLogAndRunsAgain()
{
    Bench b;
    b.runTo(12);
    const int requestsBefore = b.sink.requests.size();
    b.test.start();
    QCOMPARE(b.test.step(), 1);
    QVERIFY(b.sink.log.isEmpty());
    QCOMPARE(b.sink.requests.size(), requestsBefore); // running polling is left alone
    QCOMPARE(b.sink.runs.size(), 1);
    QCOMPARE(b.sink.runs[0].lastStep, 12);
    b.tick();
    QCOMPARE(b.sink.lines(), (QStringList{"开始测试", "写入测试数据..."}));
    QCOMPARE(b.sink.writes, 2);
    QVERIFY(b.test.writeResult() == CalibrationWrite::Pending);

    b.in.keyBits = 0;
    while (b.test.step() != 0) {
        b.satisfy();
        b.tick();
    }
    QCOMPARE(b.sink.last(), QString("出厂检测完成  passed"));
}

void TestFactoryTest::recordLine_quotesDeviceTextsAndLeavesUnreachedChecksEmpty()
{
    FactoryRun run;
    run.started = QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7));
    run.lastStep = 4;
    run.reason = "no";
    run.measured[FactoryRun::PvZero] = 0.125f;
    const QString line = FactoryTestLog::line(run, {"1A10123456", "=A,\"B", "70000"});
    QCOMPARE(line,
             QString("2026-03-04 05:06:07,1A10123456,\"'=A,\"\"B\",70000,4,failed,no,"
                     "0.125,,,,"));
    QCOMPARE(line.count(','), FactoryTestLog::header().count(',') + 1); // one inside quotes
}

QTEST_APPLESS_MAIN(TestFactoryTest)
#include "tst_factorytest.moc"
