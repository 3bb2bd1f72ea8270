// Text rules of the Modbus register page without widgets: the content catalogue, custom
// words shown and typed in decimal, hexadecimal or as two characters, the 50-register text
// with its byte order, and the page's values applied to the record.
#pragma once

#include "devicedata.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace modbusfmt {

constexpr int kRows = 20;
constexpr int kTextWords = 50;
constexpr int kTextBytes = 2 * kTextWords;
constexpr int kCatalogueSize = 26;

// Codes whose rows carry a custom data word.
constexpr int kCustomDecimal = 23;
constexpr int kCustomHex = 24;
constexpr int kCustomChars = 25;

// Untranslated catalogue texts, by content code.
extern const char *const kCatalogue[kCatalogueSize];

// The data edit's text for a row's word, or nothing when the content leaves the edit as it is.
std::optional<QString> customWordText(int content, std::uint16_t word);
// The typed text as the row's word, or nothing when the content keeps the stored word.
// Numbers that do not parse give 0; larger ones keep their low 16 bits.
std::optional<std::uint16_t> parseCustomWord(int content, const QString &text);

using TextWords = std::array<std::uint16_t, kTextWords>;
// Word k = byte 2k * 256 + byte 2k+1 of the UTF-8 text, cut at 100 bytes, zero-filled.
TextWords wordsFromText(const QString &text);
// The UTF-8 text up to the first zero byte.
QString textFromWords(const TextWords &words);

// 0 when the text is not an unsigned decimal number; low 16 bits otherwise.
std::uint16_t parseWord(const QString &text, int base = 10);

// What the page's widgets hold, already parsed.
struct PageValues
{
    struct Row
    {
        int content = -1; // -1: nothing selected, the stored code stays
        std::uint16_t address = 0;
        std::optional<std::uint16_t> word;
    };
    std::array<Row, kRows> rows;
    std::uint16_t textStart = 0;
    TextWords text{};
    bool byteSwap = false;
    bool bigEndian = false;
};

enum class ByteOrderFlags { Keep, Take };
// Call with the data lock held.
void apply(DeviceData &d, const PageValues &values, ByteOrderFlags flags);

// The record's Modbus section as the page shows it. Call with the data lock held.
struct RecordValues
{
    std::array<ModbusCustomReg, kRows> rows{};
    std::uint16_t textStart = 0;
    TextWords text{};
    bool byteSwap = false;
    bool bigEndian = false;
};
RecordValues read(const DeviceData &d);

} // namespace modbusfmt
