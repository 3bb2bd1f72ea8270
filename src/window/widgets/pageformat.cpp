// Text rules of the information and configuration pages; see pageformat.h.
#include "pageformat.h"

#include "hartcodec.h"
#include "hartidentity.h"
#include "units.h"

#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace pagefmt {

namespace {
// The page texts belong to the window's translation context.
QString shown(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}
} // namespace

QString real(float value)
{
    return QString::number(double(value), 'g', 6);
}

float parseReal(const QString &text)
{
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    // "inf" and "nan" convert, but a transmitter must never be sent one as a setting.
    return ok && std::isfinite(value) ? value : 0.0f;
}

std::uint32_t parseUnsigned(const QString &text)
{
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok, 10);
    return ok ? value : 0;
}

QString hexByte(std::uint8_t value)
{
    return QString::asprintf("0x%02X", value);
}

QString manufacturerText(std::uint8_t id)
{
    if (id == makerManufacturerId || id == makerManufacturerIdAlt)
        return shown(QT_TRANSLATE_NOOP("MainWindow", "VQM"));
    return hexByte(id);
}

QString unitText(std::uint8_t code)
{
    return QString::fromUtf8(unit_name_of_code(code));
}

QString transferText(std::uint8_t code)
{
    return code == 1 ? shown(QT_TRANSLATE_NOOP("MainWindow", "开方"))
                     : shown(QT_TRANSLATE_NOOP("MainWindow", "线性"));
}

std::uint32_t get24(const std::uint8_t *bytes)
{
    return std::uint32_t(bytes[0]) << 16 | std::uint32_t(bytes[1]) << 8 | bytes[2];
}

void put24(std::uint8_t *bytes, std::uint32_t value)
{
    bytes[0] = std::uint8_t(value >> 16);
    bytes[1] = std::uint8_t(value >> 8);
    bytes[2] = std::uint8_t(value);
}

std::uint32_t deviceIdentifier(const std::uint8_t uniqueAddress[5])
{
    return get24(uniqueAddress + 2);
}

QString dateText(std::uint8_t day, std::uint8_t month, std::uint8_t yearSince1900)
{
    return QString::asprintf("%04d.%02d.%02d", int(yearSince1900) + 1900, month, day);
}

bool parseDate(const QString &text, Date &out)
{
    // sscanf("%d.%d.%d") semantics without its undefined behaviour on overlong numbers.
    static const QRegularExpression shape(
            QStringLiteral("^\\s*([+-]?\\d{1,9})\\.\\s*([+-]?\\d{1,9})\\.\\s*([+-]?\\d{1,9})"));
    const QRegularExpressionMatch m = shape.match(text);
    if (!m.hasMatch())
        return false;
    out.year = m.captured(1).toInt();
    out.month = m.captured(2).toInt();
    out.day = m.captured(3).toInt();
    return true;
}

QString unpackedText(const std::uint8_t *packed, std::size_t length)
{
    char buffer[100];
    unpackAscii(buffer, sizeof buffer - 1, packed, length);
    buffer[sizeof buffer - 1] = '\0';
    return QString::fromLatin1(buffer, int(std::strlen(buffer)));
}

void packText(std::uint8_t *dest, std::size_t length, const QString &text, LetterCase letterCase)
{
    std::memset(dest, 0, length);
    QByteArray bytes = text.toUtf8();
    if (letterCase == LetterCase::FoldToUpper) {
        for (char &c : bytes) {
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        }
    }
    packAscii(dest, bytes.constData(), length);
}

QString buildDateText(const char *compilerDate)
{
    QString text = QString::fromLatin1(compilerDate);
    text.replace(QStringLiteral("  "), QStringLiteral(" 0"));
    const QDate date = QLocale(QLocale::English).toDate(text, QStringLiteral("MMM dd yyyy"));
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

TransmitterInfo transmitterInfo(const DeviceData &d)
{
    TransmitterInfo t;
    t.sensorUnit = unitText(d.sensorUnits);
    t.sensorUpper = real(d.sensorUpperLimit);
    t.sensorLower = real(d.sensorLowerLimit);
    t.minimumSpan = real(d.minimumSpan);
    t.sensorSerial = QString::number(get24(d.sensorSerial));
    t.pvUnit = unitText(std::uint8_t(d.pvUnits & 0xFF));
    t.upperRange = real(d.upperRangeValue);
    t.lowerRange = real(d.lowerRangeValue);
    t.damping = real(d.damping);
    t.transfer = transferText(d.transferFunction);
    return t;
}

MeterInfo meterInfo(const DeviceData &d, std::uint8_t pollingAddress, std::uint32_t deviceId)
{
    MeterInfo m;
    m.shortAddress = QString::number(pollingAddress);
    m.longAddress = QString::number(deviceId);
    m.tag = unpackedText(d.tag, sizeof d.tag);
    m.finalAssembly = QString::number(get24(d.finalAssemblyNumber));
    m.descriptor = unpackedText(d.descriptor, sizeof d.descriptor);
    m.message = unpackedText(d.message, sizeof d.message);
    m.date = dateText(d.dateDay, d.dateMonth, d.dateYear);
    return m;
}

void collectMeterInfo(DeviceData &d, const MeterInfo &typed)
{
    put24(d.finalAssemblyNumber,
          std::min<std::uint32_t>(parseUnsigned(typed.finalAssembly), 0xFFFFFF));
    Date date;
    if (parseDate(typed.date, date)) {
        d.dateYear = std::uint8_t(date.year - 1900);
        d.dateMonth = std::uint8_t(date.month);
        d.dateDay = std::uint8_t(date.day);
    }
    packText(d.message, sizeof d.message, typed.message, LetterCase::FoldToUpper);
    packText(d.descriptor, sizeof d.descriptor, typed.descriptor, LetterCase::FoldToUpper);
    packText(d.tag, sizeof d.tag, typed.tag, LetterCase::FoldToUpper);
}

MoreInfo moreInfo(const DeviceData &d)
{
    MoreInfo m;
    m.manufacturer = manufacturerText(d.manufacturerId);
    m.deviceType = hexByte(d.deviceType);
    m.universalRevision = QString::number(d.universalRevision);
    m.deviceRevision = QString::number(d.deviceRevision);
    m.hardwareRevision = QString::number(d.hardwareRevision);
    m.softwareRevision = QString::number(d.softwareRevision);
    m.alarmSelection = d.alarmSelection != 0 ? shown(QT_TRANSLATE_NOOP("MainWindow", "输出最小电流"))
                                             : shown(QT_TRANSLATE_NOOP("MainWindow", "输出最大电流"));
    m.writeProtect = d.writeProtect != 0 ? shown(QT_TRANSLATE_NOOP("MainWindow", "已写保护"))
                                         : shown(QT_TRANSLATE_NOOP("MainWindow", "未写保护"));
    return m;
}

RangeInfo rangeInfo(const DeviceData &d)
{
    RangeInfo r;
    r.sensorUnit = unitText(d.sensorUnits);
    r.sensorUpper = real(d.sensorUpperLimit);
    r.sensorLower = real(d.sensorLowerLimit);
    r.minimumSpan = real(d.minimumSpan);
    r.pvUnit = unitText(std::uint8_t(d.pvUnits & 0xFF));
    r.upperRange = real(d.upperRangeValue);
    r.lowerRange = real(d.lowerRangeValue);
    return r;
}

void collectRange(DeviceData &d, int unitIndex, const QString &upper, const QString &lower)
{
    d.upperRangeValue = parseReal(upper);
    d.lowerRangeValue = parseReal(lower);
    d.pvUnits = unit_code_of_index(unitIndex);
}

OutputSettings outputSettings(const DeviceData &d)
{
    return {real(d.damping), d.transferFunction};
}

void collectOutputSettings(DeviceData &d, const OutputSettings &typed)
{
    d.damping = parseReal(typed.damping);
    storeIndex(d.transferFunction, typed.transferFunction);
}

DisplaySettings displaySettings(const DeviceData &d)
{
    return {d.displayVariable1, d.displayVariable2, d.pvDecimals,
            d.svDecimals,       d.displayLanguage,  d.displayContrast};
}

void collectDisplaySettings(DeviceData &d, const DisplaySettings &typed)
{
    storeIndex(d.displayVariable1, typed[0]);
    storeIndex(d.displayVariable2, typed[1]);
    storeIndex(d.pvDecimals, typed[2]);
    storeIndex(d.svDecimals, typed[3]);
    storeIndex(d.displayLanguage, typed[4]);
    storeIndex(d.displayContrast, typed[5]);
}

ProprietarySettings proprietarySettings(const DeviceData &d)
{
    ProprietarySettings p;
    p.writeProtect = d.writeProtect;
    p.alarmType = d.alarmType;
    p.alarmSelection = d.alarmSelection;
    p.cutoffMode = d.cutoffMode;
    p.density = real(d.density);
    p.alarmUpper = real(d.alarmUpperLimit);
    p.alarmLower = real(d.alarmLowerLimit);
    p.smallSignalCutoff = real(d.smallSignalCutoff);
    p.offset = real(d.pvOffset);
    p.gain = real(d.pvGain);
    return p;
}

void collectProprietarySettings(DeviceData &d, const ProprietarySettings &typed)
{
    storeIndex(d.writeProtect, typed.writeProtect);
    storeIndex(d.alarmType, typed.alarmType);
    storeIndex(d.alarmSelection, typed.alarmSelection);
    storeIndex(d.cutoffMode, typed.cutoffMode);
    d.density = parseReal(typed.density);
    d.alarmUpperLimit = parseReal(typed.alarmUpper);
    d.alarmLowerLimit = parseReal(typed.alarmLower);
    d.smallSignalCutoff = parseReal(typed.smallSignalCutoff);
    d.pvOffset = parseReal(typed.offset);
    d.pvGain = parseReal(typed.gain);
}

} // namespace pagefmt
