// Calibration rules against hand-worked values and an independent long-double computation of the
// whole compensation block, byte by byte.
#include "calibrationrules.h"
#include "units.h"

#include <QtTest>

#include <cmath>
#include <cstring>

using namespace calrules;
using Floats = QVector<float>;

namespace {

// Power-basis coefficients of the polynomial through (x, y), long double, via Newton's form.
QVector<long double> referenceCoefficients(const float *x, const float *y, int n)
{
    QVector<long double> d(n);
    for (int i = 0; i < n; ++i)
        d[i] = y[i];
    for (int j = 1; j < n; ++j) {
        for (int i = n - 1; i >= j; --i)
            d[i] = (d[i] - d[i - 1]) / (static_cast<long double>(x[i]) - x[i - j]);
    }
    QVector<long double> a(n, 0.0L);
    for (int i = n - 1; i >= 0; --i) {
        // a := a * (X - x[i]) + d[i]
        for (int p = n - 1; p > 0; --p)
            a[p] = a[p - 1] - x[i] * a[p];
        a[0] = -x[i] * a[0] + d[i];
    }
    return a;
}

void putFloat(QByteArray &block, int address, float v)
{
    std::memcpy(block.data() + (address - kCompensationAddress), &v, 4);
}
void putU16(QByteArray &block, int address, std::uint16_t v)
{
    std::memcpy(block.data() + (address - kCompensationAddress), &v, 2);
}

LinearizationTable sampleTable(int np, int nt)
{
    LinearizationTable t;
    t.pressurePoints = np;
    t.tempPoints = nt;
    t.factoryUnit = 12;
    t.pvUnit = 12;
    t.decimals = 3;
    t.rangeLow = -10;
    t.rangeHigh = 250;
    t.customUnit = QStringLiteral("kPa");
    for (int j = 0; j < kPressurePoints; ++j)
        t.standard[j] = -10.0f + 65.0f * j;
    for (int k = 0; k < kTempPoints; ++k) {
        t.tempCelsius[k] = -40.0f + 14.0f * k;
        t.tempSignal[k] = -0.9f + 0.2f * k + 0.013f * (k % 3);
        t.currentTempSignal[k] = 0.1f + 0.17f * k;
        for (int j = 0; j < kPressurePoints; ++j) {
            const float s = t.tempSignal[k];
            t.pointSignal[j][k] = 1000.0f * j + 37.0f * s - 4.5f * s * s + 0.75f * (k % 2);
        }
        for (int i = 0; i < kOutputPoints; ++i)
            t.currentReading[i][k] = 4.0f + 8.0f * i + 0.01f * k - 0.002f * k * k;
    }
    return t;
}

// Coefficient words may differ by rounding; the check is on what they contribute to the signal.
bool closeCoefficient(float got, long double want, int power, float xMax, float yScale)
{
    const long double contribution = std::fabs(static_cast<long double>(got) - want)
            * std::pow(static_cast<long double>(xMax), power);
    return contribution <= 1e-5L * yScale; // 0.2 uA on 20 mA, far below an ammeter
}

} // namespace

class TstCalibrationRules : public QObject
{
    Q_OBJECT

private slots:
    void equalDivision_proposesPoints_data();
    void equalDivision_proposesPoints();
    void resistanceTooltip_showsDecadeSetting_data();
    void resistanceTooltip_showsDecadeSetting();
    void customUnit_cutToNineBytesOnCharacter_data();
    void customUnit_cutToNineBytesOnCharacter();
    void collect_matchesIndependentBlock_data();
    void collect_matchesIndependentBlock();
    void fill_refitsSameCurveAndSurvivesBadCounts();
    void secondCorrection_fitsMeasuredToStandard();
    void userCalibration_storesOffsetAndSlope();
    void unusableCoefficients_namePoints_data();
    void unusableCoefficients_namePoints();
    void fitQuality_findsPlantedOutlier();
    void decimalsText_boundsDeviceDecimals_data();
    void decimalsText_boundsDeviceDecimals();
};

void TstCalibrationRules::equalDivision_proposesPoints_data()
{
    QTest::addColumn<float>("low");
    QTest::addColumn<float>("high");
    QTest::addColumn<unsigned>("n");
    QTest::addColumn<int>("rule");
    QTest::addColumn<Floats>("expected");
    const int linear = int(DivisionRule::Linear);
    const int pt100 = int(DivisionRule::Pt100Decades);
    QTest::newRow("0..100 kPa, 5") << 0.f << 100.f << 5u << linear << Floats{0, 25, 50, 75, 100};
    QTest::newRow("0..100 kPa, 3") << 0.f << 100.f << 3u << linear << Floats{0, 50, 100, 0, 0};
    QTest::newRow("2 points") << -1.f << 1.f << 2u << linear << Floats{-1, 1, 0, 0, 0};
    QTest::newRow("falling range") << 10.f << -10.f << 5u << linear << Floats{10, 5, 0, -5, -10};
    QTest::newRow("-50..150 C") << -50.f << 150.f << 5u << pt100
                                << Floats{pt100_temperature(80), 0, pt100_temperature(120),
                                          pt100_temperature(140), pt100_temperature(160)};
    QTest::newRow("0..100 C, 3") << 0.f << 100.f << 3u << pt100
                                 << Floats{0, pt100_temperature(120), pt100_temperature(140), 0, 0};
    // Below the Pt100 table: the decade starts at its bottom instead of truncating NaN.
    QTest::newRow("-300..0 C") << -300.f << 0.f << 2u << pt100
                               << Floats{pt100_temperature(10), pt100_temperature(100), 0, 0, 0};
}

void TstCalibrationRules::equalDivision_proposesPoints()
{
    QFETCH(float, low);
    QFETCH(float, high);
    QFETCH(unsigned, n);
    QFETCH(int, rule);
    QFETCH(Floats, expected);
    const auto got = equalDivision(low, high, n, DivisionRule(rule));
    for (int j = 0; j < kPressurePoints; ++j)
        QVERIFY2(std::fabs(got[j] - expected[j]) < 1e-3f,
                 qPrintable(QStringLiteral("point %1: %2").arg(j).arg(got[j])));
}

void TstCalibrationRules::resistanceTooltip_showsDecadeSetting_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("sensorType");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 C") << 0.f << 32 << 0 << QStringLiteral("电阻=100.00Ω");
    QTest::newRow("0 C Pt1000") << 0.f << 32 << int(kPt1000SensorType)
                                << QStringLiteral("电阻=1000.00Ω");
    QTest::newRow("100 C") << 100.f << 32 << 0 << QStringLiteral("电阻=138.51Ω");
    QTest::newRow("32 F") << 32.f << 33 << 0 << QStringLiteral("电阻=100.00Ω");
}

void TstCalibrationRules::resistanceTooltip_showsDecadeSetting()
{
    QFETCH(float, value);
    QFETCH(int, unit);
    QFETCH(int, sensorType);
    QFETCH(QString, expected);
    QCOMPARE(resistanceTooltip(value, std::uint8_t(unit), std::uint8_t(sensorType)), expected);
}

void TstCalibrationRules::customUnit_cutToNineBytesOnCharacter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("short") << "kPa" << QByteArray("kPa");
    QTest::newRow("ascii cut") << "abcdefghijkl" << QByteArray("abcdefghi");
    QTest::newRow("three full characters") << "℃℃℃℃" << QStringLiteral("℃℃℃").toUtf8();
    QTest::newRow("no half character") << "ab℃℃℃" << QStringLiteral("ab℃℃").toUtf8();
}

void TstCalibrationRules::customUnit_cutToNineBytesOnCharacter()
{
    QFETCH(QString, typed);
    QFETCH(QByteArray, stored);
    DeviceData d{};
    std::memset(d.customUnitText, 'x', 9);
    LinearizationTable t = sampleTable(2, 1);
    t.customUnit = typed;
    collectLinearization(d, t);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(d.customUnitText), stored.size()), stored);
    for (int i = stored.size(); i < 9; ++i)
        QCOMPARE(int(d.customUnitText[i]), 0);
    QCOMPARE(customUnitText(d).toUtf8(), stored);
}

void TstCalibrationRules::collect_matchesIndependentBlock_data()
{
    QTest::addColumn<int>("np");
    QTest::addColumn<int>("nt");
    QTest::newRow("3 x 4") << 3 << 4;
    QTest::newRow("5 x 10") << 5 << 10;
    QTest::newRow("2 x 1") << 2 << 1;
}

void TstCalibrationRules::collect_matchesIndependentBlock()
{
    QFETCH(int, np);
    QFETCH(int, nt);
    const LinearizationTable t = sampleTable(np, nt);

    static DeviceData d;
    std::memset(&d, 0xA5, sizeof d);
    collectLinearization(d, t);
    const QByteArray got(reinterpret_cast<const char *>(
                                 deviceMemory(d, kCompensationAddress, kCompensationSize)),
                         kCompensationSize);

    // The expected block from the memory map alone; untouched words keep the fill pattern.
    QByteArray want(kCompensationSize, char(0xA5));
    for (int j = 0; j < 5; ++j)
        putFloat(want, 0x0114 + 4 * j, t.standard[j]);
    for (int k = 0; k < 10; ++k) {
        putFloat(want, 0x0128 + 4 * k, t.tempCelsius[k]);
        putFloat(want, 0x0150 + 4 * k, t.tempSignal[k]);
        putFloat(want, 0x0370 + 4 * k, t.currentTempSignal[k]);
    }
    QVector<QPair<int, QVector<long double>>> coefficients; // address, reference
    for (int j = 0; j < 5; ++j) {
        const int row = 0x0178 + 80 * j;
        for (int k = 0; k < 10; ++k) {
            putFloat(want, row + 4 * k, t.pointSignal[j][k]);
            putFloat(want, row + 40 + 4 * k, 0.0f);
        }
        coefficients << qMakePair(
                row + 40, referenceCoefficients(t.tempSignal.data(), t.pointSignal[j].data(), nt));
    }
    for (int i = 0; i < 3; ++i) {
        const int row = 0x0398 + 80 * i;
        for (int k = 0; k < 10; ++k) {
            putFloat(want, row + 4 * k, t.currentReading[i][k]);
            putFloat(want, row + 40 + 4 * k, 0.0f);
        }
        coefficients << qMakePair(
                row + 40,
                referenceCoefficients(t.currentTempSignal.data(), t.currentReading[i].data(), nt));
    }
    putU16(want, 0x030A, 2);
    const float identity[] = {t.rangeLow, t.rangeHigh, 0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        putFloat(want, 0x030C + 4 * i, identity[i]);
        putFloat(want, 0x0320 + 4 * i, identity[i]);
        putFloat(want, 0x0348 + 4 * i, identity[i]);
        putFloat(want, 0x0350 + 4 * i, identity[i]);
    }
    putFloat(want, 0x0334, 0.0f);
    putFloat(want, 0x0338, 1.0f);
    putFloat(want, 0x0358, 0.0f);
    putFloat(want, 0x035C, 1.0f);
    putFloat(want, 0x0360, 0.0f);
    const float scale[] = {4, 20, 4, 20, 0, 1};
    for (int i = 0; i < 6; ++i)
        putFloat(want, 0x0488 + 4 * i, scale[i]);

    // Coefficients: taken over when they agree with the reference, so the byte comparison
    // below then covers every other word of the block exactly.
    for (const auto &c : qAsConst(coefficients)) {
        const bool output = c.first >= 0x0398;
        const float xMax = output ? 1.8f : 1.0f;
        const float yScale = output ? 20.0f : 4000.0f;
        for (int p = 0; p < 10; ++p) {
            float g;
            std::memcpy(&g, got.constData() + (c.first - kCompensationAddress) + 4 * p, 4);
            const long double r = p < nt ? c.second[p] : 0.0L;
            QVERIFY2(closeCoefficient(g, r, p, xMax, yScale),
                     qPrintable(QStringLiteral("0x%1[%2]: %3 vs %4")
                                        .arg(c.first, 4, 16, QLatin1Char('0'))
                                        .arg(p)
                                        .arg(double(g), 0, 'g', 12)
                                        .arg(double(r), 0, 'g', 12)));
            if (p >= nt)
                QCOMPARE(g, 0.0f);
            putFloat(want, c.first + 4 * p, g);
        }
    }
    for (int i = 0; i < kCompensationSize; ++i) {
        if (got[i] != want[i])
            QFAIL(qPrintable(QStringLiteral("byte at 0x%1 differs")
                                     .arg(kCompensationAddress + i, 4, 16, QLatin1Char('0'))));
    }

    // The configuration fields in front of the block and the gain/offset written with it.
    QCOMPARE(int(d.NonlinearityCorrectionNum), np);
    QCOMPARE(int(d.TempCompensationNum), nt);
    QCOMPARE(d.upperRangeValueCopy, t.rangeHigh);
    QCOMPARE(d.lowerRangeValueCopy, t.rangeLow);
    QCOMPARE(d.upperCurrent, 20.0f);
    QCOMPARE(d.lowerCurrent, 4.0f);
    QCOMPARE(int(d.userUnits), 12);
    QCOMPARE(d.pvGain, 1.0f);
    QCOMPARE(d.pvOffset, 0.0f);
}

void TstCalibrationRules::fill_refitsSameCurveAndSurvivesBadCounts()
{
    static DeviceData d;
    std::memset(&d, 0, sizeof d);
    collectLinearization(d, sampleTable(5, 6));
    static DeviceData refit;
    refit = d;
    recomputeCompensation(refit);
    for (int j = 0; j < 5; ++j) {
        for (int k = 0; k < 6; ++k) {
            // Both coefficient sets reproduce the collected points.
            const float x = d.TempCompensationx[k];
            double a = 0, b = 0;
            for (int p = 9; p >= 0; --p) {
                a = a * x + d.NonlinearityCorrectionx[j].TempCompensationCoe[p];
                b = b * x + refit.NonlinearityCorrectionx[j].TempCompensationCoe[p];
            }
            QVERIFY(std::fabs(a - b) < 1e-2);
            QVERIFY(std::fabs(b - d.NonlinearityCorrectionx[j].TempCompensationy[k]) < 1e-2);
        }
    }

    // Counts from the line are untrusted: no fit may run past the arrays.
    for (std::uint16_t count : {std::uint16_t(0), std::uint16_t(11), std::uint16_t(65535)}) {
        refit.TempCompensationNum = count;
        refit.NonlinearityCorrectionNum = count;
        const float before = refit.NonlinearityCorrectionx[2].TempCompensationCoe[1];
        recomputeCompensation(refit);
        QCOMPARE(refit.NonlinearityCorrectionx[2].TempCompensationCoe[1], before);
        const LinearizationTable shown = linearizationTable(refit);
        QVERIFY(shown.tempPoints >= 1 && shown.tempPoints <= 10);
        QVERIFY(shown.pressurePoints >= 2 && shown.pressurePoints <= 5);
        QVERIFY(compensationProblem(refit).isEmpty());
        fitQuality(refit);
    }
}

void TstCalibrationRules::secondCorrection_fitsMeasuredToStandard()
{
    DeviceData d{};
    collectSecondCorrection(d, 3, {0, 52, 100, 7, 8}, {0, 50, 100, 9, 9});
    QCOMPARE(int(d.SecondNonlinearityCorrectionNum), 3);
    // y = 1.08 x - 0.0008 x^2 through (0,0), (50,52), (100,100).
    QVERIFY(std::fabs(d.SecondNonlinearityCorrectionCoe[0]) < 1e-4f);
    QVERIFY(std::fabs(d.SecondNonlinearityCorrectionCoe[1] - 1.08f) < 1e-5f);
    QVERIFY(std::fabs(d.SecondNonlinearityCorrectionCoe[2] + 0.0008f) < 1e-7f);
    QCOMPARE(d.SecondNonlinearityCorrectionCoe[3], 0.0f);
    QCOMPARE(d.SecondNonlinearityCorrectionCoe[4], 0.0f);
    QCOMPARE(d.SecondNonlinearityCorrectiony[3], 7.0f); // stored whatever the count

    // Two points: the line through them, the points beyond the count ignored.
    collectSecondCorrection(d, 2, {0, 200, 5, 5, 5}, {10, 110, 10, 10, 10});
    QVERIFY(std::fabs(d.SecondNonlinearityCorrectionCoe[0] + 20.0f) < 1e-4f);
    QVERIFY(std::fabs(d.SecondNonlinearityCorrectionCoe[1] - 2.0f) < 1e-6f);
    QCOMPARE(d.SecondNonlinearityCorrectionCoe[2], 0.0f);
    QVERIFY(secondCorrectionProblem(d).isEmpty());
}

void TstCalibrationRules::userCalibration_storesOffsetAndSlope()
{
    DeviceData d{};
    d.pvZeroCorrection = 3.5f;
    collectUserCalibration(d, {0, 100}, {1, 11});
    QVERIFY(std::fabs(d.userCalibrationCoe[0] + 10.0f) < 1e-4f);
    QVERIFY(std::fabs(d.userCalibrationCoe[1] - 10.0f) < 1e-5f);
    QCOMPARE(d.userCalibrationX[1], 11.0f);
    QCOMPARE(d.userCalibrationY[1], 100.0f);
    QCOMPARE(d.pvZeroCorrection, 0.0f);
    QVERIFY(userCalibrationProblem(d).isEmpty());
}

void TstCalibrationRules::unusableCoefficients_namePoints_data()
{
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("expected");
    QTest::newRow("equal temperature signals")
            << "temp" << QStringLiteral("温补点3与温补点4的温补信号相同，无法拟合！");
    QTest::newRow("equal current temperature signals")
            << "current" << QStringLiteral("温补点2与温补点5的电流温补信号相同，无法拟合！");
    QTest::newRow("second correction")
            << "second" << QStringLiteral("第1点与第3点的采集值相同，无法拟合！");
    QTest::newRow("user calibration")
            << "user" << QStringLiteral("第1点与第2点的采集值相同，无法拟合！");
    QTest::newRow("equal beyond the count are harmless") << "unused" << QString();
}

void TstCalibrationRules::unusableCoefficients_namePoints()
{
    QFETCH(QString, what);
    QFETCH(QString, expected);
    static DeviceData d;
    std::memset(&d, 0, sizeof d);
    LinearizationTable t = sampleTable(3, 6);
    if (what == "temp")
        t.tempSignal[3] = t.tempSignal[2];
    if (what == "current")
        t.currentTempSignal[4] = t.currentTempSignal[1];
    if (what == "unused")
        t.tempSignal[8] = t.tempSignal[7] = t.tempSignal[0];
    collectLinearization(d, t);
    if (what == "second")
        collectSecondCorrection(d, 4, {0, 1, 2, 3, 4}, {5, 6, 5, 8, 9});
    if (what == "user")
        collectUserCalibration(d, {0, 100}, {4, 4});
    QString problem = compensationProblem(d);
    if (problem.isEmpty())
        problem = secondCorrectionProblem(d);
    if (problem.isEmpty())
        problem = userCalibrationProblem(d);
    QCOMPARE(problem, expected);
}

void TstCalibrationRules::fitQuality_findsPlantedOutlier()
{
    static DeviceData d;
    std::memset(&d, 0, sizeof d);
    LinearizationTable t = sampleTable(3, 7);
    for (int k = 0; k < kTempPoints; ++k) {
        for (int j = 0; j < kPressurePoints; ++j) {
            const float s = t.tempSignal[k];
            t.pointSignal[j][k] = 1000.0f * j + 37.0f * s - 4.5f * s * s;
        }
    }
    collectLinearization(d, t);
    auto quality = fitQuality(d);
    for (int j = 0; j < 3; ++j) {
        QVERIFY(quality[j].known);
        QVERIFY2(quality[j].maxDeviation < 1e-2,
                 qPrintable(QString::number(quality[j].maxDeviation)));
    }
    QVERIFY(!quality[3].known); // beyond the pressure-point count

    t.pointSignal[1][4] += 50.0f; // a mistyped cell
    collectLinearization(d, t);
    quality = fitQuality(d);
    QCOMPARE(quality[1].worstTempPoint, 4);
    QVERIFY(quality[1].maxDeviation > 10.0);
    QVERIFY(quality[0].maxDeviation < 1e-2);
    QVERIFY(fitQualityText(quality, 3).contains(QStringLiteral("（温补点5）")));

    d.TempCompensationNum = 3; // too few points to judge
    QVERIFY(!fitQuality(d)[0].known);
}

void TstCalibrationRules::decimalsText_boundsDeviceDecimals_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("expected");
    QTest::newRow("3") << 3.14159f << 3 << "3.142";
    QTest::newRow("0") << 2.4f << 0 << "2";
    QTest::newRow("device says 65535") << 1.0f << 65535 << "1.000000000";
    QTest::newRow("negative") << 1.0f << -4 << "1";
}

void TstCalibrationRules::decimalsText_boundsDeviceDecimals()
{
    QFETCH(float, value);
    QFETCH(int, decimals);
    QFETCH(QString, expected);
    QCOMPARE(decimalsText(value, decimals), expected);
}

QTEST_GUILESS_MAIN(TstCalibrationRules)
#include "tst_calibrationrules.moc"
