// Text rules of the information and configuration pages (stacked pages 2-11): DeviceData
// values to the texts the widgets show, and typed texts back into DeviceData. No widgets and
// no locking here; the window copies DeviceData under the worker's mutex and applies these.
#pragma once

#include "devicedata.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace pagefmt {

// Reals: general format, 6 significant digits (4 -> "4", 1234567 -> "1.23457e+06").
QString real(float value);
// Locale-independent; text that does not convert, or converts to inf/NaN, gives 0.
float parseReal(const QString &text);
// Base 10; text that does not convert gives 0.
std::uint32_t parseUnsigned(const QString &text);

QString hexByte(std::uint8_t value);       // "0x%02X"
QString manufacturerText(std::uint8_t id); // "VQM" for the maker's two codes
QString unitText(std::uint8_t code);       // "no found" when absent from the table
QString transferText(std::uint8_t code);   // "开方" for 1, else "线性"

// Three bytes, most significant first.
std::uint32_t get24(const std::uint8_t *bytes);
void put24(std::uint8_t *bytes, std::uint32_t value);
// Device identifier: bytes 2..4 of the master's 5-byte unique address.
std::uint32_t deviceIdentifier(const std::uint8_t uniqueAddress[5]);

// "%04d.%02d.%02d" from the record's day, month and year - 1900.
QString dateText(std::uint8_t day, std::uint8_t month, std::uint8_t yearSince1900);
struct Date
{
    int year = 0;
    int month = 0;
    int day = 0;
};
// Three numbers separated by points ("%d.%d.%d"); false when the text is not of that shape.
bool parseDate(const QString &text, Date &out);

// Packed ASCII bytes to the shown text: decoded characters up to the first zero byte.
QString unpackedText(const std::uint8_t *packed, std::size_t length);
enum class LetterCase { Keep, FoldToUpper };
// Clears dest, then packs the UTF-8 form of text into exactly length bytes. Packed ASCII has
// no lower case (a-z would come back as punctuation), so user texts are folded first.
void packText(std::uint8_t *dest, std::size_t length, const QString &text, LetterCase letterCase);

// The compile date as "yyyy-MM-dd" from the compiler's "MMM dd yyyy" (one-digit days padded
// with a blank); empty when it does not parse.
QString buildDateText(const char *compilerDate);

// Identity that unlocks the five-group navigation and the maker-only buttons.
using ::isMakerDevice;

// ---- page 2: transmitter information ----
struct TransmitterInfo
{
    QString sensorUnit, sensorUpper, sensorLower, minimumSpan, sensorSerial;
    QString pvUnit, upperRange, lowerRange, damping, transfer;
};
TransmitterInfo transmitterInfo(const DeviceData &d);

// ---- page 3: meter information ----
struct MeterInfo
{
    QString shortAddress, longAddress; // shown only
    QString tag, finalAssembly, descriptor, message, date;
};
MeterInfo meterInfo(const DeviceData &d, std::uint8_t pollingAddress, std::uint32_t deviceId);
// Final assembly number, date (kept when it does not parse), then the three texts, cleared
// and packed with lower case folded.
void collectMeterInfo(DeviceData &d, const MeterInfo &typed);

// ---- page 4: more information ----
struct MoreInfo
{
    QString manufacturer, deviceType, universalRevision, deviceRevision;
    QString hardwareRevision, softwareRevision, alarmSelection, writeProtect;
};
MoreInfo moreInfo(const DeviceData &d);

// ---- pages 6 and 7: range and re-ranging ----
struct RangeInfo
{
    QString sensorUnit, sensorUpper, sensorLower, minimumSpan;
    QString pvUnit, upperRange, lowerRange;
};
RangeInfo rangeInfo(const DeviceData &d);
// The unit is taken by combo index (index i is the i-th table code; 0 past the table).
void collectRange(DeviceData &d, int unitIndex, const QString &upper, const QString &lower);

// ---- pages 8, 9 and 10: combo indices and real texts ----
// A combo index of -1 (the record held a value the combo has no item for, so nothing is
// selected) leaves the record's value unchanged instead of storing 255.
template<typename T>
void storeIndex(T &field, int index)
{
    if (index >= 0)
        field = static_cast<T>(index);
}

struct OutputSettings
{
    QString damping;
    int transferFunction = 0;
};
OutputSettings outputSettings(const DeviceData &d);
void collectOutputSettings(DeviceData &d, const OutputSettings &typed);

// Order of the fields: variable 1, variable 2, PV decimals, SV decimals, language, contrast.
using DisplaySettings = std::array<int, 6>;
DisplaySettings displaySettings(const DeviceData &d);
void collectDisplaySettings(DeviceData &d, const DisplaySettings &typed);

struct ProprietarySettings
{
    int writeProtect = 0, alarmType = 0, alarmSelection = 0, cutoffMode = 0;
    QString density, alarmUpper, alarmLower, smallSignalCutoff, offset, gain;
};
ProprietarySettings proprietarySettings(const DeviceData &d);
void collectProprietarySettings(DeviceData &d, const ProprietarySettings &typed);

} // namespace pagefmt
