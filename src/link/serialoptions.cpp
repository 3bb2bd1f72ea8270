#include "serialoptions.h"

#include <QStringList>

namespace {

std::optional<bool> switchValue(const QString &value)
{
    if (value.isNull() || value == QLatin1String("on") || value == QLatin1String("1"))
        return true;
    if (value == QLatin1String("off") || value == QLatin1String("0"))
        return false;
    return std::nullopt;
}

} // namespace

SerialPortText parseSerialPortText(const QString &text)
{
    SerialPortText out;
    const int mark = text.indexOf(QLatin1Char('?'));
    if (mark < 0) {
        out.name = text;
        return out;
    }
    out.name = text.left(mark);
    if (out.name.isEmpty())
        out.error = QStringLiteral("no port name before '?'");
    for (const QString &entry : text.mid(mark + 1).split(QLatin1Char('&'), Qt::SkipEmptyParts)) {
        const int equals = entry.indexOf(QLatin1Char('='));
        const QString key = equals < 0 ? entry : entry.left(equals);
        const QString value = equals < 0 ? QString() : entry.mid(equals + 1);
        std::optional<bool> *slot = key == serialoption::kEcho ? &out.echo
                : key == serialoption::kModemKeysItself       ? &out.modemKeysItself
                                                              : nullptr;
        const std::optional<bool> on = switchValue(value);
        if (!slot)
            out.error = QStringLiteral("unknown port option '%1' (echo, modem-keys-itself)")
                                .arg(key);
        else if (!on)
            out.error = QStringLiteral("port option '%1' takes on or off, not '%2'")
                                .arg(key, value);
        else
            *slot = on;
        if (!out.error.isEmpty())
            break;
    }
    return out;
}

QString withSerialOption(const QString &text, const QString &name, bool on)
{
    const QChar separator = text.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?');
    return text + separator + name + (on ? QString() : QStringLiteral("=off"));
}
