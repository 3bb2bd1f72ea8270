// Widget-free rules of the calibration pages: proposed pressure points, the table collect into
// the compensation block with its fits, the identity resets, the correction fits, the check for
// coefficients that cannot be written, and the fit quality shown before a write.
#pragma once

#include "devicedata.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <array>
#include <cstdint>

Q_DECLARE_LOGGING_CATEGORY(lcCalibration)

namespace calrules {

constexpr int kPressurePoints = 5;
constexpr int kTempPoints = 10;
constexpr int kOutputPoints = 3;
constexpr int kSecondPoints = 5;

// The block "read/write jiaozhunshuju" moves: standard values up to the output scale.
constexpr std::uint16_t kCompensationAddress = 0x0114;
constexpr std::uint16_t kCompensationSize = 908;
static_assert(DEVICE_ADDRESS(NonlinearityCorrectiony) == kCompensationAddress);
static_assert(DEVICE_ADDRESS(outputScale) + sizeof(DeviceData::outputScale)
                      == kCompensationAddress + kCompensationSize,
              "the block ends with the output scale");

constexpr std::uint8_t kCelsiusCode = 32;
constexpr std::uint8_t kPt1000SensorType = 7;

// "℃", "℉", "°R" and "Kelvin": the standard values are temperatures simulated by a
// resistance decade.
bool isTemperatureUnit(const QString &unitText);

enum class DivisionRule { Linear, Pt100Decades };
// The five proposed standard values for n points (2..5) between low and high; entries from n on
// are 0. Pt100Decades takes low and high as ℃ and puts every point on a multiple of 10 Ω.
std::array<float, kPressurePoints> equalDivision(float low, float high, unsigned n,
                                                 DivisionRule rule);

// "电阻=%1Ω" for a standard value in the factory unit; a Pt1000 reads ten times the Pt100.
QString resistanceTooltip(float value, std::uint8_t factoryUnit, std::uint8_t sensorType);

// Customary unit text cut to the record's 9 bytes, never through the middle of a character.
QByteArray customUnitBytes(const QString &text);
// The stored bytes up to the first zero.
QString customUnitText(const DeviceData &d);

// Everything the linearization page holds, as numbers.
struct LinearizationTable
{
    int pressurePoints = 2; // 2..5
    int tempPoints = 1;     // 1..10
    std::uint8_t factoryUnit = 0;
    std::uint8_t pvUnit = 0;
    std::uint16_t decimals = 0;
    float rangeLow = 0;
    float rangeHigh = 0;
    QString customUnit;
    std::array<float, kPressurePoints> standard{};
    std::array<float, kTempPoints> tempCelsius{};
    std::array<float, kTempPoints> tempSignal{};
    std::array<std::array<float, kTempPoints>, kPressurePoints> pointSignal{};
    std::array<float, kTempPoints> currentTempSignal{};
    std::array<std::array<float, kTempPoints>, kOutputPoints> currentReading{};
};

// The table into the record with its fits, the identity resets of both corrections and the
// output constants. Counts outside 2..5 and 1..10 are clamped before any fit reads the arrays.
void collectLinearization(DeviceData &d, const LinearizationTable &t);
// The record as the page shows it; counts clamped to what the combo boxes offer.
LinearizationTable linearizationTable(const DeviceData &d);
// After a read: the pressure-point coefficients refitted from the stored points. A stored
// temperature-point count outside 1..10 leaves the coefficients as read.
void recomputeCompensation(DeviceData &d);

// Both corrections and the PV zero back to the identity over the range.
void resetCorrections(DeviceData &d);

void collectSecondCorrection(DeviceData &d, int n, const std::array<float, kSecondPoints> &standard,
                             const std::array<float, kSecondPoints> &measured);
void collectUserCalibration(DeviceData &d, const std::array<float, 2> &standard,
                            const std::array<float, 2> &measured);

// Why the collected coefficients must not be written (equal abscissae within the point count,
// or a coefficient that is not finite), naming the points concerned; empty when writable.
QString compensationProblem(const DeviceData &d);
QString secondCorrectionProblem(const DeviceData &d);
QString userCalibrationProblem(const DeviceData &d);

// How far each collected value of a pressure point lies from a smooth curve (least squares, at
// most a parabola) through its other temperature points: a mistyped cell stands out, where the
// interpolating fit itself would pass through it unnoticed. The point reported is the one that
// deviates most for its position (end points are extrapolated, so they are allowed more).
constexpr int kMinQualityPoints = 4;
struct PointQuality
{
    bool known = false;
    double maxDeviation = 0; // of the point reported
    int worstTempPoint = -1; // 0-based
};
std::array<PointQuality, kPressurePoints> fitQuality(const DeviceData &d);
// One line per pressure point in use, e.g. "第1点：最大偏差 0.5（温补点3）".
QString fitQualityText(const std::array<PointQuality, kPressurePoints> &quality,
                       int pressurePoints);

// Live values on the page: decimals from the record, held to what a display can use.
QString decimalsText(float value, int decimals);

} // namespace calrules
