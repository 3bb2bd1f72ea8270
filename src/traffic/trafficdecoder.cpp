#include "trafficdecoder.h"

#include "devicestatus.h"
#include "hartcodec.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

namespace traffic {

namespace {

constexpr std::size_t kShortHeader = 4; // delimiter, address, command, byte count
constexpr std::size_t kLongHeader = 8;

// Texts written as tr("...") here are extracted into the namespace's context; the tables'
// names and the field names are marked for "TrafficDecoder".
QString tr(const char *text)
{
    return QCoreApplication::translate("traffic", text);
}

QString named(const char *text)
{
    return QCoreApplication::translate("TrafficDecoder", text);
}

// Bounds-checked view of a payload.
struct Reader
{
    const std::uint8_t *p;
    int n;
    bool has(int offset, int size) const { return offset >= 0 && size >= 0 && offset + size <= n; }
    float f32(int offset) const { return getFloatBE(p + offset); }
    unsigned u8(int offset) const { return p[offset]; }
    unsigned u16(int offset) const { return getU16BE(p + offset); }
    unsigned u24(int offset) const
    {
        return (unsigned(p[offset]) << 16) | (unsigned(p[offset + 1]) << 8) | p[offset + 2];
    }
    QString ascii(int offset, int size) const
    {
        char text[64] = {};
        unpackAscii(text, sizeof text, p + offset, std::size_t(size));
        return QString::fromLatin1(text).trimmed();
    }
};

class Fields
{
public:
    explicit Fields(Reader r)
        : m_r(r)
    { }
    void number(const char *name, int offset)
    {
        if (m_r.has(offset, 1))
            add(name, QString::number(m_r.u8(offset)));
    }
    void hex8(const char *name, int offset)
    {
        if (m_r.has(offset, 1))
            add(name, QStringLiteral("0x%1").arg(m_r.u8(offset), 2, 16, QLatin1Char('0')));
    }
    void real(const char *name, int offset, const char *unit = "")
    {
        if (m_r.has(offset, 4))
            add(name, QString::number(double(m_r.f32(offset)), 'g', 6) + QLatin1String(unit));
    }
    void u24(const char *name, int offset)
    {
        if (m_r.has(offset, 3))
            add(name, QString::number(m_r.u24(offset)));
    }
    void id24(const char *name, int offset)
    {
        if (m_r.has(offset, 3))
            add(name, QStringLiteral("0x%1").arg(m_r.u24(offset), 6, 16, QLatin1Char('0')));
    }
    void text(const char *name, int offset, int size)
    {
        if (m_r.has(offset, size))
            add(name, QLatin1Char('"') + m_r.ascii(offset, size) + QLatin1Char('"'));
    }
    void date(int offset)
    {
        if (m_r.has(offset, 3))
            add(QT_TRANSLATE_NOOP("TrafficDecoder", "日期"), QStringLiteral("%1-%2-%3")
                                .arg(1900 + m_r.u8(offset + 2))
                                .arg(m_r.u8(offset + 1), 2, 10, QLatin1Char('0'))
                                .arg(m_r.u8(offset), 2, 10, QLatin1Char('0')));
    }
    // Command 77: card, channel, and the sub-device's command inside with its answer's code.
    void wrapped(bool response)
    {
        number(QT_TRANSLATE_NOOP("TrafficDecoder", "卡"), 0);
        number(QT_TRANSLATE_NOOP("TrafficDecoder", "通道"), 1);
        const int delimiter = response ? 2 : 3;
        if (!m_r.has(delimiter, 1))
            return;
        const int command = delimiter + ((m_r.u8(delimiter) & 0x80) ? 6 : 2);
        if (!m_r.has(command, 1))
            return;
        add(QT_TRANSLATE_NOOP("TrafficDecoder", "子设备命令"),
            QStringLiteral("%1 (%2)").arg(m_r.u8(command)).arg(commandName(int(m_r.u8(command)))));
        if (response)
            number(QT_TRANSLATE_NOOP("TrafficDecoder", "子设备应答码"), command + 2);
    }
    // Address, length and bytes of a memory transfer; only the bytes held and announced.
    void memory(bool withBytes)
    {
        if (!m_r.has(0, 2))
            return;
        add(QT_TRANSLATE_NOOP("TrafficDecoder", "地址"), QStringLiteral("0x%1").arg(m_r.u16(0), 4, 16, QLatin1Char('0')));
        if (!m_r.has(2, 1))
            return;
        const int announced = int(m_r.u8(2));
        add(QT_TRANSLATE_NOOP("TrafficDecoder", "长度"), QString::number(announced));
        if (!withBytes)
            return;
        const int held = std::min(announced, m_r.n - 3);
        if (held > 0)
            add(QT_TRANSLATE_NOOP("TrafficDecoder", "数据"), hexBytes(m_r.p + 3, std::size_t(held)));
        if (held < announced)
            add(QT_TRANSLATE_NOOP("TrafficDecoder", "缺"), QString::number(announced - held));
    }
    void variables(int from)
    {
        static const char *const names[] = {"PV", "SV", "TV", "QV"};
        for (int i = 0; i < 4; ++i) {
            const int at = from + i * 5;
            if (!m_r.has(at, 5))
                return;
            add(names[i], QString::number(double(m_r.f32(at + 1)), 'g', 6)
                                  + named(QT_TRANSLATE_NOOP("TrafficDecoder", " (单位 %1)")).arg(m_r.u8(at)));
        }
    }
    QString result() const { return m_parts.join(QLatin1String("  ")); }

private:
    void add(const char *name, const QString &value)
    {
        m_parts << named(name) + QLatin1Char('=') + value;
    }
    Reader m_r;
    QStringList m_parts;
};

QString requestFields(int command, Reader r)
{
    Fields f(r);
    switch (command) {
    case 6: f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "轮询地址"), 0); break;
    case 17: f.text(QT_TRANSLATE_NOOP("TrafficDecoder", "消息"), 0, 24); break;
    case 18:
        f.text(QT_TRANSLATE_NOOP("TrafficDecoder", "位号"), 0, 6);
        f.text(QT_TRANSLATE_NOOP("TrafficDecoder", "描述符"), 6, 12);
        f.date(18);
        break;
    case 19: f.u24(QT_TRANSLATE_NOOP("TrafficDecoder", "最终装配号"), 0); break;
    case 34: f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "阻尼"), 0, " s"); break;
    case 35:
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "单位"), 0);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "上限"), 1);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "下限"), 5);
        break;
    case 40:
    case 45:
    case 46: f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "电流"), 0, " mA"); break;
    case 133: f.memory(true); break;
    case 134: f.memory(false); break;
    case 77: f.wrapped(false); break;
    default: break;
    }
    return f.result();
}

QString responseFields(int command, Reader r)
{
    Fields f(r);
    switch (command) {
    case 0:
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "制造商"), 1);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "设备类型"), 2);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "前导符"), 3);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "通用版本"), 4);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "设备版本"), 5);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "软件版本"), 6);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "硬件版本"), 7);
        f.hex8(QT_TRANSLATE_NOOP("TrafficDecoder", "标志"), 8);
        f.id24(QT_TRANSLATE_NOOP("TrafficDecoder", "设备号"), 9);
        break;
    case 1:
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "单位"), 0);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "PV"), 1);
        break;
    case 2:
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "电流"), 0, " mA");
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "百分比"), 4, " %");
        break;
    case 3:
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "电流"), 0, " mA");
        f.variables(4);
        break;
    case 6: f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "轮询地址"), 0); break;
    case 12:
    case 17: f.text(QT_TRANSLATE_NOOP("TrafficDecoder", "消息"), 0, 24); break;
    case 13:
    case 18:
        f.text(QT_TRANSLATE_NOOP("TrafficDecoder", "位号"), 0, 6);
        f.text(QT_TRANSLATE_NOOP("TrafficDecoder", "描述符"), 6, 12);
        f.date(18);
        break;
    case 14:
        f.u24(QT_TRANSLATE_NOOP("TrafficDecoder", "传感器序列号"), 0);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "单位"), 3);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "上限"), 4);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "下限"), 8);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "最小量程"), 12);
        break;
    case 15:
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "报警"), 0);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "传递函数"), 1);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "单位"), 2);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "上限"), 3);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "下限"), 7);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "阻尼"), 11, " s");
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "写保护"), 15);
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "经销商"), 16);
        break;
    case 16:
    case 19: f.u24(QT_TRANSLATE_NOOP("TrafficDecoder", "最终装配号"), 0); break;
    case 34: f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "阻尼"), 0, " s"); break;
    case 35:
        f.number(QT_TRANSLATE_NOOP("TrafficDecoder", "单位"), 0);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "上限"), 1);
        f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "下限"), 5);
        break;
    case 40:
    case 45:
    case 46: f.real(QT_TRANSLATE_NOOP("TrafficDecoder", "电流"), 0, " mA"); break;
    case 48:
        if (r.n > 0)
            return tr("附加状态=") + hexBytes(r.p, std::size_t(r.n));
        break;
    case 133: f.memory(false); break;
    case 134: f.memory(true); break;
    case 77: f.wrapped(true); break;
    default: break;
    }
    return f.result();
}

} // namespace

std::uint8_t commandOf(const std::uint8_t *frame, std::size_t length)
{
    if (length < 1)
        return 0;
    const std::size_t at = (frame[0] & 0x80) ? 6 : 2;
    return at < length ? frame[at] : 0;
}

bool sameAddress(const std::uint8_t *response, std::size_t responseLength,
                 const std::uint8_t *request, std::size_t requestLength)
{
    if (responseLength < 1 || requestLength < 1)
        return false;
    const bool isLong = response[0] & 0x80;
    if (isLong != bool(request[0] & 0x80))
        return false;
    const std::size_t end = isLong ? 6 : 2; // address bytes 1 .. end-1
    if (responseLength < end || requestLength < end)
        return false;
    return std::equal(response + 1, response + end, request + 1);
}

Status statusOf(const std::uint8_t *frame, std::size_t length)
{
    Status s;
    if (length < 1)
        return s;
    const std::size_t header = (frame[0] & 0x80) ? kLongHeader : kShortHeader;
    if (length < header + 2 || frame[header - 1] < 2)
        return s;
    s.valid = true;
    s.responseCode = frame[header];
    s.deviceStatus = frame[header + 1];
    s.communicationError = s.responseCode & 0x80;
    return s;
}

bool isErrorCode(std::uint8_t code)
{
    if (code == 0 || code >= 0x80)
        return false;
    switch (code) {
    case 8:
    case 14:
    case 24:
    case 25:
    case 26:
    case 27:
    case 30:
    case 31: return false; // warnings: the command was carried out
    default: return true;
    }
}

DecodedFrame decodeFrame(const std::uint8_t *frame, std::size_t length)
{
    DecodedFrame d;
    if (!frame || length < 1)
        return d;
    const std::uint8_t delimiter = frame[0];
    d.isLong = delimiter & 0x80;
    d.isResponse = (delimiter & 7) == 6 || (delimiter & 7) == 1;
    d.isBurst = (delimiter & 7) == 1;
    const std::size_t header = d.isLong ? kLongHeader : kShortHeader;
    if (length >= 2) {
        const bool primary = frame[1] & 0x80;
        const QString master = primary ? tr(" 主") : tr(" 副");
        if (!d.isLong) {
            d.address = QString::number(frame[1] & 0x3F) + master;
        } else if (length >= 6) {
            d.address = QStringLiteral("%1:%2:%3")
                                .arg(frame[1] & 0x3F, 2, 16, QLatin1Char('0'))
                                .arg(frame[2], 2, 16, QLatin1Char('0'))
                                .arg((unsigned(frame[3]) << 16) | (unsigned(frame[4]) << 8)
                                             | frame[5],
                                     6, 16, QLatin1Char('0'))
                                .toUpper()
                    + master;
        }
        if (frame[1] & 0x40)
            d.address += tr(" 突发");
    }
    if (length < header)
        return d;
    d.command = frame[header - 2];
    d.byteCount = frame[header - 1];
    // Payload bytes actually held: announced, but never past the frame (nor the checksum).
    const int announced = d.byteCount;
    const int held = int(length) - int(header);
    d.complete = held >= announced + 1;
    const int body = std::min(announced, std::max(0, held));
    int offset = int(header);
    int size = body;
    if (d.isResponse) {
        d.status = statusOf(frame, length);
        if (d.status.valid) {
            offset += 2;
            size -= 2;
        }
    }
    d.dataOffset = offset;
    d.dataLength = std::max(0, size);
    const Reader r{frame + offset, d.dataLength};
    if (d.isResponse && d.status.communicationError)
        return d; // the data of a line-error answer means nothing
    d.fields = d.isResponse ? responseFields(d.command, r) : requestFields(d.command, r);
    return d;
}

QString commandName(int command)
{
    static const struct
    {
        int command;
        const char *name;
    } names[] = {
            {0, QT_TRANSLATE_NOOP("TrafficDecoder", "读唯一标识")},
            {1, QT_TRANSLATE_NOOP("TrafficDecoder", "读主变量")},
            {2, QT_TRANSLATE_NOOP("TrafficDecoder", "读电流和百分比")},
            {3, QT_TRANSLATE_NOOP("TrafficDecoder", "读动态变量和电流")},
            {6, QT_TRANSLATE_NOOP("TrafficDecoder", "写轮询地址")},
            {7, QT_TRANSLATE_NOOP("TrafficDecoder", "读回路组态")},
            {9, QT_TRANSLATE_NOOP("TrafficDecoder", "读设备变量及状态")},
            {11, QT_TRANSLATE_NOOP("TrafficDecoder", "按位号读唯一标识")},
            {12, QT_TRANSLATE_NOOP("TrafficDecoder", "读消息")},
            {13, QT_TRANSLATE_NOOP("TrafficDecoder", "读位号描述符日期")},
            {14, QT_TRANSLATE_NOOP("TrafficDecoder", "读传感器信息")},
            {15, QT_TRANSLATE_NOOP("TrafficDecoder", "读设备信息")},
            {16, QT_TRANSLATE_NOOP("TrafficDecoder", "读最终装配号")},
            {17, QT_TRANSLATE_NOOP("TrafficDecoder", "写消息")},
            {18, QT_TRANSLATE_NOOP("TrafficDecoder", "写位号描述符日期")},
            {19, QT_TRANSLATE_NOOP("TrafficDecoder", "写最终装配号")},
            {20, QT_TRANSLATE_NOOP("TrafficDecoder", "读长位号")},
            {21, QT_TRANSLATE_NOOP("TrafficDecoder", "按长位号读唯一标识")},
            {22, QT_TRANSLATE_NOOP("TrafficDecoder", "写长位号")},
            {34, QT_TRANSLATE_NOOP("TrafficDecoder", "写阻尼")},
            {35, QT_TRANSLATE_NOOP("TrafficDecoder", "写量程")},
            {36, QT_TRANSLATE_NOOP("TrafficDecoder", "设上限为当前值")},
            {37, QT_TRANSLATE_NOOP("TrafficDecoder", "设下限为当前值")},
            {38, QT_TRANSLATE_NOOP("TrafficDecoder", "复位组态变更标志")},
            {39, QT_TRANSLATE_NOOP("TrafficDecoder", "EEPROM控制")},
            {40, QT_TRANSLATE_NOOP("TrafficDecoder", "固定电流")},
            {41, QT_TRANSLATE_NOOP("TrafficDecoder", "自检")},
            {42, QT_TRANSLATE_NOOP("TrafficDecoder", "设备复位")},
            {43, QT_TRANSLATE_NOOP("TrafficDecoder", "主变量调零")},
            {44, QT_TRANSLATE_NOOP("TrafficDecoder", "写主变量单位")},
            {45, QT_TRANSLATE_NOOP("TrafficDecoder", "微调电流零点")},
            {46, QT_TRANSLATE_NOOP("TrafficDecoder", "微调电流增益")},
            {47, QT_TRANSLATE_NOOP("TrafficDecoder", "写传递函数")},
            {48, QT_TRANSLATE_NOOP("TrafficDecoder", "读附加状态")},
            {49, QT_TRANSLATE_NOOP("TrafficDecoder", "写传感器序列号")},
            {59, QT_TRANSLATE_NOOP("TrafficDecoder", "写应答前导符数")},
            {74, QT_TRANSLATE_NOOP("TrafficDecoder", "读I/O系统能力")},
            {77, QT_TRANSLATE_NOOP("TrafficDecoder", "向子设备发命令")},
            {84, QT_TRANSLATE_NOOP("TrafficDecoder", "读子设备标识摘要")},
            {128, QT_TRANSLATE_NOOP("TrafficDecoder", "读传感器配置")},
            {129, QT_TRANSLATE_NOOP("TrafficDecoder", "写传感器配置")},
            {130, QT_TRANSLATE_NOOP("TrafficDecoder", "读校准配置")},
            {131, QT_TRANSLATE_NOOP("TrafficDecoder", "写校准配置")},
            {132, QT_TRANSLATE_NOOP("TrafficDecoder", "读原始信号")},
            {133, QT_TRANSLATE_NOOP("TrafficDecoder", "写设备内存")},
            {134, QT_TRANSLATE_NOOP("TrafficDecoder", "读设备内存")},
            {135, QT_TRANSLATE_NOOP("TrafficDecoder", "工厂电流校准")},
            {136, QT_TRANSLATE_NOOP("TrafficDecoder", "写控制寄存器")},
            {137, QT_TRANSLATE_NOOP("TrafficDecoder", "出厂检测查询")},
    };
    for (const auto &n : names)
        if (n.command == command)
            return named(n.name);
    return tr("命令 %1").arg(command);
}

QString responseCodeText(std::uint8_t code)
{
    if (code & 0x80)
        return communicationErrorText(code);
    const QString known = responseCodeMeaning(code); // the status report's own wording
    if (!known.isEmpty())
        return known;
    switch (code) {
    case 0: return tr("成功");
    case 2: return tr("无效选择");
    case 5: return tr("数据字节太少");
    case 6: return tr("设备特定命令错误");
    default: break;
    }
    return isErrorCode(code) ? tr("错误") : tr("警告");
}

QString communicationErrorText(std::uint8_t bits)
{
    static const struct
    {
        std::uint8_t mask;
        const char *text;
    } errors[] = {
            {0x40, QT_TRANSLATE_NOOP("TrafficDecoder", "奇偶校验错")},
            {0x20, QT_TRANSLATE_NOOP("TrafficDecoder", "溢出错")},
            {0x10, QT_TRANSLATE_NOOP("TrafficDecoder", "帧错误")},
            {0x08, QT_TRANSLATE_NOOP("TrafficDecoder", "校验和错")},
            {0x02, QT_TRANSLATE_NOOP("TrafficDecoder", "接收缓冲区溢出")},
    };
    QStringList parts;
    for (const auto &e : errors)
        if (bits & e.mask)
            parts << named(e.text);
    return tr("通信错误") + (parts.isEmpty() ? QString() : QLatin1Char(':') + parts.join(QLatin1Char(',')));
}

QString deviceStatusText(std::uint8_t status)
{
    QStringList parts;
    for (int bit = 7; bit >= 0; --bit) {
        const std::uint8_t mask = std::uint8_t(1u << bit);
        if (status & mask)
            parts << deviceStatusMeaning(mask);
    }
    return parts.join(QLatin1Char(','));
}

QString hexBytes(const std::uint8_t *bytes, std::size_t length)
{
    QString out;
    out.reserve(int(length * 3));
    for (std::size_t i = 0; i < length; ++i) {
        if (i)
            out += QLatin1Char(' ');
        out += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

} // namespace traffic
