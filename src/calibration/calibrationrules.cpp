// Calibration page rules: table collect and fits, identity resets, non-finite check, fit quality.
#include "calibrationrules.h"

#include "fits.h"
#include "units.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>

Q_LOGGING_CATEGORY(lcCalibration, "hart.calibration")

namespace calrules {

namespace {

int clampCount(int n, int low, int high)
{
    return std::clamp(n, low, high);
}

// Resistances below the Pt100 table have no temperature; the decade starts at its bottom.
float pt100ResistanceOrBottom(float celsius)
{
    const float r = pt100_resistance(celsius);
    return std::isfinite(r) ? r : pt100_resistance(-200.0f);
}

int decade(float r)
{
    return static_cast<int>(r) / 10 * 10;
}

bool allFinite(const float *v, int n)
{
    return std::all_of(v, v + n, [](float f) { return std::isfinite(f); });
}

// First pair of equal x among the first n, 1-based, or {0, 0}.
std::pair<int, int> equalPair(const float *x, int n)
{
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (x[i] == x[j])
                return {i + 1, j + 1};
        }
    }
    return {0, 0};
}

void logRow(const char *format, int index, const float *v, int count)
{
    for (int i = 0; i < count; ++i)
        qCDebug(lcCalibration).noquote()
                << QString::fromLatin1(format).arg(index).arg(i).arg(QString::number(v[i]));
}

// The least-squares polynomial of the given degree through the points other than `skip`,
// evaluated at `at`, and the leverage of `at` in that fit (how far the point lies outside the
// others: an end point is extrapolated and may deviate more without being wrong). False when
// the other points cannot determine the polynomial.
bool fitWithout(const float *x, const float *y, int n, int skip, int degree, long double at,
                long double &value, long double &leverage)
{
    long double lo = x[0], hi = x[0];
    for (int i = 1; i < n; ++i) {
        lo = std::min<long double>(lo, x[i]);
        hi = std::max<long double>(hi, x[i]);
    }
    const long double centre = (lo + hi) / 2;
    const long double scale = hi > lo ? (hi - lo) / 2 : 1;
    const int N = degree + 1;
    const long double u0 = (at - centre) / scale;
    const long double powers0[3] = {1, u0, u0 * u0};
    // Normal matrix with two right-hand sides: the data, and the point's own powers.
    long double A[3][5] = {};
    for (int i = 0; i < n; ++i) {
        if (i == skip)
            continue;
        const long double u = (x[i] - centre) / scale;
        const long double pr[5] = {1, u, u * u, u * u * u, u * u * u * u};
        for (int r = 0; r < N; ++r) {
            for (int c = 0; c < N; ++c)
                A[r][c] += pr[r + c];
            A[r][N] += y[i] * pr[r];
        }
    }
    for (int r = 0; r < N; ++r)
        A[r][N + 1] = powers0[r];
    for (int i = 0; i < N; ++i) {
        int pivot = i;
        for (int r = i + 1; r < N; ++r) {
            if (std::fabs(A[r][i]) > std::fabs(A[pivot][i]))
                pivot = r;
        }
        std::swap(A[i], A[pivot]);
        if (!(std::fabs(A[i][i]) > 1e-30L))
            return false;
        for (int r = i + 1; r < N; ++r) {
            const long double f = A[r][i] / A[i][i];
            for (int c = i; c <= N + 1; ++c)
                A[r][c] -= f * A[i][c];
        }
    }
    long double coe[3] = {};
    long double z[3] = {};
    for (int r = N - 1; r >= 0; --r) {
        long double sum = A[r][N];
        long double zs = A[r][N + 1];
        for (int c = r + 1; c < N; ++c) {
            sum -= A[r][c] * coe[c];
            zs -= A[r][c] * z[c];
        }
        coe[r] = sum / A[r][r];
        z[r] = zs / A[r][r];
    }
    value = 0;
    leverage = 0;
    for (int r = N - 1; r >= 0; --r) {
        value = value * u0 + coe[r];
        leverage += powers0[r] * z[r];
    }
    return std::isfinite(static_cast<double>(value)) && leverage >= 0;
}

} // namespace

bool isTemperatureUnit(const QString &unitText)
{
    return unitText == QStringLiteral("℃") || unitText == QStringLiteral("℉")
            || unitText == QStringLiteral("°R") || unitText == QLatin1String("Kelvin");
}

std::array<float, kPressurePoints> equalDivision(float low, float high, unsigned n,
                                                 DivisionRule rule)
{
    std::array<float, kPressurePoints> out{};
    const int count = clampCount(static_cast<int>(std::min(n, 5u)), 2, kPressurePoints);
    if (rule == DivisionRule::Linear) {
        const float step = (high - low) / static_cast<float>(count - 1);
        for (int j = 0; j < count; ++j)
            out[j] = low + static_cast<float>(j) * step;
        return out;
    }
    const int rLow = decade(pt100ResistanceOrBottom(low));
    const int rHigh = decade(pt100ResistanceOrBottom(high) + 9.0f);
    out[0] = pt100_temperature(static_cast<float>(rLow));
    for (int j = 1; j < count - 1; ++j) {
        const float r = static_cast<float>(rLow)
                + static_cast<float>(j) * static_cast<float>(rHigh - rLow) / (count - 1);
        out[j] = pt100_temperature(static_cast<float>(decade(r + 5.0f)));
    }
    out[count - 1] = pt100_temperature(static_cast<float>(rHigh));
    return out;
}

QString resistanceTooltip(float value, std::uint8_t factoryUnit, std::uint8_t sensorType)
{
    float r = pt100_resistance(convert_unit_value(value, factoryUnit, kCelsiusCode));
    if (sensorType == kPt1000SensorType)
        r *= 10.0f;
    return QStringLiteral("电阻=%1Ω").arg(QString::asprintf("%0.2f", static_cast<double>(r)));
}

QByteArray customUnitBytes(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= 9)
        return bytes;
    int cut = 9;
    // Step back over continuation bytes so the cut lands on the start of a character.
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
        --cut;
    return bytes.left(cut);
}

QString customUnitText(const DeviceData &d)
{
    const char *bytes = reinterpret_cast<const char *>(d.customUnitText);
    const auto length = std::find(bytes, bytes + sizeof d.customUnitText, '\0') - bytes;
    return QString::fromUtf8(bytes, static_cast<int>(length));
}

void collectLinearization(DeviceData &d, const LinearizationTable &t)
{
    const int np = clampCount(t.pressurePoints, 2, kPressurePoints);
    const int nt = clampCount(t.tempPoints, 1, kTempPoints);

    std::memset(d.customUnitText, 0, sizeof d.customUnitText);
    const QByteArray unit = customUnitBytes(t.customUnit);
    std::memcpy(d.customUnitText, unit.constData(), static_cast<std::size_t>(unit.size()));

    d.NonlinearityCorrectionNum = static_cast<std::uint16_t>(np);
    d.TempCompensationNum = static_cast<std::uint16_t>(nt);
    d.factoryUnits = t.factoryUnit;
    d.pvUnits = t.pvUnit;
    d.pvDecimals = t.decimals;
    d.upperRangeValue = t.rangeHigh;
    d.lowerRangeValue = t.rangeLow;
    d.upperCurrent = 20.0f;
    d.lowerCurrent = 4.0f;
    d.upperRangeValueCopy = t.rangeHigh;
    d.lowerRangeValueCopy = t.rangeLow;
    d.userUnits = static_cast<std::uint8_t>(d.pvUnits & 0xFF);

    for (int j = 0; j < kPressurePoints; ++j) {
        d.NonlinearityCorrectiony[j] = t.standard[j];
        qCDebug(lcCalibration).noquote() << QStringLiteral("NonlinearityCorrectiony[%1]=%2")
                                                    .arg(j)
                                                    .arg(QString::number(t.standard[j]));
    }
    for (int k = 0; k < kTempPoints; ++k) {
        d.tempPointCelsius[k] = t.tempCelsius[k];
        d.TempCompensationx[k] = t.tempSignal[k];
        qCDebug(lcCalibration).noquote() << QStringLiteral("TempCompensationx[%1]=%2")
                                                    .arg(k)
                                                    .arg(QString::number(t.tempSignal[k]));
    }
    for (int j = 0; j < kPressurePoints; ++j) {
        TempCompensationRow &row = d.NonlinearityCorrectionx[j];
        std::copy(t.pointSignal[j].begin(), t.pointSignal[j].end(), row.TempCompensationy);
        logRow("NonlinearityCorrectionx[%1].TempCompensationy[%2]=%3", j, row.TempCompensationy,
               kTempPoints);
        std::fill(std::begin(row.TempCompensationCoe), std::end(row.TempCompensationCoe), 0.0f);
        fit_polynomial_orthogonal(nt, d.TempCompensationx, row.TempCompensationy, nt,
                                  row.TempCompensationCoe);
        logRow("NonlinearityCorrectionx[%1].TempCompensationCoe[%2]=%3", j, row.TempCompensationCoe,
               kTempPoints);
    }

    resetCorrections(d);

    OutputParam &out = d.PV_OutputParam;
    std::copy(t.currentTempSignal.begin(), t.currentTempSignal.end(), out.TempCompensationx);
    for (int i = 0; i < kOutputPoints; ++i) {
        std::copy(t.currentReading[i].begin(), t.currentReading[i].end(),
                  out.NonlinearityCorrectionx[i].TempCompensationy);
    }
    for (int i = 0; i < kOutputPoints; ++i) {
        TempCompensationRow &row = out.NonlinearityCorrectionx[i];
        std::fill(std::begin(row.TempCompensationCoe), std::end(row.TempCompensationCoe), 0.0f);
        fit_polynomial_normal(nt, out.TempCompensationx, row.TempCompensationy,
                              static_cast<unsigned>(nt - 1), row.TempCompensationCoe);
        for (int l = 0; l < kTempPoints; ++l) {
            qCDebug(lcCalibration).noquote()
                    << QStringLiteral("PV_OutputParam.TempCompensationx[%1]=%2")
                               .arg(l)
                               .arg(QString::number(out.TempCompensationx[l]));
        }
        logRow("PV_OutputParam.NonlinearityCorrectionx[%1].TempCompensationy[%2]=%3", i,
               row.TempCompensationy, kTempPoints);
        logRow("PV_OutputParam.NonlinearityCorrectionx[%1].TempCompensationCoe[%2]=%3", i,
               row.TempCompensationCoe, kTempPoints);
    }

    const float scale[6] = {4.0f, 20.0f, 4.0f, 20.0f, 0.0f, 1.0f};
    std::copy(std::begin(scale), std::end(scale), d.outputScale);
    d.pvGain = 1.0f;
    d.pvOffset = 0.0f;
}

LinearizationTable linearizationTable(const DeviceData &d)
{
    LinearizationTable t;
    t.pressurePoints = clampCount(d.NonlinearityCorrectionNum, 2, kPressurePoints);
    t.tempPoints = clampCount(d.TempCompensationNum, 1, kTempPoints);
    t.factoryUnit = d.factoryUnits;
    t.pvUnit = static_cast<std::uint8_t>(d.pvUnits & 0xFF);
    t.decimals = d.pvDecimals;
    t.rangeLow = d.lowerRangeValue;
    t.rangeHigh = d.upperRangeValue;
    t.customUnit = customUnitText(d);
    std::copy(std::begin(d.NonlinearityCorrectiony), std::end(d.NonlinearityCorrectiony),
              t.standard.begin());
    std::copy(std::begin(d.tempPointCelsius), std::end(d.tempPointCelsius), t.tempCelsius.begin());
    std::copy(std::begin(d.TempCompensationx), std::end(d.TempCompensationx), t.tempSignal.begin());
    for (int j = 0; j < kPressurePoints; ++j) {
        const float *y = d.NonlinearityCorrectionx[j].TempCompensationy;
        std::copy(y, y + kTempPoints, t.pointSignal[j].begin());
    }
    const OutputParam &out = d.PV_OutputParam;
    std::copy(std::begin(out.TempCompensationx), std::end(out.TempCompensationx),
              t.currentTempSignal.begin());
    for (int i = 0; i < kOutputPoints; ++i) {
        const float *y = out.NonlinearityCorrectionx[i].TempCompensationy;
        std::copy(y, y + kTempPoints, t.currentReading[i].begin());
    }
    return t;
}

void recomputeCompensation(DeviceData &d)
{
    const int nt = d.TempCompensationNum;
    if (nt < 1 || nt > kTempPoints)
        return;
    for (int j = 0; j < kPressurePoints; ++j) {
        TempCompensationRow &row = d.NonlinearityCorrectionx[j];
        logRow("NonlinearityCorrectionx[%1].TempCompensationy[%2]=%3", j, row.TempCompensationy,
               kTempPoints);
        std::fill(std::begin(row.TempCompensationCoe), std::end(row.TempCompensationCoe), 0.0f);
        fit_polynomial_normal(nt, d.TempCompensationx, row.TempCompensationy,
                              static_cast<unsigned>(nt - 1), row.TempCompensationCoe);
        logRow("NonlinearityCorrectionx[%1].TempCompensationCoe[%2]=%3", j, row.TempCompensationCoe,
               kTempPoints);
    }
}

void resetCorrections(DeviceData &d)
{
    d.SecondNonlinearityCorrectionNum = 2;
    d.SecondNonlinearityCorrectionx[0] = d.lowerRangeValue;
    d.SecondNonlinearityCorrectionx[1] = d.upperRangeValue;
    d.SecondNonlinearityCorrectiony[0] = d.lowerRangeValue;
    d.SecondNonlinearityCorrectiony[1] = d.upperRangeValue;
    d.SecondNonlinearityCorrectionCoe[0] = 0.0f;
    d.SecondNonlinearityCorrectionCoe[1] = 1.0f;
    d.userCalibrationX[0] = d.userCalibrationY[0] = d.lowerRangeValue;
    d.userCalibrationX[1] = d.userCalibrationY[1] = d.upperRangeValue;
    d.userCalibrationCoe[0] = 0.0f;
    d.userCalibrationCoe[1] = 1.0f;
    d.pvZeroCorrection = 0.0f;
}

void collectSecondCorrection(DeviceData &d, int n, const std::array<float, kSecondPoints> &standard,
                             const std::array<float, kSecondPoints> &measured)
{
    n = clampCount(n, 2, kSecondPoints);
    d.SecondNonlinearityCorrectionNum = static_cast<std::uint16_t>(n);
    std::copy(standard.begin(), standard.end(), d.SecondNonlinearityCorrectiony);
    std::copy(measured.begin(), measured.end(), d.SecondNonlinearityCorrectionx);
    std::fill(std::begin(d.SecondNonlinearityCorrectionCoe),
              std::end(d.SecondNonlinearityCorrectionCoe), 0.0f);
    fit_polynomial_normal(n, d.SecondNonlinearityCorrectionx, d.SecondNonlinearityCorrectiony,
                          static_cast<unsigned>(n - 1), d.SecondNonlinearityCorrectionCoe);
}

void collectUserCalibration(DeviceData &d, const std::array<float, 2> &standard,
                            const std::array<float, 2> &measured)
{
    std::copy(measured.begin(), measured.end(), d.userCalibrationX);
    std::copy(standard.begin(), standard.end(), d.userCalibrationY);
    fit_polynomial_normal(2, d.userCalibrationX, d.userCalibrationY, 1, d.userCalibrationCoe);
    d.pvZeroCorrection = 0.0f;
}

QString compensationProblem(const DeviceData &d)
{
    const int nt = clampCount(d.TempCompensationNum, 1, kTempPoints);
    // Equal abscissae make the fit singular; in double precision that may still come out as
    // huge finite numbers, so the points are checked as well as the coefficients.
    auto pair = equalPair(d.TempCompensationx, nt);
    if (pair.first)
        return QStringLiteral("温补点%1与温补点%2的温补信号相同，无法拟合！")
                .arg(pair.first)
                .arg(pair.second);
    pair = equalPair(d.PV_OutputParam.TempCompensationx, nt);
    if (pair.first)
        return QStringLiteral("温补点%1与温补点%2的电流温补信号相同，无法拟合！")
                .arg(pair.first)
                .arg(pair.second);
    for (int j = 0; j < kPressurePoints; ++j) {
        if (allFinite(d.NonlinearityCorrectionx[j].TempCompensationCoe, kTempPoints))
            continue;
        return QStringLiteral("第%1点的温补系数无法计算，请检查第%1点的采集值！").arg(j + 1);
    }
    const OutputParam &out = d.PV_OutputParam;
    for (int i = 0; i < kOutputPoints; ++i) {
        if (allFinite(out.NonlinearityCorrectionx[i].TempCompensationCoe, kTempPoints))
            continue;
        return QStringLiteral("电流校准%1的温补系数无法计算，请检查电流校准值！").arg(i + 1);
    }
    return QString();
}

QString secondCorrectionProblem(const DeviceData &d)
{
    const int n = clampCount(d.SecondNonlinearityCorrectionNum, 2, kSecondPoints);
    const auto pair = equalPair(d.SecondNonlinearityCorrectionx, n);
    if (pair.first)
        return QStringLiteral("第%1点与第%2点的采集值相同，无法拟合！")
                .arg(pair.first)
                .arg(pair.second);
    if (allFinite(d.SecondNonlinearityCorrectionCoe, kSecondPoints))
        return QString();
    return QStringLiteral("二次非线性修正系数无法计算，请检查采集值！");
}

QString userCalibrationProblem(const DeviceData &d)
{
    if (d.userCalibrationX[0] == d.userCalibrationX[1])
        return QStringLiteral("第1点与第2点的采集值相同，无法拟合！");
    if (allFinite(d.userCalibrationCoe, 2))
        return QString();
    return QStringLiteral("用户校准系数无法计算，请检查采集值！");
}

std::array<PointQuality, kPressurePoints> fitQuality(const DeviceData &d)
{
    std::array<PointQuality, kPressurePoints> out{};
    const int nt = clampCount(d.TempCompensationNum, 1, kTempPoints);
    const int np = clampCount(d.NonlinearityCorrectionNum, 2, kPressurePoints);
    // The curve through the other points must be over-determined to expose a single bad cell:
    // compensation curves are smooth, so at most a parabola is asked of them.
    if (nt < kMinQualityPoints || equalPair(d.TempCompensationx, nt).first)
        return out;
    const int degree = std::min(2, nt - 3);
    const float *x = d.TempCompensationx;
    for (int j = 0; j < np; ++j) {
        const float *y = d.NonlinearityCorrectionx[j].TempCompensationy;
        PointQuality &q = out[j];
        long double worstScore = -1;
        for (int k = 0; k < nt; ++k) {
            long double expected = 0;
            long double leverage = 0;
            if (!fitWithout(x, y, nt, k, degree, x[k], expected, leverage))
                continue;
            const long double deviation = std::fabs(expected - y[k]);
            // Studentized: an extrapolated end point is allowed its larger scatter.
            const long double score = deviation / std::sqrt(1 + leverage);
            if (score > worstScore) {
                worstScore = score;
                q.maxDeviation = static_cast<double>(deviation);
                q.worstTempPoint = k;
            }
        }
        q.known = q.worstTempPoint >= 0;
    }
    return out;
}

QString fitQualityText(const std::array<PointQuality, kPressurePoints> &quality, int pressurePoints)
{
    QStringList lines;
    for (int j = 0; j < clampCount(pressurePoints, 0, kPressurePoints); ++j) {
        if (!quality[j].known)
            continue;
        lines << QStringLiteral("第%1点：最大偏差 %2（温补点%3）")
                         .arg(j + 1)
                         .arg(QString::number(quality[j].maxDeviation, 'g', 6))
                         .arg(quality[j].worstTempPoint + 1);
    }
    return lines.join(QLatin1Char('\n'));
}

QString decimalsText(float value, int decimals)
{
    const int n = std::clamp(decimals, 0, 9);
    return QString::asprintf(QString::asprintf("%%.0%df", n).toLatin1().constData(),
                             static_cast<double>(value));
}

} // namespace calrules
