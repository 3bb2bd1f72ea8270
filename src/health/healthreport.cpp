#include "healthreport.h"

#include <QJsonArray>

#include <cmath>

namespace health {

Field<std::uint8_t> Report::extendedStatus() const
{
    if (additional.extendedStatus.present)
        return additional.extendedStatus;
    if (variablesExtended.present)
        return variablesExtended;
    return identity.extendedStatus;
}

Report makeReport(const HealthRecord &record)
{
    Report r;
    r.identity = decodeIdentity(record.identity, record.identityLength);
    r.found = r.identity.valid;
    r.fieldStatus = record.fieldStatus;
    const std::uint8_t revision = r.identity.universalRevision;
    if (record.additionalRead)
        r.additional = decodeAdditionalStatus(record.additional, record.additionalLength, revision);
    if (record.variablesCommand == 3) {
        r.variables = decodeCommand3(record.variables[0], record.variablesLength[0]);
    } else if (record.variablesCommand == 9) {
        std::uint8_t ext = 0;
        int slot = 0;
        for (int i = 0; i < 2; ++i) {
            if (record.variablesLength[i] == 0)
                continue;
            const QVector<Variable> part = decodeCommand9(
                    record.variables[i], record.variablesLength[i], slot, revision, &ext);
            r.variables += part;
            slot += part.size();
            r.variablesExtended = {true, ext};
        }
    }
    r.assessment = assess(r.fieldStatus, r.identity,
                          r.additional.present ? &r.additional : nullptr, r.variables,
                          r.variablesExtended);
    return r;
}

QJsonObject toJson(const Report &report)
{
    const Identity &id = report.identity;
    QJsonObject identity{
            {QStringLiteral("manufacturerId"), id.manufacturerId},
            {QStringLiteral("deviceType"), id.deviceType},
            {QStringLiteral("deviceId"),
             QStringLiteral("%1").arg(id.deviceId, 6, 16, QLatin1Char('0')).toUpper()},
            {QStringLiteral("deviceRevision"), id.deviceRevision},
            {QStringLiteral("softwareRevision"), id.softwareRevision},
            {QStringLiteral("hardwareRevision"), id.hardwareRevision},
    };
    auto put = [&identity](const char *key, auto field) {
        if (field.present)
            identity.insert(QLatin1String(key), int(field.value));
    };
    put("responsePreambles", id.responsePreambles);
    put("maxDeviceVariables", id.maxDeviceVariables);
    put("configChangeCounter", id.configChangeCounter);
    put("manufacturerCode", id.manufacturerCode);
    put("privateLabel", id.privateLabel);
    put("deviceProfile", id.deviceProfile);

    QJsonArray variables;
    for (const Variable &v : report.variables) {
        QJsonObject o{{QStringLiteral("name"), v.name},
                      {QStringLiteral("code"), v.code},
                      {QStringLiteral("units"), v.units},
                      {QStringLiteral("value"), std::isfinite(v.value) ? QJsonValue(double(v.value))
                                                                       : QJsonValue()}};
        if (v.classification.present)
            o.insert(QStringLiteral("classification"), v.classification.value);
        if (v.status.present) {
            o.insert(QStringLiteral("status"), v.status.value);
            o.insert(QStringLiteral("statusText"), variableStatusText(v.status.value));
        }
        variables.append(o);
    }
    const Field<std::uint8_t> ext = report.extendedStatus();
    return QJsonObject{
            {QStringLiteral("identity"), identity},
            {QStringLiteral("universalRevision"), id.universalRevision},
            {QStringLiteral("ne107"), verdictKey(report.assessment.verdict)},
            {QStringLiteral("reasons"), QJsonArray::fromStringList(report.assessment.reasons)},
            {QStringLiteral("fieldDeviceStatus"), report.fieldStatus},
            {QStringLiteral("extendedDeviceStatus"), ext.present ? QJsonValue(ext.value) : QJsonValue()},
            {QStringLiteral("additionalStatus"),
             report.additional.present ? QJsonValue(additionalStatusHex(report.additional))
                                       : QJsonValue()},
            {QStringLiteral("variables"), variables},
    };
}

} // namespace health
