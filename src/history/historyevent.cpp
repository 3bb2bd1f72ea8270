#include "historyevent.h"

#include <QJsonArray>

QString DeviceIdentity::key() const
{
    return QString::asprintf("%02X-%02X-%06X", manufacturer, deviceType, deviceId & 0xFFFFFFu);
}

namespace history {
QString timeText(const QDateTime &utc)
{
    return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}
} // namespace history

QJsonObject HistoryEvent::toJson() const
{
    QJsonObject o;
    o.insert(QStringLiteral("uuid"), uuid);
    o.insert(QStringLiteral("at"), history::timeText(at));
    o.insert(QStringLiteral("station"), station);
    o.insert(QStringLiteral("osUser"), osUser);
    o.insert(QStringLiteral("program"), program);
    o.insert(QStringLiteral("edition"), edition);
    o.insert(QStringLiteral("port"), port);
    o.insert(QStringLiteral("device"), device);
    o.insert(QStringLiteral("kind"), kind);
    o.insert(QStringLiteral("request"), request);
    o.insert(QStringLiteral("outcome"), outcome);
    o.insert(QStringLiteral("responseCode"), responseCode);
    o.insert(QStringLiteral("payload"), payload);
    QJsonArray list;
    for (const FieldChange &c : changes)
        list.append(QJsonArray{c.field, c.oldUnknown ? QJsonValue() : QJsonValue(c.oldValue),
                               c.newValue});
    o.insert(QStringLiteral("changes"), list);
    if (!image.isEmpty()) {
        o.insert(QStringLiteral("image"), QString::fromLatin1(image.toBase64()));
        o.insert(QStringLiteral("fileName"), fileName);
        o.insert(QStringLiteral("crc"), crc);
    }
    return o;
}

bool HistoryEvent::fromJson(const QJsonObject &o, HistoryEvent &e)
{
    e = HistoryEvent();
    e.uuid = o.value(QStringLiteral("uuid")).toString();
    e.kind = o.value(QStringLiteral("kind")).toString();
    e.at = QDateTime::fromString(o.value(QStringLiteral("at")).toString(), Qt::ISODateWithMs);
    if (e.uuid.isEmpty() || e.kind.isEmpty() || !e.at.isValid())
        return false;
    e.at = e.at.toUTC();
    e.station = o.value(QStringLiteral("station")).toString();
    e.osUser = o.value(QStringLiteral("osUser")).toString();
    e.program = o.value(QStringLiteral("program")).toString();
    e.edition = o.value(QStringLiteral("edition")).toString();
    e.port = o.value(QStringLiteral("port")).toString();
    e.device = o.value(QStringLiteral("device")).toString();
    e.request = o.value(QStringLiteral("request")).toString();
    e.outcome = o.value(QStringLiteral("outcome")).toString();
    e.responseCode = o.value(QStringLiteral("responseCode")).toInt(-1);
    e.payload = o.value(QStringLiteral("payload")).toObject();
    for (const QJsonValue &v : o.value(QStringLiteral("changes")).toArray()) {
        const QJsonArray c = v.toArray();
        if (c.size() == 3)
            e.changes.append({c[0].toString(), c[1].toString(), c[2].toString(), c[1].isNull()});
    }
    if (o.contains(QStringLiteral("image"))) {
        e.image = QByteArray::fromBase64(o.value(QStringLiteral("image")).toString().toLatin1());
        e.fileName = o.value(QStringLiteral("fileName")).toString();
        e.crc = qint64(o.value(QStringLiteral("crc")).toDouble(-1));
    }
    return true;
}
