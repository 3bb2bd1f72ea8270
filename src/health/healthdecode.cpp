#include "healthdecode.h"

#include "devicestatus.h"
#include "hartcodec.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace health {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("health", text);
}

QString hex2(unsigned value)
{
    return QStringLiteral("0x%1").arg(QString::number(value & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0')));
}

struct Bit
{
    std::uint8_t mask;
    Verdict verdict; // Ok: told, but no trouble by itself
    const char *text;
};

const Bit kExtended[] = {
        {ext::failure, Verdict::Failure, QT_TRANSLATE_NOOP("health", "故障")},
        {ext::criticalPower, Verdict::Failure, QT_TRANSLATE_NOOP("health", "供电严重故障")},
        {ext::functionCheck, Verdict::FunctionCheck, QT_TRANSLATE_NOOP("health", "功能检查")},
        {ext::outOfSpecification, Verdict::OutOfSpecification,
         QT_TRANSLATE_NOOP("health", "超出规格")},
        {ext::variableAlert, Verdict::OutOfSpecification,
         QT_TRANSLATE_NOOP("health", "设备变量报警")},
        {ext::maintenanceRequired, Verdict::MaintenanceRequired,
         QT_TRANSLATE_NOOP("health", "需要维护")},
};

const Bit kStandardized[4][8] = {
        {{0x01, Verdict::FunctionCheck, QT_TRANSLATE_NOOP("health", "仿真运行中")},
         {0x02, Verdict::Failure, QT_TRANSLATE_NOOP("health", "非易失存储器故障")},
         {0x04, Verdict::Failure, QT_TRANSLATE_NOOP("health", "易失存储器故障")},
         {0x08, Verdict::MaintenanceRequired, QT_TRANSLATE_NOOP("health", "看门狗复位")},
         {0x10, Verdict::OutOfSpecification, QT_TRANSLATE_NOOP("health", "供电条件超出范围")},
         {0x20, Verdict::OutOfSpecification, QT_TRANSLATE_NOOP("health", "环境条件超出范围")},
         {0x40, Verdict::Failure, QT_TRANSLATE_NOOP("health", "电子部件故障")},
         {0x80, Verdict::Ok, QT_TRANSLATE_NOOP("health", "设备组态已锁定")}},
        {{0x01, Verdict::FunctionCheck, QT_TRANSLATE_NOOP("health", "状态仿真运行中")},
         {0x02, Verdict::FunctionCheck, QT_TRANSLATE_NOOP("health", "离散变量仿真运行中")},
         {0x04, Verdict::Ok, QT_TRANSLATE_NOOP("health", "事件通知溢出")}},
        {{0x01, Verdict::Ok, QT_TRANSLATE_NOOP("health", "子设备列表已变更")},
         {0x02, Verdict::MaintenanceRequired, QT_TRANSLATE_NOOP("health", "检测到重复主站")},
         {0x04, Verdict::MaintenanceRequired, QT_TRANSLATE_NOOP("health", "子设备不匹配")},
         {0x08, Verdict::MaintenanceRequired, QT_TRANSLATE_NOOP("health", "子设备标识重复")},
         {0x10, Verdict::Ok, QT_TRANSLATE_NOOP("health", "数据过时")}},
        {{0x01, Verdict::Ok, QT_TRANSLATE_NOOP("health", "容量被拒绝")},
         {0x04, Verdict::Ok, QT_TRANSLATE_NOOP("health", "带宽分配等待中")},
         {0x08, Verdict::Ok, QT_TRANSLATE_NOOP("health", "块传输等待中")},
         {0x10, Verdict::Failure, QT_TRANSLATE_NOOP("health", "无线电故障")}},
};

const Bit kFieldStatus[] = {
        {0x80, Verdict::Failure, nullptr},
        {0x08, Verdict::FunctionCheck, nullptr},
        {0x04, Verdict::OutOfSpecification, nullptr},
        {0x02, Verdict::OutOfSpecification, nullptr},
        {0x01, Verdict::OutOfSpecification, nullptr},
        {0x40, Verdict::Ok, nullptr},
        {0x20, Verdict::Ok, nullptr},
        {0x10, Verdict::Ok, nullptr},
};

// Offsets inside command 48's answer (revision 6 and 7).
constexpr std::size_t kExtendedOffset = 6;
constexpr std::size_t kModeOffset = 7;
constexpr std::size_t kStandardizedOffset[4] = {8, 9, 11, 12};
constexpr std::size_t kSaturatedOffset = 10;
constexpr std::size_t kFixedOffset = 13;

bool isDeviceSpecificByte(std::size_t index, std::uint8_t universalRevision)
{
    return universalRevision < 6 || index < kExtendedOffset || index > kFixedOffset;
}

Field<std::uint8_t> byteAt(const std::uint8_t *data, std::size_t length, std::size_t offset)
{
    Field<std::uint8_t> f;
    if (offset < length) {
        f.present = true;
        f.value = data[offset];
    }
    return f;
}

struct Found
{
    Verdict verdict;
    QString text;
};

void addBits(QVector<Found> &out, const Bit *begin, const Bit *end, std::uint8_t value)
{
    for (const Bit *b = begin; b != end; ++b)
        if (b->mask && (value & b->mask))
            out.append({b->verdict, tr(b->text)});
}

void addExtended(QVector<Found> &out, std::uint8_t value)
{
    addBits(out, std::begin(kExtended), std::end(kExtended), value);
    for (std::uint8_t mask : {std::uint8_t(0x40), std::uint8_t(0x80)})
        if (value & mask)
            out.append({Verdict::Ok, tr("扩展设备状态未定义位 %1").arg(hex2(mask))});
}

QVector<Found> additionalFindings(const AdditionalStatus &s)
{
    QVector<Found> out;
    if (s.extendedStatus.present)
        addExtended(out, s.extendedStatus.value);
    if (s.operatingMode.present && s.operatingMode.value != 0)
        out.append({Verdict::Ok, tr("工作模式 %1").arg(s.operatingMode.value)});
    for (int i = 0; i < 4; ++i)
        if (s.standardized[i].present)
            addBits(out, std::begin(kStandardized[i]), std::end(kStandardized[i]),
                    s.standardized[i].value);
    for (int channel = 0; channel < 8; ++channel) {
        if (s.analogSaturated.present && (s.analogSaturated.value & (1u << channel)))
            out.append({Verdict::OutOfSpecification, tr("模拟通道%1饱和").arg(channel + 1)});
        if (s.analogFixed.present && (s.analogFixed.value & (1u << channel)))
            out.append({Verdict::FunctionCheck, tr("模拟通道%1固定").arg(channel + 1)});
    }
    for (std::size_t i = 0; i < s.length; ++i)
        if (isDeviceSpecificByte(i, s.universalRevision) && s.raw[i] != 0)
            out.append({Verdict::Ok, tr("设备专用状态 字节%1: %2").arg(i).arg(hex2(s.raw[i]))});
    return out;
}

} // namespace

Identity decodeIdentity(const std::uint8_t *data, std::size_t length)
{
    Identity id;
    if (!data || length < 12)
        return id;
    id.valid = true;
    id.universalRevision = data[4];
    id.manufacturerId = data[1];
    id.deviceType = data[2];
    id.deviceRevision = data[5];
    id.softwareRevision = data[6];
    id.hardwareRevision = data[7];
    id.deviceId = std::uint32_t(data[9]) << 16 | std::uint32_t(data[10]) << 8 | data[11];
    if (id.universalRevision < 6)
        return id;
    if (length > 12 && data[12] >= hart::kMinPreambles && data[12] <= hart::kMaxPreambles)
        id.responsePreambles = {true, data[12]};
    // 0 would be a device without even a PV; codes 244 and up name no device variable.
    if (length > 13 && data[13] >= 1 && data[13] <= 244)
        id.maxDeviceVariables = {true, data[13]};
    if (length > 15)
        id.configChangeCounter = {true, getU16BE(data + 14)};
    if (length > 16)
        id.extendedStatus = {true, data[16]};
    if (id.universalRevision < 7)
        return id;
    id.deviceType = std::uint16_t(data[1] << 8 | data[2]); // the expanded device type
    // 0 and FFFF are not assigned to anyone.
    if (length > 18) {
        const std::uint16_t code = getU16BE(data + 17);
        if (code != 0 && code != 0xFFFF)
            id.manufacturerCode = {true, code};
    }
    if (length > 20) {
        const std::uint16_t code = getU16BE(data + 19);
        if (code != 0 && code != 0xFFFF)
            id.privateLabel = {true, code};
    }
    if (length > 21 && !deviceProfileText(data[21]).isEmpty())
        id.deviceProfile = {true, data[21]};
    return id;
}

QString deviceProfileText(std::uint8_t profile)
{
    switch (profile) {
    case 1: return tr("过程自动化设备");
    case 2: return tr("离散设备");
    case 3: return tr("混合设备");
    case 4: return tr("输入输出系统");
    case 0x81: return tr("无线过程自动化设备");
    case 0x82: return tr("无线离散设备");
    case 0x83: return tr("无线混合设备");
    case 0x84: return tr("无线网关");
    case 0x8C: return tr("无线适配器");
    case 0x8D: return tr("无线手持终端");
    default: return QString();
    }
}

AdditionalStatus decodeAdditionalStatus(const std::uint8_t *data, std::size_t length,
                                        std::uint8_t universalRevision)
{
    AdditionalStatus s;
    if (!data)
        return s;
    s.present = true;
    s.universalRevision = universalRevision;
    s.length = std::min(length, kAdditionalStatusSize);
    std::memcpy(s.raw, data, s.length);
    if (universalRevision < 6)
        return s;
    s.extendedStatus = byteAt(s.raw, s.length, kExtendedOffset);
    s.operatingMode = byteAt(s.raw, s.length, kModeOffset);
    for (int i = 0; i < 4; ++i)
        s.standardized[i] = byteAt(s.raw, s.length, kStandardizedOffset[i]);
    s.analogSaturated = byteAt(s.raw, s.length, kSaturatedOffset);
    s.analogFixed = byteAt(s.raw, s.length, kFixedOffset);
    return s;
}

QStringList additionalStatusTexts(const AdditionalStatus &status)
{
    QStringList texts;
    for (const Found &f : additionalFindings(status))
        texts << f.text;
    return texts;
}

QString additionalStatusHex(const AdditionalStatus &status)
{
    return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(status.raw), int(status.length)).toHex());
}

QStringList extendedStatusTexts(std::uint8_t extendedStatus)
{
    QVector<Found> found;
    addExtended(found, extendedStatus);
    QStringList texts;
    for (const Found &f : found)
        texts << f.text;
    return texts;
}

QVector<Variable> decodeCommand9(const std::uint8_t *data, std::size_t length, int firstSlot,
                                 std::uint8_t universalRevision, std::uint8_t *extendedStatus)
{
    QVector<Variable> vars;
    if (!data || length < 1)
        return vars;
    if (extendedStatus)
        *extendedStatus = data[0];
    const std::size_t stamp = universalRevision >= 7 ? 4 : 0;
    if (length < 1 + stamp)
        return vars;
    const std::size_t slotCount = std::min<std::size_t>((length - 1 - stamp) / 8, 8);
    static const char *const names[] = {"PV", "SV", "TV", "QV"};
    for (std::size_t i = 0; i < slotCount; ++i) {
        const std::uint8_t *p = data + 1 + 8 * i;
        Variable v;
        v.code = p[0];
        const int slot = firstSlot + int(i);
        v.name = v.code >= 246 && v.code <= 249 ? QString::fromLatin1(names[v.code - 246])
                 : slot < 4                     ? QString::fromLatin1(names[slot])
                                                : QStringLiteral("DV%1").arg(v.code);
        // 0: not classified; 64..95 the documented classes.
        if (p[1] == 0 || (p[1] >= 64 && p[1] <= 95))
            v.classification = {true, p[1]};
        v.units = p[2];
        v.value = getFloatBE(p + 3);
        v.status = {true, p[7]};
        vars.append(v);
    }
    return vars;
}

QVector<Variable> decodeCommand3(const std::uint8_t *data, std::size_t length)
{
    QVector<Variable> vars;
    if (!data || length < 4)
        return vars;
    static const char *const names[] = {"PV", "SV", "TV", "QV"};
    for (std::size_t i = 0; i < 4 && 4 + 5 * (i + 1) <= length; ++i) {
        const std::uint8_t *p = data + 4 + 5 * i;
        Variable v;
        v.name = QString::fromLatin1(names[i]);
        v.code = std::uint8_t(246 + i);
        v.units = p[0];
        v.value = getFloatBE(p + 1);
        vars.append(v);
    }
    return vars;
}

QString variableStatusText(std::uint8_t status)
{
    QString quality;
    switch (status & 0xC0) {
    case 0xC0: quality = tr("良好"); break;
    case 0x80: quality = tr("手动/固定"); break;
    case 0x40: quality = tr("精度差"); break;
    default: quality = tr("坏值"); break;
    }
    QString limit;
    switch (status & 0x30) {
    case 0x10: limit = tr("低限"); break;
    case 0x20: limit = tr("高限"); break;
    case 0x30: limit = tr("常数"); break;
    default: limit = tr("未限制"); break;
    }
    return quality + QStringLiteral(", ") + limit;
}

bool isVariableStatusGood(std::uint8_t status)
{
    return (status & 0xF0) == 0xC0;
}

Assessment assess(std::uint8_t fieldStatus, const Identity &identity,
                  const AdditionalStatus *additional, const QVector<Variable> &variables,
                  Field<std::uint8_t> variablesExtended)
{
    QVector<Found> found;
    for (const Bit &b : kFieldStatus)
        if (fieldStatus & b.mask)
            found.append({b.verdict, fieldStatusText(b.mask)});
    bool informed = false; // something beyond the status byte said how the device is
    if (additional && additional->extendedStatus.present) {
        found += additionalFindings(*additional);
        informed = true;
    } else {
        if (additional && additional->present)
            found += additionalFindings(*additional); // device-specific bytes, revision 5
        if (variablesExtended.present) {
            addExtended(found, variablesExtended.value);
            informed = true;
        } else if (identity.extendedStatus.present) {
            addExtended(found, identity.extendedStatus.value);
            informed = true;
        }
    }
    for (const Variable &v : variables) {
        if (!v.status.present || isVariableStatusGood(v.status.value))
            continue;
        const std::uint8_t quality = v.status.value & 0xC0;
        const Verdict verdict = quality == 0x00 ? Verdict::Failure
                : quality == 0x80               ? Verdict::FunctionCheck
                                                : Verdict::OutOfSpecification;
        found.append({verdict, tr("%1 状态: %2").arg(v.name, variableStatusText(v.status.value))});
    }
    Assessment a;
    a.verdict = informed ? Verdict::Ok : Verdict::Unknown;
    for (const Found &f : found)
        if (f.verdict != Verdict::Ok)
            a.verdict = a.verdict == Verdict::Unknown ? f.verdict : std::max(a.verdict, f.verdict);
    std::stable_sort(found.begin(), found.end(),
                     [](const Found &x, const Found &y) { return x.verdict > y.verdict; });
    for (const Found &f : found)
        if (!a.reasons.contains(f.text))
            a.reasons << f.text;
    return a;
}

QString verdictKey(Verdict v)
{
    switch (v) {
    case Verdict::Ok: return QStringLiteral("ok");
    case Verdict::Failure: return QStringLiteral("failure");
    case Verdict::FunctionCheck: return QStringLiteral("function-check");
    case Verdict::OutOfSpecification: return QStringLiteral("out-of-specification");
    case Verdict::MaintenanceRequired: return QStringLiteral("maintenance-required");
    case Verdict::Unknown: break;
    }
    return QStringLiteral("unknown");
}

QString verdictSymbol(Verdict v)
{
    switch (v) {
    case Verdict::Ok: return QStringLiteral("✔");
    case Verdict::Failure: return QStringLiteral("✖");
    case Verdict::FunctionCheck: return QStringLiteral("▼");
    case Verdict::OutOfSpecification: return QStringLiteral("▲");
    case Verdict::MaintenanceRequired: return QStringLiteral("◆");
    case Verdict::Unknown: break;
    }
    return QStringLiteral("○");
}

QString verdictWord(Verdict v)
{
    switch (v) {
    case Verdict::Ok: return tr("正常");
    case Verdict::Failure: return tr("故障");
    case Verdict::FunctionCheck: return tr("功能检查");
    case Verdict::OutOfSpecification: return tr("超出规格");
    case Verdict::MaintenanceRequired: return tr("需要维护");
    case Verdict::Unknown: break;
    }
    return tr("未知");
}

QString verdictColor(Verdict v)
{
    switch (v) {
    case Verdict::Ok: return QStringLiteral("#2e7d32");
    case Verdict::Failure: return QStringLiteral("#d32f2f");
    case Verdict::FunctionCheck: return QStringLiteral("#ef6c00");
    case Verdict::OutOfSpecification: return QStringLiteral("#f9a825");
    case Verdict::MaintenanceRequired: return QStringLiteral("#1565c0");
    case Verdict::Unknown: break;
    }
    return QStringLiteral("#757575");
}

QString fieldStatusText(std::uint8_t bitMask)
{
    // The status list's own wording, without its prefix.
    const QString text = deviceStatusMeaning(bitMask);
    return text.isEmpty() ? tr("现场设备状态位 %1").arg(hex2(bitMask)) : text;
}

} // namespace health
