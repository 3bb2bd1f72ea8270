// What a HART 5, 6 or 7 transmitter says about its own health, taken apart: the identity
// by universal revision, the additional device status, the device variables with their
// status, and the NAMUR NE 107 verdict built from them. Pure functions on raw answers; every
// length is the number of bytes the device actually sent.
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstddef>
#include <cstdint>

namespace health {

// Extended device status (command 0 byte 16, command 9 byte 0, command 48 byte 6).
namespace ext {
constexpr std::uint8_t maintenanceRequired = 0x01;
constexpr std::uint8_t variableAlert = 0x02;
constexpr std::uint8_t criticalPower = 0x04;
constexpr std::uint8_t failure = 0x08;
constexpr std::uint8_t outOfSpecification = 0x10;
constexpr std::uint8_t functionCheck = 0x20;
} // namespace ext

constexpr std::uint8_t kMoreStatusAvailable = 0x10; // field-device status bit 4
constexpr std::uint8_t kConfigurationChanged = 0x40;
constexpr std::size_t kAdditionalStatusSize = 25; // command 48's full answer

// A field is present only when the answer covers it and its value is in its documented range.
template<typename T>
struct Field
{
    bool present = false;
    T value{};
};

struct Identity
{
    bool valid = false; // at least the twelve bytes every revision sends
    std::uint8_t universalRevision = 0;
    std::uint8_t manufacturerId = 0; // byte 1 (revision 7: high byte of the device type)
    std::uint16_t deviceType = 0;    // byte 2 (revision 7: bytes 1-2)
    std::uint8_t deviceRevision = 0;
    std::uint8_t softwareRevision = 0;
    std::uint8_t hardwareRevision = 0; // bits 7-3 of byte 7
    std::uint32_t deviceId = 0;
    // Revision 6 and 7.
    Field<std::uint8_t> responsePreambles;
    Field<std::uint8_t> maxDeviceVariables;
    Field<std::uint16_t> configChangeCounter;
    Field<std::uint8_t> extendedStatus;
    // Revision 7.
    Field<std::uint16_t> manufacturerCode;
    Field<std::uint16_t> privateLabel;
    Field<std::uint8_t> deviceProfile;
};

Identity decodeIdentity(const std::uint8_t *data, std::size_t length);
QString deviceProfileText(std::uint8_t profile);

// Command 48. Revision 5 devices fill the answer with device-specific bytes only.
struct AdditionalStatus
{
    bool present = false;
    std::uint8_t universalRevision = 0;
    std::uint8_t raw[kAdditionalStatusSize] = {};
    std::size_t length = 0; // bytes kept, at most 25; the rest of a longer answer is dropped
    Field<std::uint8_t> extendedStatus;
    Field<std::uint8_t> operatingMode;
    Field<std::uint8_t> standardized[4];
    Field<std::uint8_t> analogSaturated;
    Field<std::uint8_t> analogFixed;
};

AdditionalStatus decodeAdditionalStatus(const std::uint8_t *data, std::size_t length,
                                        std::uint8_t universalRevision);
// Every set bit as a text; device-specific bytes as "设备专用状态 字节N: 0xHH".
QStringList additionalStatusTexts(const AdditionalStatus &status);
QString additionalStatusHex(const AdditionalStatus &status);
QStringList extendedStatusTexts(std::uint8_t extendedStatus);

// One dynamic variable (command 9, or command 3 for revision 5 without a status).
struct Variable
{
    QString name; // PV, SV, TV, QV
    std::uint8_t code = 0;
    Field<std::uint8_t> classification;
    std::uint8_t units = 0;
    float value = 0.0f;
    Field<std::uint8_t> status;
};

// Answers of command 9 for slots PV..QV (one or more answers, in slot order) or of command 3.
QVector<Variable> decodeCommand9(const std::uint8_t *data, std::size_t length, int firstSlot,
                                 std::uint8_t universalRevision, std::uint8_t *extendedStatus);
QVector<Variable> decodeCommand3(const std::uint8_t *data, std::size_t length);
QString variableStatusText(std::uint8_t status);      // process data and limit status
bool isVariableStatusGood(std::uint8_t status);

enum class Verdict { Unknown, Ok, MaintenanceRequired, OutOfSpecification, FunctionCheck, Failure };

struct Assessment
{
    Verdict verdict = Verdict::Unknown;
    QStringList reasons; // every decoded cause, worst first
};

// fieldStatus: the status byte of the last answer; additional: null when not read;
// variablesExtended: the extended status command 9 sent. The freshest extended status counts.
Assessment assess(std::uint8_t fieldStatus, const Identity &identity,
                  const AdditionalStatus *additional, const QVector<Variable> &variables,
                  Field<std::uint8_t> variablesExtended = {});

QString verdictKey(Verdict v);    // "ok", "failure", "function-check", ...
QString verdictSymbol(Verdict v); // never shown alone: always with verdictWord
QString verdictWord(Verdict v);
QString verdictColor(Verdict v);  // the NE 107 colour, as a style-sheet colour
QString fieldStatusText(std::uint8_t bitMask);

} // namespace health
