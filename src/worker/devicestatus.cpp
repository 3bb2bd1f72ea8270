#include "devicestatus.h"

#include <QCoreApplication>

#include <iterator>

namespace {

struct Text
{
    std::uint8_t key;
    const char *text;
};

const Text kResponseCodes[] = {
        {3, QT_TRANSLATE_NOOP("hartThread", "hart status:传递的参数太大")},
        {4, QT_TRANSLATE_NOOP("hartThread", "hart status:传递的参数太小")},
        {7, QT_TRANSLATE_NOOP("hartThread", "hart status:在写保护状态")},
        {9, QT_TRANSLATE_NOOP("hartThread", "hart status:未在合适的电流模式")},
        {16, QT_TRANSLATE_NOOP("hartThread", "hart status:访问受限")},
        {32, QT_TRANSLATE_NOOP("hartThread", "hart status:设备忙")},
        {64, QT_TRANSLATE_NOOP("hartThread", "hart status:命令未定义")},
};

// In the order they are examined.
const Text kStatusBits[] = {
        {0x08, QT_TRANSLATE_NOOP("hartThread", "hart status:模拟输出电流固定")},
        {0x04, QT_TRANSLATE_NOOP("hartThread", "hart status:模拟输出饱和")},
        {0x20, QT_TRANSLATE_NOOP("hartThread", "hart status:冷启动")},
        {0x40, QT_TRANSLATE_NOOP("hartThread", "hart status:组态变更")},
        {0x80, QT_TRANSLATE_NOOP("hartThread", "hart status:现场设备故障")},
        {0x10, QT_TRANSLATE_NOOP("hartThread", "hart status:更多的状态可用")},
        {0x02, QT_TRANSLATE_NOOP("hartThread", "hart status:非主变量超限")},
        {0x01, QT_TRANSLATE_NOOP("hartThread", "hart status:主变量超限")},
};

// Cold start is reported every time; the other conditions only when they appear.
constexpr std::uint8_t kEveryTime = 0x20;

QString translated(const char *text)
{
    return QCoreApplication::translate("hartThread", text);
}

} // namespace

QStringList DeviceStatusReporter::report(std::uint8_t responseCode, std::uint8_t deviceStatus)
{
    QStringList texts;
    for (const Text &t : kResponseCodes)
        if (t.key == responseCode)
            texts << translated(t.text);
    for (const Text &t : kStatusBits) {
        if (!(deviceStatus & t.key))
            continue;
        if (t.key == kEveryTime || !(m_previous & t.key))
            texts << translated(t.text);
    }
    m_previous = deviceStatus & ~kEveryTime;
    return texts;
}

namespace {
QString meaning(const Text *begin, const Text *end, std::uint8_t key)
{
    for (const Text *t = begin; t != end; ++t)
        if (t->key == key)
            return translated(t->text).section(QLatin1Char(':'), 1);
    return QString();
}
} // namespace

QString responseCodeMeaning(std::uint8_t responseCode)
{
    return meaning(std::begin(kResponseCodes), std::end(kResponseCodes), responseCode);
}

QString deviceStatusMeaning(std::uint8_t bitMask)
{
    return meaning(std::begin(kStatusBits), std::end(kStatusBits), bitMask);
}
