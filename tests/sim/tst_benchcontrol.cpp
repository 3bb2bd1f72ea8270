// The bench control lines against a simulator that is not serving: what each line changes,
// what it answers, and how raw input is cut into lines.
#include "benchcontrol.h"
#include "transmittersim.h"

#include <QTest>

#include <cstring>

Q_DECLARE_METATYPE(BenchWiring)
Q_DECLARE_METATYPE(BenchPv)

namespace {

void setRangeCopies(TransmitterSim &sim, float low, float high)
{
    QByteArray bytes(8, '\0');
    std::memcpy(bytes.data(), &low, 4);
    std::memcpy(bytes.data() + 4, &high, 4);
    sim.setMemory(0x00F8, bytes);
}

} // namespace

class TstBenchControl : public QObject
{
    Q_OBJECT

private slots:
    void line_setsTheBenchAndAnswers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("keys");
        QTest::addColumn<BenchWiring>("wiring");
        QTest::addColumn<BenchPv>("pv");
        // The bench starts at keys 2, V+ to T, PV at zero (range copies 10..90).
        const auto vplus = BenchWiring::VPlusToT;
        const auto zero = BenchPv::Zero;
        QTest::newRow("all keys") << "keys 7"
                                  << "keys 7 (M S Z pressed)" << 7 << vplus << zero;
        QTest::newRow("released") << "keys 0"
                                  << "keys 0 (none pressed)" << 0 << vplus << zero;
        QTest::newRow("by letter, loud, spaced") << "  KEYS   zm "
                                                 << "keys 5 (M Z pressed)" << 5 << vplus << zero;
        QTest::newRow("none") << "keys none"
                              << "keys 0 (none pressed)" << 0 << vplus << zero;
        QTest::newRow("T open") << "t open"
                                << "t open (signal 2500)" << 2 << BenchWiring::Open << zero;
        QTest::newRow("V- to T") << "t vminus"
                                 << "t vminus (signal 0)" << 2 << BenchWiring::VMinusToT << zero;
        QTest::newRow("V- to T, short form")
                << "t v-"
                << "t vminus (signal 0)" << 2 << BenchWiring::VMinusToT << zero;
        QTest::newRow("full scale") << "pv full"
                                    << "pv full (90)" << 2 << vplus << BenchPv::FullScale;
        QTest::newRow("live") << "pv live"
                              << "pv live" << 2 << vplus << BenchPv::Live;
        QTest::newRow("applied value") << "pv -12.5"
                                       << "pv -12.5 (applied)" << 2 << vplus << BenchPv::Applied;
        QTest::newRow("sensor offset") << "offset 0.3"
                                       << "sensor offset 0.3, gain 0 %" << 2 << vplus << zero;
        QTest::newRow("sensor gain") << "gain -0.1"
                                     << "sensor offset 0, gain -0.1 %" << 2 << vplus << zero;
        QTest::newRow("empty line: the state")
                << ""
                << "keys 2 (S pressed), t vplus (signal 4000), pv zero (10)" << 2 << vplus << zero;
        QTest::newRow("help") << "help" << BenchControl::helpLine() << 2 << vplus << zero;
    }
    void line_setsTheBenchAndAnswers()
    {
        QFETCH(QString, line);
        QFETCH(QString, answer);
        QFETCH(int, keys);
        QFETCH(BenchWiring, wiring);
        QFETCH(BenchPv, pv);
        TransmitterSim sim;
        sim.setKeyBits(2);
        sim.setBenchWiring(BenchWiring::VPlusToT);
        sim.setBenchPv(BenchPv::Zero);
        setRangeCopies(sim, 10.0f, 90.0f);
        BenchControl control(sim);
        QCOMPARE(control.handleLine(line), answer);
        QCOMPARE(int(sim.keyBits()), keys);
        QCOMPARE(sim.benchWiring(), wiring);
        QCOMPARE(sim.benchPv(), pv);
    }

    void badLine_isRefusedAndChangesNothing_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("key bit 3") << "keys 8";
        QTest::newRow("negative keys") << "keys -1";
        QTest::newRow("other letter") << "keys mx";
        QTest::newRow("keys without value") << "keys";
        QTest::newRow("two values") << "keys 1 2";
        QTest::newRow("unknown wiring") << "t short";
        QTest::newRow("unknown point") << "pv half";
        QTest::newRow("applied value not finite") << "pv inf";
        QTest::newRow("offset no number") << "offset 0.3kpa";
        QTest::newRow("trailing word") << "pv zero now";
        QTest::newRow("unknown line") << "reboot";
        QTest::newRow("control characters") << QString::fromLatin1("t \x01\x7f");
    }
    void badLine_isRefusedAndChangesNothing()
    {
        QFETCH(QString, line);
        TransmitterSim sim;
        sim.setKeyBits(4);
        sim.setBenchWiring(BenchWiring::VMinusToT);
        sim.setBenchPv(BenchPv::FullScale);
        BenchControl control(sim);
        QVERIFY(control.handleLine(line).startsWith("error: "));
        QCOMPARE(sim.keyBits(), quint8(4));
        QCOMPARE(sim.benchWiring(), BenchWiring::VMinusToT);
        QCOMPARE(sim.benchPv(), BenchPv::FullScale);
    }

    void rawInput_isCutIntoLinesWhateverThePieces()
    {
        TransmitterSim sim;
        BenchControl control(sim);
        QStringList answers;
        for (const char *piece : {"ke", "ys 1\r", "\nt vp", "lus\npv full\nkeys 2"})
            answers += control.feed(piece, int(std::strlen(piece)));
        QCOMPARE(answers,
                 (QStringList{"keys 1 (M pressed)", "t vplus (signal 4000)", "pv full (100)"}));
        QCOMPARE(sim.keyBits(), quint8(1)); // the last line is not finished yet
        QCOMPARE(control.finish(), QStringList{"keys 2 (S pressed)"});
        QCOMPARE(sim.keyBits(), quint8(2));
        QVERIFY(control.finish().isEmpty()); // end of input with nothing pending
        QVERIFY(control.feed(nullptr, 5).isEmpty());
    }

    void overlongOrBinaryInput_isRefusedAndTheNextLineStillCounts()
    {
        TransmitterSim sim;
        BenchControl control(sim);
        const QByteArray flood(BenchControl::kMaxLineLength * 3, 'k');
        QByteArray input = flood + "\nkeys 4\n";
        input += QByteArray::fromHex("ff00fe8041") + "\n"; // not text at all
        input += "t vminus\n";
        const QStringList answers = control.feed(input.constData(), input.size());
        QCOMPARE(answers.size(), 4);
        QVERIFY(answers[0].startsWith("error: line longer than"));
        QCOMPARE(answers[1], QString("keys 4 (Z pressed)"));
        QVERIFY(answers[2].startsWith("error: "));
        QVERIFY(answers[2].size() < 100);
        QCOMPARE(answers[3], QString("t vminus (signal 0)"));

        // A flood cut off by the end of input is refused too.
        control.feed(flood.constData(), flood.size());
        QVERIFY(control.finish().value(0).startsWith("error: line longer than"));
        QCOMPARE(sim.keyBits(), quint8(4));
        QCOMPARE(sim.benchWiring(), BenchWiring::VMinusToT);
    }

    void rangeCopiesNotNumbers_areReportedNotTrusted()
    {
        TransmitterSim sim;
        setRangeCopies(sim, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity());
        BenchControl control(sim);
        QCOMPARE(control.handleLine("pv zero"), QString("pv zero (nan)"));
        QCOMPARE(control.handleLine("pv full"), QString("pv full (inf)"));
    }
};

QTEST_GUILESS_MAIN(TstBenchControl)
#include "tst_benchcontrol.moc"
