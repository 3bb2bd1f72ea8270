// A transmitter's health as one picture: decoded from the worker's raw record, with the
// verdict, for the status window, the device history and the headless command.
#pragma once

#include "healthdecode.h"
#include "healthrecord.h"

#include <QJsonObject>

namespace health {

struct Report
{
    bool found = false; // a command-0 answer was kept
    Identity identity;
    std::uint8_t fieldStatus = 0;
    AdditionalStatus additional; // present only when command 48 was read
    QVector<Variable> variables;
    Field<std::uint8_t> variablesExtended;
    Assessment assessment;
    // The extended status that counted: command 48's, else command 9's, else command 0's.
    Field<std::uint8_t> extendedStatus() const;
};

Report makeReport(const HealthRecord &record);
// The headless command's object: identity, universalRevision, ne107, reasons,
// fieldDeviceStatus, extendedDeviceStatus, additionalStatus, variables.
QJsonObject toJson(const Report &report);

} // namespace health
