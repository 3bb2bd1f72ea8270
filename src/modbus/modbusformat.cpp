// Conversions between the Modbus section of the record and the page's texts.
#include "modbusformat.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace modbusfmt {

const char *const kCatalogue[kCatalogueSize] = {
        QT_TRANSLATE_NOOP("MainWindow", "整型主变量值"),
        QT_TRANSLATE_NOOP("MainWindow", "整型副变量值"),
        QT_TRANSLATE_NOOP("MainWindow", "整型板卡温度值"),
        QT_TRANSLATE_NOOP("MainWindow", "整型电流值"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点主变量值低16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点主变量值高16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点副变量值低16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点副变量值高16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点板卡温度值低16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点板卡温度值高16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点理论电流值低16位"),
        QT_TRANSLATE_NOOP("MainWindow", "浮点理论电流值高16位"),
        QT_TRANSLATE_NOOP("MainWindow", "Modbus地址"),
        QT_TRANSLATE_NOOP("MainWindow", "Modbus波特率"),
        QT_TRANSLATE_NOOP("MainWindow", "Modbus校验位"),
        QT_TRANSLATE_NOOP("MainWindow", "主变量单位"),
        QT_TRANSLATE_NOOP("MainWindow", "副变量单位"),
        QT_TRANSLATE_NOOP("MainWindow", "主变量小数位数"),
        QT_TRANSLATE_NOOP("MainWindow", "副变量小数位数"),
        QT_TRANSLATE_NOOP("MainWindow", "主变量偏移值低16位"),
        QT_TRANSLATE_NOOP("MainWindow", "主变量偏移值高16位"),
        QT_TRANSLATE_NOOP("MainWindow", "主变量增益值低16位"),
        QT_TRANSLATE_NOOP("MainWindow", "主变量增益值高16位"),
        QT_TRANSLATE_NOOP("MainWindow", "自定义数据10进制"),
        QT_TRANSLATE_NOOP("MainWindow", "自定义数据16进制"),
        QT_TRANSLATE_NOOP("MainWindow", "自定义数据字符型"),
};

std::uint16_t parseWord(const QString &text, int base)
{
    bool ok = false;
    const qulonglong value = text.trimmed().toULongLong(&ok, base);
    return ok ? std::uint16_t(value & 0xFFFF) : 0;
}

std::optional<QString> customWordText(int content, std::uint16_t word)
{
    switch (content) {
    case kCustomDecimal: return QString::number(word);
    case kCustomHex: return QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
    case kCustomChars: {
        // Exactly two bytes: a zero low byte stays as a U+0000 second character.
        const char bytes[2] = {char(word >> 8), char(word & 0xFF)};
        return QString::fromUtf8(bytes, 2);
    }
    default: return std::nullopt;
    }
}

std::optional<std::uint16_t> parseCustomWord(int content, const QString &text)
{
    switch (content) {
    case kCustomDecimal: return parseWord(text, 10);
    case kCustomHex: return parseWord(text, 16);
    case kCustomChars: {
        const QByteArray utf8 = text.toUtf8();
        std::uint8_t bytes[2] = {};
        std::memcpy(bytes, utf8.constData(), std::size_t(std::min(utf8.size(), 2)));
        return std::uint16_t(bytes[0] << 8 | bytes[1]);
    }
    default: return std::nullopt;
    }
}

TextWords wordsFromText(const QString &text)
{
    std::uint8_t bytes[kTextBytes] = {};
    const QByteArray utf8 = text.toUtf8();
    // A multi-byte character may be cut at byte 100, as the device stores only 100 bytes.
    std::memcpy(bytes, utf8.constData(), std::size_t(std::min(utf8.size(), kTextBytes)));
    TextWords words{};
    for (int k = 0; k < kTextWords; ++k)
        words[k] = std::uint16_t(bytes[2 * k] << 8 | bytes[2 * k + 1]);
    return words;
}

QString textFromWords(const TextWords &words)
{
    char bytes[kTextBytes + 1] = {};
    for (int k = 0; k < kTextWords; ++k) {
        bytes[2 * k] = char(words[k] >> 8);
        bytes[2 * k + 1] = char(words[k] & 0xFF);
    }
    return QString::fromUtf8(bytes, int(std::strlen(bytes)));
}

void apply(DeviceData &d, const PageValues &values, ByteOrderFlags flags)
{
    // Whole-struct copies: the record is packed, so no references into it.
    ModbusCustomReg rows[kRows];
    std::memcpy(rows, d.modbusCustomRegs, sizeof rows);
    for (int i = 0; i < kRows; ++i) {
        const PageValues::Row &row = values.rows[i];
        if (row.content >= 0 && row.content < kCatalogueSize)
            rows[i].content = std::uint16_t(row.content);
        rows[i].address = row.address;
        if (row.word)
            rows[i].data = *row.word;
    }
    std::memcpy(d.modbusCustomRegs, rows, sizeof rows);
    d.modbusTextStart = values.textStart;
    std::memcpy(d.modbusTextData, values.text.data(), sizeof d.modbusTextData);
    if (flags == ByteOrderFlags::Take) {
        d.modbusByteSwap = values.byteSwap ? 1 : 0;
        d.modbusBigEndian = values.bigEndian ? 1 : 0;
    }
}

RecordValues read(const DeviceData &d)
{
    RecordValues r;
    std::memcpy(r.rows.data(), d.modbusCustomRegs, sizeof d.modbusCustomRegs);
    r.textStart = d.modbusTextStart;
    std::memcpy(r.text.data(), d.modbusTextData, sizeof d.modbusTextData);
    r.byteSwap = d.modbusByteSwap != 0;
    r.bigEndian = d.modbusBigEndian != 0;
    return r;
}

} // namespace modbusfmt
