// Unit table, value conversion and Pt100 conversion for the transmitter's engineering units.
#include "units.h"

#include <cmath>
#include <cstddef>
#include <limits>

const std::array<UnitCode, kUnitCodeCount> unit_code_table{{
        {1, "inH2O"},
        {2, "inHg"},
        {3, "ftH2O"},
        {4, "mmH2O"},
        {5, "mmHg"},
        {6, "psi"},
        {7, "bar"},
        {8, "mbar"},
        {9, "gf/cm2"},
        {10, "kgf/cm2"},
        {11, "Pa"},
        {12, "kPa"},
        {13, "Torr"},
        {14, "atm"},
        {237, "MPa"},
        {238, "inH2O@4\xE2\x84\x83"}, // inH2O@4℃
        {239, "mmH2O@4\xE2\x84\x83"}, // mmH2O@4℃
        {240, "mH2O"},
        {241, "mHg"},
        {32, "\xE2\x84\x83"}, // ℃
        {33, "\xE2\x84\x89"}, // ℉
        {34, "\xC2\xB0R"},    // °R
        {35, "Kelvin"},
        {36, "mV"},
        {39, "mA"},
        {57, "%"},
        {249, "custom"},
}};

namespace {

constexpr std::uint8_t kCelsius = 32;
constexpr std::uint8_t kFahrenheit = 33;
constexpr std::uint8_t kRankine = 34;
constexpr std::uint8_t kKelvin = 35;

constexpr int kPressureCount = 19;
constexpr std::array<std::uint8_t, kPressureCount> kPressureCodes{
        1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 237, 238, 239, 240, 241};

constexpr int pressureIndex(std::uint8_t code)
{
    for (int i = 0; i < kPressureCount; ++i) {
        if (kPressureCodes[i] == code)
            return i;
    }
    return -1;
}

constexpr double kGravity = 9.80665;   // m/s^2, standard
constexpr double kWater4C = 1000.0;    // kg/m^3, conventional
constexpr double kWater68F = 998.2071; // kg/m^3 at 20 C
constexpr double kMercury0C = 13595.1; // kg/m^3, conventional
constexpr double kInch = 0.0254;       // m
constexpr double kPsi = 0.45359237 * kGravity / (kInch * kInch);

constexpr double column(double heightM, double densityKgPerM3)
{
    return heightM * densityKgPerM3 * kGravity;
}

// Each pressure unit in pascal, in kPressureCodes order.
constexpr std::array<double, kPressureCount> kPascal{
        column(kInch, kWater68F),      // inH2O (68 F)
        column(kInch, kMercury0C),     // inHg (0 C)
        column(12 * kInch, kWater68F), // ftH2O (68 F)
        column(0.001, kWater68F),      // mmH2O (68 F)
        column(0.001, kMercury0C),     // mmHg (0 C)
        kPsi,                          // psi
        1e5,                           // bar
        100.0,                         // mbar
        kGravity / 1e-4 / 1000.0,      // gf/cm2
        kGravity / 1e-4,               // kgf/cm2
        1.0,                           // Pa
        1e3,                           // kPa
        101325.0 / 760.0,              // Torr
        101325.0,                      // atm
        1e6,                           // MPa
        column(kInch, kWater4C),       // inH2O@4C
        column(0.001, kWater4C),       // mmH2O@4C
        column(1.0, kWater68F),        // mH2O (68 F)
        column(1.0, kMercury0C),       // mHg (0 C)
};

using FactorRow = std::array<float, kPressureCount>;

// The rows from mmH2O, kPa and MPa are fixed values, coarse rounding included (mmH2O -> MPa is
// 0.00001), so they are kept literally rather than derived. The own-code entry is 1.
constexpr FactorRow kFromMmH2O{0.03937f,  0.002891f, 0.003281f, 1.0f,      0.073424f,
                               0.00142f,  0.000098f, 0.097891f, 0.099821f, 0.0001f,
                               9.789055f, 0.009789f, 0.073424f, 0.000097f, 0.00001f,
                               0.039299f, 0.998209f, 0.001f,    0.000073f};
constexpr FactorRow kFromKPa{4.021847f, 0.2953f,    0.335153f,  102.15491f,  7.500623f,
                             0.145038f, 0.01f,      10.0f,      10.197191f,  0.010197f,
                             1000.0f,   1.0f,       7.500623f,  0.009869f,   0.001f,
                             4.014627f, 101.97191f, 0.1021549f, 0.007500623f};
constexpr FactorRow kFromMPa{4021.8467f, 295.30008f,  335.15256f, 102154.91f, 7500.6235f,
                             145.03784f, 10.0f,       10000.0f,   10197.191f, 10.197191f,
                             1000000.0f, 1000.0f,     7500.6235f, 9.86925f,   1.0f,
                             4014.6274f, 101971.914f, 102.15491f, 7.500623f};

constexpr double roundToSevenDigits(double v)
{
    if (!(v > 0.0))
        return v;
    int exponent = 0;
    while (v >= 1e7) {
        v /= 10.0;
        ++exponent;
    }
    while (v < 1e6) {
        v *= 10.0;
        --exponent;
    }
    v = static_cast<double>(static_cast<long long>(v + 0.5));
    for (; exponent > 0; --exponent)
        v *= 10.0;
    for (; exponent < 0; ++exponent)
        v /= 10.0;
    return v;
}

constexpr std::array<FactorRow, kPressureCount> buildPressureFactors()
{
    std::array<FactorRow, kPressureCount> table{};
    for (int from = 0; from < kPressureCount; ++from) {
        for (int to = 0; to < kPressureCount; ++to) {
            table[from][to] = from == to
                    ? 1.0f
                    : static_cast<float>(roundToSevenDigits(kPascal[from] / kPascal[to]));
        }
    }
    table[pressureIndex(4)] = kFromMmH2O;
    table[pressureIndex(12)] = kFromKPa;
    table[pressureIndex(237)] = kFromMPa;
    // mmHg and Torr are treated as the same unit.
    table[pressureIndex(5)][pressureIndex(13)] = 1.0f;
    table[pressureIndex(13)][pressureIndex(5)] = 1.0f;
    return table;
}

constexpr std::array<FactorRow, kPressureCount> kPressureFactors = buildPressureFactors();

bool isTemperature(std::uint8_t code)
{
    return code >= kCelsius && code <= kKelvin;
}

double convertTemperature(double v, std::uint8_t from, std::uint8_t to)
{
    switch (from) {
    case kCelsius:
        switch (to) {
        case kFahrenheit: return v * 1.8 + 32.0;
        case kRankine: return (v + 273.15) * 1.8;
        case kKelvin: return v + 273.15;
        }
        break;
    case kFahrenheit:
        switch (to) {
        case kCelsius: return (v - 32.0) / 1.8;
        case kRankine: return ((v - 32.0) / 1.8 + 273.15) * 1.8;
        case kKelvin: return (v - 32.0) / 1.8 + 273.15;
        }
        break;
    case kRankine:
        switch (to) {
        case kCelsius: return v / 1.8 - 273.15;
        case kFahrenheit: return (v / 1.8 - 273.15) * 1.8 + 32.0;
        case kKelvin: return v / 1.8;
        }
        break;
    case kKelvin:
        switch (to) {
        case kCelsius: return v - 273.15;
        case kFahrenheit: return (v - 273.15) * 1.8 + 32.0;
        case kRankine: return v * 1.8;
        }
        break;
    }
    return v;
}

constexpr double kA = 3.9083e-3;
constexpr double kB = -5.775e-7;
constexpr double kC = -4.183e-12;

} // namespace

const char *unit_name_of_code(std::uint8_t code)
{
    for (const UnitCode &entry : unit_code_table) {
        if (entry.code == code)
            return entry.text;
    }
    return kUnitNotFoundText;
}

std::uint8_t unit_code_of_index(int index)
{
    if (index < 0 || index >= kUnitCodeCount)
        return 0;
    return unit_code_table[static_cast<std::size_t>(index)].code;
}

float convert_unit_value(float v, std::uint8_t from, std::uint8_t to)
{
    if (from == to)
        return v;
    if (isTemperature(from) && isTemperature(to))
        return static_cast<float>(convertTemperature(v, from, to));
    const int fromIndex = pressureIndex(from);
    const int toIndex = pressureIndex(to);
    if (fromIndex < 0 || toIndex < 0)
        return v;
    return static_cast<float>(static_cast<double>(v) * kPressureFactors[fromIndex][toIndex]);
}

float pt100_resistance(float t)
{
    double temp = t;
    if (temp > 850.0)
        temp = 850.0;
    if (temp < -200.0)
        return std::numeric_limits<float>::quiet_NaN();
    double r = 0.0;
    if (temp < 0.0)
        r = 100.0 * (1.0 + kA * temp + kB * temp * temp + kC * (temp - 100.0) * temp * temp * temp);
    else
        r = 100.0 * (1.0 + kA * temp + kB * temp * temp);
    return static_cast<float>(r);
}

float pt100_temperature(float r)
{
    double res = r;
    double t = 0.0;
    // Bounds are the resistances at about -200 C and 850 C, with their matching start values.
    if (res < 18.52) {
        res = 18.52;
        t = -208.47939001611954;
    } else if (res > 390.481) {
        res = 390.481;
        t = 743.2413069621063;
    } else {
        t = (res / 100.0 - 1.0) / kA;
    }
    // The cubic and quartic terms only apply below 0 C, i.e. below 100 ohm.
    const bool belowZero = res < 100.0;
    for (int step = 0; step < 50; ++step) {
        double f = 0.0;
        double df = 0.0;
        if (belowZero) {
            f = 1.0 + kA * t + kB * t * t + 4.183e-10 * t * t * t - 4.183e-12 * t * t * t * t;
            df = kA - 1.155e-6 * t + 1.2549e-9 * t * t - 1.6732e-11 * t * t * t;
        } else {
            f = 1.0 + kA * t + kB * t * t;
            df = kA - 1.155e-6 * t;
        }
        const double next = t + (res - 100.0 * f) / (100.0 * df);
        const bool converged = std::fabs(next - t) < 0.001;
        t = next;
        if (converged)
            break;
    }
    return static_cast<float>(t);
}
