// One row of the device history: what happened, to which transmitter, where and by whom.
// Events are self-contained so the spool can hold them verbatim and forward them later.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QVector>

#include <cstdint>

struct FieldChange
{
    QString field;    // DeviceData's name, array elements as "name[i]"
    QString oldValue; // as the pages show it
    QString newValue;
    // Never read from this transmitter since it was found (nor restored from a file):
    // there is no old value, and none of another transmitter's is lent.
    bool oldUnknown = false;
};

// The transmitter's unique identity as HART gives it.
struct DeviceIdentity
{
    std::uint8_t manufacturer = 0;
    std::uint8_t deviceType = 0;
    std::uint32_t deviceId = 0; // 24 bits

    // "MM-TT-DDDDDD" in hexadecimal: the devices table's key.
    QString key() const;
};

struct HistoryEvent
{
    // Stamped by the store when left empty.
    QString uuid;
    QDateTime at; // UTC
    QString station, osUser, program, edition, port;

    QString device; // DeviceIdentity::key(), empty when no transmitter was found yet
    QString kind;   // "device", "operation", "write", "snapshot", "factorytest", ...
    QString request;
    QString outcome;       // "succeed", "failed" or empty
    int responseCode = -1; // the device's refusal, -1 when none
    QJsonObject payload;
    QVector<FieldChange> changes;

    // A parameter image snapshot when not empty.
    QByteArray image;
    QString fileName;
    qint64 crc = -1;

    QJsonObject toJson() const;
    // False when the object is not an event (a damaged spool row).
    static bool fromJson(const QJsonObject &json, HistoryEvent &out);
};

namespace history {
QString timeText(const QDateTime &utc); // ISO 8601, milliseconds, "Z"
}
