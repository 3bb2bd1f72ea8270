// Loop-check arithmetic against values worked out by hand: errors in percent of span at the
// range ends, asymmetric limits, a reading exactly at a limit, hysteresis, refused set-ups.
#include "certificate.h"
#include "loopcheck.h"
#include "standards.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace loopcheck;

namespace {

Range range(double lower, double upper, bool squareRoot = false)
{
    Range r;
    r.lowerValue = lower;
    r.upperValue = upper;
    r.unit = QStringLiteral("kPa");
    r.squareRoot = squareRoot;
    return r;
}

} // namespace

class TstLoopCheck : public QObject
{
    Q_OBJECT

private slots:
    void evaluate_errorsAndVerdict_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<bool>("squareRoot");
        QTest::addColumn<double>("cutoff");  // small-signal cut-off, % of range
        QTest::addColumn<int>("cutoffMode"); // 0 at zero, 1 at full, 2 both
        QTest::addColumn<double>("tolLow");
        QTest::addColumn<double>("tolHigh");
        QTest::addColumn<double>("applied");
        QTest::addColumn<double>("pv");
        QTest::addColumn<double>("currentMa");
        QTest::addColumn<double>("ammeterMa");
        QTest::addColumn<double>("pvError");
        QTest::addColumn<double>("currentError"); // NaN: not measured, not judged
        QTest::addColumn<int>("cut");              // the Cutoff that governs the output
        QTest::addColumn<bool>("pass");
        const double none = std::numeric_limits<double>::quiet_NaN();
        const int no = int(Cutoff::None);
        // 0..100 kPa, +-0.25 %: 1 kPa is 1 %, 0.16 mA is 1 %.
        QTest::newRow("lower end, exact") << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25
                                          << 0.0 << 0.0 << 4.0 << 4.0 << 0.0 << 0.0 << no << true;
        QTest::newRow("upper end, PV +0.2") << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25
                                            << 100.0 << 100.2 << 20.0 << none << 0.2 << none << no
                                            << true;
        QTest::newRow("offset 0.5 at mid") << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25
                                           << 50.0 << 50.5 << 12.08 << 12.08 << 0.5 << 0.5 << no
                                           << false;
        QTest::newRow("exactly at the upper limit")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 50.0 << 50.25 << 12.04
                << 12.04 << 0.25 << 0.25 << no << true;
        QTest::newRow("exactly at the lower limit")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 50.0 << 49.75 << 11.96
                << 11.96 << -0.25 << -0.25 << no << true;
        QTest::newRow("a shown 0.001 over the limit")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 50.0 << 50.2506 << 12.0
                << none << 0.251 << none << no << false;
        QTest::newRow("float PV noise is no error")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 12.6 << double(12.6f)
                << 6.016 << none << 0.0 << none << no << true;
        QTest::newRow("asymmetric: -0.28 inside -0.3")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.3 << 0.1 << 50.0 << 49.72 << 12.0
                << none << -0.28 << none << no << true;
        QTest::newRow("asymmetric: +0.12 outside +0.1")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.3 << 0.1 << 50.0 << 50.12 << 12.0
                << none << 0.12 << none << no << false;
        // Command 2 says 16.056 mA at 75 %: the transmitter's own word, so no verdict on it.
        QTest::newRow("reported current off, not measured: PV decides")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 75.0 << 75.0 << 16.056
                << none << 0.0 << none << no << true;
        QTest::newRow("measured current out while PV is in")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 75.0 << 75.0 << 16.0
                << 16.056 << 0.0 << 0.35 << no << false;
        QTest::newRow("ammeter judged, not the device's current")
                << 0.0 << 100.0 << false << 0.0 << 0 << -0.25 << 0.25 << 50.0 << 50.0 << 12.0
                << 12.1 << 0.0 << 0.625 << no << false;
        QTest::newRow("-50..50: span 100, 0 is mid")
                << -50.0 << 50.0 << false << 0.0 << 0 << -0.25 << 0.25 << 0.0 << 0.1 << 12.016
                << 12.016 << 0.1 << 0.1 << no << true;
        QTest::newRow("reversed 100..0: 25 kPa is 75 %")
                << 100.0 << 0.0 << false << 0.0 << 0 << -0.25 << 0.25 << 25.0 << 25.1 << 16.0
                << 16.0 << 0.1 << 0.0 << no << true;
        QTest::newRow("square root: 25 % flow is 12 mA")
                << 0.0 << 100.0 << true << 0.0 << 0 << -0.25 << 0.25 << 25.0 << 25.0 << 12.0
                << 12.0 << 0.0 << 0.0 << no << true;
        QTest::newRow("span 0.2: 0.0005 is 0.25 %")
                << 1.0 << 1.2 << false << 0.0 << 0 << -0.25 << 0.25 << 1.2 << 1.2005 << 20.0
                << 20.0 << 0.25 << 0.0 << no << true;
        // Below the cut-off the output is held; the curve's 4.08 mA would be a 0.5 % error.
        QTest::newRow("below the zero cut-off: 4 mA expected")
                << 0.0 << 100.0 << false << 1.0 << 0 << -0.25 << 0.25 << 0.5 << 0.5 << 4.0 << 4.0
                << 0.0 << 0.0 << int(Cutoff::SmallSignalZero) << true;
        QTest::newRow("below the zero cut-off, curve's current fails")
                << 0.0 << 100.0 << false << 1.0 << 0 << -0.25 << 0.25 << 0.5 << 0.5 << 4.08
                << 4.08 << 0.0 << 0.5 << int(Cutoff::SmallSignalZero) << false;
        QTest::newRow("above the zero cut-off: the curve")
                << 0.0 << 100.0 << false << 1.0 << 0 << -0.25 << 0.25 << 2.0 << 2.0 << 4.32 << 4.32
                << 0.0 << 0.0 << no << true;
        QTest::newRow("full-scale cut-off: 20 mA near the top")
                << 0.0 << 100.0 << false << 1.0 << 1 << -0.25 << 0.25 << 99.5 << 99.5 << 20.0
                << 20.0 << 0.0 << 0.0 << int(Cutoff::SmallSignalFull) << true;
        QTest::newRow("full-scale cut-off leaves zero alone")
                << 0.0 << 100.0 << false << 1.0 << 1 << -0.25 << 0.25 << 0.5 << 0.5 << 4.08
                << 4.08 << 0.0 << 0.0 << no << true;
        QTest::newRow("both ends: top cut")
                << 0.0 << 100.0 << false << 2.0 << 2 << -0.25 << 0.25 << 99.0 << 99.0 << 20.0
                << 20.0 << 0.0 << 0.0 << int(Cutoff::SmallSignalFull) << true;
        // Square root at 0.5 % of range would be 7.07 % flow, 5.131 mA, without the cut-off.
        QTest::newRow("square root below the low-flow cut-off: 4 mA")
                << 0.0 << 100.0 << true << 0.0 << 0 << -0.25 << 0.25 << 0.5 << 0.5 << 4.0 << 4.0
                << 0.0 << 0.0 << int(Cutoff::LowFlow) << true;
        QTest::newRow("square root above the low-flow cut-off: 20 % flow")
                << 0.0 << 100.0 << true << 0.0 << 0 << -0.25 << 0.25 << 4.0 << 4.0 << 7.2 << 7.2
                << 0.0 << 0.0 << no << true;
        QTest::newRow("square root, small-signal cut-off above low flow")
                << 0.0 << 100.0 << true << 3.0 << 0 << -0.25 << 0.25 << 2.0 << 2.0 << 4.0 << 4.0
                << 0.0 << 0.0 << int(Cutoff::SmallSignalZero) << true;
    }
    void evaluate_errorsAndVerdict()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(bool, squareRoot);
        QFETCH(double, cutoff);
        QFETCH(int, cutoffMode);
        QFETCH(double, tolLow);
        QFETCH(double, tolHigh);
        QFETCH(double, applied);
        QFETCH(double, pv);
        QFETCH(double, currentMa);
        QFETCH(double, ammeterMa);
        QFETCH(double, pvError);
        QFETCH(double, currentError);
        QFETCH(int, cut);
        QFETCH(bool, pass);
        Range r = range(lower, upper, squareRoot);
        r.cutoffPercent = cutoff;
        r.cutoffMode = cutoffMode;
        r.lowFlowCutoffPercent = kLowFlowCutoffPercent;
        QVERIFY(checkRange(r).isEmpty());
        const Reading reading = evaluate(r, Tolerance{tolLow, tolHigh}, 50.0, Direction::Up, applied,
                                         pv, currentMa, ammeterMa);
        QCOMPARE(reading.pvErrorPercent, pvError);
        if (std::isnan(currentError)) {
            QVERIFY(!reading.currentMeasured());
            QVERIFY(std::isnan(reading.currentErrorPercent));
        } else {
            QCOMPARE(reading.currentErrorPercent, currentError);
        }
        QCOMPARE(int(reading.cutoff), cut);
        QCOMPARE(reading.pass(), pass);
    }

    // Worked examples on a 0..100 kPa transmitter, tolerance +-0.25 % (TUR = 0.5 / 2U). The
    // pressure standard spans 0..700 kPa; the current standard's U is absolute, 16 mA = 100 %.
    void standards_uncertaintyTurAndDecision_data()
    {
        QTest::addColumn<double>("uAbs");    // kPa
        QTest::addColumn<double>("uRdg");    // % of reading
        QTest::addColumn<double>("uSpan");   // % of the standard's 700 kPa
        QTest::addColumn<double>("currentU"); // mA; NaN: no current standard or reading
        QTest::addColumn<double>("applied");
        QTest::addColumn<double>("pvError");
        QTest::addColumn<double>("currentError"); // NaN: not measured
        QTest::addColumn<bool>("guarded");
        QTest::addColumn<double>("u"); // % of span
        QTest::addColumn<QString>("tur");
        QTest::addColumn<int>("outcome");
        const double none = std::numeric_limits<double>::quiet_NaN();
        const int P = int(Outcome::Pass), CP = int(Outcome::ConditionalPass),
                  CF = int(Outcome::ConditionalFail), F = int(Outcome::Fail);
        QTest::newRow("% of reading at 100 kPa: U 0.025 %, 10:1")
                << 0.0 << 0.025 << 0.0 << none << 100.0 << 0.1 << none << true << 0.025 << "10.0:1" << P;
        QTest::newRow("% of reading at 20 kPa: U 0.005 %")
                << 0.0 << 0.025 << 0.0 << none << 20.0 << 0.1 << none << true << 0.005 << "50.0:1" << P;
        QTest::newRow("% of span: 0.01 % of 700 kPa is 0.07 %, under 4:1")
                << 0.0 << 0.0 << 0.01 << none << 50.0 << 0.0 << none << true << 0.07 << "3.6:1" << P;
        QTest::newRow("combined: 0.01 kPa + 0.01 % rdg at 50 kPa")
                << 0.01 << 0.01 << 0.0 << none << 50.0 << 0.0 << none << false << 0.015 << "16.7:1" << P;
        QTest::newRow("two references: 0.03 % and 0.0048 mA, root sum of squares")
                << 0.03 << 0.0 << 0.0 << 0.0048 << 50.0 << 0.0 << 0.1 << true << 0.0424264 << "5.9:1" << P;
        QTest::newRow("two references, current unmeasured: the pressure's alone")
                << 0.03 << 0.0 << 0.0 << 0.0048 << 50.0 << 0.0 << none << true << 0.03 << "8.3:1" << P;
        // U = 0.05 %: pass up to 0.20, conditional pass to 0.25, conditional fail to 0.30.
        QTest::newRow("guarded: 0.19 pass") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.19 << none << true << 0.05 << "5.0:1" << P;
        QTest::newRow("guarded: 0.20 at the guard limit, pass") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.2 << none << true << 0.05 << "5.0:1" << P;
        QTest::newRow("guarded: 0.23 conditional pass") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.23 << none << true << 0.05 << "5.0:1" << CP;
        QTest::newRow("guarded: -0.25 at the limit, conditional pass") << 0.05 << 0.0 << 0.0 << none << 50.0 << -0.25 << none << true << 0.05 << "5.0:1" << CP;
        QTest::newRow("guarded: 0.27 conditional fail") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.27 << none << true << 0.05 << "5.0:1" << CF;
        QTest::newRow("guarded: -0.30 conditional fail") << 0.05 << 0.0 << 0.0 << none << 50.0 << -0.3 << none << true << 0.05 << "5.0:1" << CF;
        QTest::newRow("guarded: 0.31 fail") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.31 << none << true << 0.05 << "5.0:1" << F;
        QTest::newRow("guarded: PV pass, measured current conditional fail")
                << 0.05 << 0.0 << 0.0 << 0.0 << 50.0 << 0.0 << 0.27 << true << 0.05 << "5.0:1" << CF;
        QTest::newRow("simple: 0.23 pass") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.23 << none << false << 0.05 << "5.0:1" << P;
        QTest::newRow("simple: 0.27 fail") << 0.05 << 0.0 << 0.0 << none << 50.0 << 0.27 << none << false << 0.05 << "5.0:1" << F;
    }
    void standards_uncertaintyTurAndDecision()
    {
        QFETCH(double, uAbs);
        QFETCH(double, uRdg);
        QFETCH(double, uSpan);
        QFETCH(double, currentU);
        QFETCH(double, applied);
        QFETCH(double, pvError);
        QFETCH(double, currentError);
        QFETCH(bool, guarded);
        QFETCH(double, u);
        QFETCH(QString, tur);
        QFETCH(int, outcome);
        Run run;
        run.range = range(0, 100);
        run.setup.rule = guarded ? DecisionRule::GuardBanded : DecisionRule::Simple;
        Standard p;
        p.name = QStringLiteral("P");
        p.rangeLow = 0;
        p.rangeHigh = 700;
        p.unit = QStringLiteral("kPa");
        p.uAbsolute = uAbs;
        p.uPercentReading = uRdg;
        p.uPercentSpan = uSpan;
        p.due = QDate::currentDate().addYears(1);
        QVERIFY2(checkStandard(p).isEmpty(), qPrintable(checkStandard(p)));
        run.setup.pressureStandard = p;
        if (!std::isnan(currentU)) {
            Standard i = p;
            i.quantity = Quantity::Current;
            i.rangeHigh = 30;
            i.uPercentReading = i.uPercentSpan = 0;
            i.uAbsolute = currentU;
            run.setup.currentStandard = i;
        }
        Reading r;
        r.applied = applied;
        r.pvErrorPercent = pvError;
        if (!std::isnan(currentError)) {
            r.ammeterMa = 12.0;
            r.currentErrorPercent = currentError;
        }
        run.readings << r;
        QVERIFY(std::fabs(readingUncertaintyPercent(run, r) - u) < 1e-6);
        QCOMPARE(turText(runTur(run)), tur);
        QCOMPARE(int(readingOutcome(run, r)), outcome);
        QCOMPARE(int(runOutcome(run)), outcome);
    }

    void standards_dueDatesAndRefusals()
    {
        const QDate today(2026, 12, 10);
        QCOMPARE(dueState(today.addDays(-1), today), DueState::Expired);
        QCOMPARE(dueState(QDate(), today), DueState::Expired);
        QCOMPARE(dueState(today, today), DueState::DueSoon);
        QCOMPARE(dueState(today.addDays(kDueWarningDays), today), DueState::DueSoon);
        QCOMPARE(dueState(today.addDays(kDueWarningDays + 1), today), DueState::Valid);
        Standard s;
        s.name = QStringLiteral("PC-200");
        s.uAbsolute = 0.01;
        s.due = today.addDays(-1);
        QVERIFY(dueMessage(s, today).contains(QStringLiteral("已过期")));
        s.due = today.addDays(12);
        QVERIFY(dueMessage(s, today).contains(QStringLiteral("12天内")));
        QVERIFY(checkStandard(s).isEmpty());
        s.uAbsolute = 0;
        QVERIFY(checkStandard(s).contains(QStringLiteral("不确定度")));
        s.uAbsolute = -1;
        QVERIFY(checkStandard(s).contains(QStringLiteral("不小于0")));
        s.uAbsolute = 0.01;
        s.k = 0.5;
        QVERIFY(checkStandard(s).contains(QStringLiteral("包含因子")));
        s.k = 2;
        s.rangeHigh = s.rangeLow;
        QVERIFY(checkStandard(s).contains(QStringLiteral("量程")));
    }

    // A certificate is of one transmitter: mixed runs are refused and nothing is written.
    void certificate_refusesTwoTransmitters()
    {
        QTemporaryDir dir;
        Certificate c;
        Run a;
        a.identity.uniqueId = QStringLiteral("11-22-000001");
        a.readings << Reading();
        Run b = a;
        b.kind = RunKind::AsLeft;
        b.identity.uniqueId = QStringLiteral("11-22-000002");
        c.asFound = a;
        c.asLeft = b;
        const QString path = dir.filePath(QStringLiteral("mixed.pdf"));
        QVERIFY(writeCertificate(path, c).contains(QStringLiteral("不是同一台变送器")));
        QVERIFY(!QFile::exists(path));
    }

    void badSetup_isRefusedWithAMessage_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("expected"); // part of the message; empty: accepted
        QTest::newRow("zero span") << checkRange(range(20.0, 20.0)) << "量程为零";
        QTest::newRow("float-equal span") << checkRange(range(20.0, 20.0 + 1e-9)) << "量程为零";
        QTest::newRow("NaN range") << checkRange(range(0.0, std::nan(""))) << "量程无效";
        QTest::newRow("lower limit above zero") << checkTolerance({0.1, 0.25}) << "允差下限";
        QTest::newRow("both limits zero") << checkTolerance({0.0, 0.0}) << "不能都为0";
        QTest::newRow("one point") << checkPoints({50}) << "2~21";
        QTest::newRow("22 points") << checkPoints(QVector<double>(22, 50.0)) << "2~21";
        QTest::newRow("point above the range") << checkPoints({0, 50, 120}) << "120% 超出量程";
        QTest::newRow("point below the range") << checkPoints({-5, 50}) << "-5% 超出量程";
        QTest::newRow("applied far outside") << checkApplied(range(0, 100), 250.0) << "超出量程";
        QTest::newRow("applied just under zero") << checkApplied(range(0, 100), -0.02) << "";
        QTest::newRow("one-sided tolerance") << checkTolerance({0.0, 0.5}) << "";
        QTest::newRow("21 points") << checkPoints(QVector<double>(21, 50.0)) << "";
    }
    void badSetup_isRefusedWithAMessage()
    {
        QFETCH(QString, message);
        QFETCH(QString, expected);
        if (expected.isEmpty())
            QVERIFY2(message.isEmpty(), qPrintable(message));
        else
            QVERIFY2(message.contains(expected), qPrintable(message));
    }

    void typedPoints_parseOrSayWhichPartIsWrong()
    {
        QVector<double> points;
        QString message;
        QVERIFY(parsePoints(QStringLiteral(" 0, 25;50  75，100 "), points, message));
        QCOMPARE(points, (QVector<double>{0, 25, 50, 75, 100}));
        QVERIFY(!parsePoints(QStringLiteral("0, 5O, 100"), points, message));
        QVERIFY(message.contains(QStringLiteral("5O")));
        double value = 0;
        QVERIFY(parseNumber(QStringLiteral(" 12,5 "), value));
        QCOMPARE(value, 12.5);
        QVERIFY(!parseNumber(QStringLiteral("abc"), value));
        QVERIFY(!parseNumber(QStringLiteral("nan"), value));
    }

    // 0, 50, 100, 50, 0 with hand-picked PV errors; hysteresis is |down - up| at 0 and 50.
    void run_hysteresisVerdictAndRecord()
    {
        Run run;
        run.setup.pointsPercent = {0, 50, 100, 50, 0};
        const Range r = range(0, 200);
        run.range = r;
        const QVector<Direction> dirs = directions(run.setup.pointsPercent);
        QCOMPARE(dirs, (QVector<Direction>{Direction::Up, Direction::Up, Direction::Up,
                                           Direction::Down, Direction::Down}));
        // PV minus applied, kPa, on a 200 kPa span: 0.1 kPa is 0.05 %.
        const double pvOffsets[] = {0.1, 0.2, 0.3, -0.1, -0.2};
        for (int i = 0; i < 5; ++i) {
            const double applied = nominalValue(r, run.setup.pointsPercent[i]);
            run.readings << evaluate(r, run.setup.tolerance, run.setup.pointsPercent[i], dirs[i],
                                     applied, applied + pvOffsets[i],
                                     expectedCurrentMa(r, applied));
            if (i == 3)
                QCOMPARE(verdict(run), Verdict::Incomplete);
        }
        QCOMPARE(verdict(run), Verdict::Pass);
        QCOMPARE(hysteresisAt(run.readings, 0), 0.15);  // |-0.1 - 0.05|
        QCOMPARE(hysteresisAt(run.readings, 50), 0.15); // |-0.05 - 0.1|
        QVERIFY(std::isnan(hysteresisAt(run.readings, 100)));
        QCOMPARE(hysteresis(run.readings).size(), 2);

        // 0.6 kPa over at 100 %, then stopped: a failure, however few points were read.
        run.readings.resize(2);
        run.readings << evaluate(r, run.setup.tolerance, 100, Direction::Up, 200, 200.6, 20.0);
        QCOMPARE(verdict(run), Verdict::Fail);

        const QJsonObject json = toJson(run);
        QCOMPARE(json.value("verdict").toString(), QString("fail"));
        QCOMPARE(json.value("readings").toArray().size(), 3);
        QVERIFY(json.value("readings").toArray()[0].toObject().value("ammeterMa").isNull());
        QCOMPARE(json.value("setup").toObject().value("pointsPercent").toArray().size(), 5);
        // No current was measured: the record says the verdict is the PV's.
        QCOMPARE(json.value("verdictCovers").toString(), QString("pv"));
        QVERIFY(json.value("readings").toArray()[0].toObject().value("currentErrorPercent").isNull());

        // One certificate, one transmitter.
        Run other = run;
        other.kind = RunKind::AsLeft;
        other.identity.uniqueId = QStringLiteral("11-22-000002");
        run.identity.uniqueId = QStringLiteral("11-22-000001");
        QVERIFY(checkSameTransmitter(&run, &run).isEmpty());
        QVERIFY(checkSameTransmitter(&run, nullptr).isEmpty());
        QVERIFY(checkSameTransmitter(&run, &other).contains(QStringLiteral("不是同一台变送器")));
    }
};

QTEST_GUILESS_MAIN(TstLoopCheck)
#include "tst_loopcheck.moc"
