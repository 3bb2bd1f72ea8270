#include "busspec.h"

#include <QSet>
#include <QStringList>

// Decimal, or hexadecimal with a 0x prefix (a leading zero does not mean octal here).
bool parseNumber(const QString &text, quint64 max, quint64 &value)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = t.mid(2).toULongLong(&ok, 16);
    else
        value = t.toULongLong(&ok, 10);
    return ok && value <= max;
}

namespace {

} // namespace

bool applyBusSpec(const QString &text, SimConfig &config, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QStringList entries = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (entries.isEmpty())
        return fail(QStringLiteral("no device given"));
    QVector<SimBusDevice> devices;
    QSet<quint32> ids;
    for (int i = 0; i < entries.size(); ++i) {
        const QStringList parts = entries[i].split(QLatin1Char(':'));
        if (parts.size() < 3 || parts.size() > 4)
            return fail(QStringLiteral("\"%1\": expected ADDRESS:TAG:REVISION[:DEVICEID]")
                                .arg(entries[i]));
        SimBusDevice d;
        quint64 value = 0;
        if (!parseNumber(parts[0], 63, value))
            return fail(QStringLiteral("\"%1\": polling address 0..63").arg(entries[i]));
        d.pollingAddress = quint8(value);
        d.tag = parts[1].toLatin1();
        if (d.tag.size() > 32)
            return fail(QStringLiteral("\"%1\": a tag has at most 32 characters").arg(entries[i]));
        if (!parseNumber(parts[2], 255, value))
            return fail(QStringLiteral("\"%1\": universal revision 0..255").arg(entries[i]));
        d.universalRevision = quint8(value);
        value = (config.deviceId + quint32(i)) & 0xFFFFFF;
        if (parts.size() == 4 && !parseNumber(parts[3], 0xFFFFFF, value))
            return fail(QStringLiteral("\"%1\": device id 0..0xFFFFFF").arg(entries[i]));
        d.deviceId = quint32(value);
        if (ids.contains(d.deviceId))
            return fail(QStringLiteral("\"%1\": device id already on the bus").arg(entries[i]));
        ids.insert(d.deviceId);
        devices.append(d);
    }
    const SimBusDevice &first = devices.first();
    config.pollingAddress = first.pollingAddress;
    config.tag = first.tag;
    config.universalRevision = first.universalRevision;
    config.deviceId = first.deviceId;
    config.bus = devices.mid(1);
    config.multidrop = true;
    return true;
}
