// DeviceData's fields by name, as a technician reads them on the pages (packed ASCII decoded,
// numbers as shown, units by name), and which fields each read or write request moves.
#pragma once

#include "devicedata.h"

#include <QString>

#include <cstddef>
#include <vector>

namespace history {

enum class FieldKind { U8, U16, Hex8, Real, PackedText, Latin1, Number24, Unit, Transfer, Date };

struct DeviceField
{
    QString name; // "tag", "NonlinearityCorrectiony[2]", "modbusCustomRegs[3].address"
    std::size_t offset; // inside DeviceData
    std::size_t size;
    FieldKind kind;
};

const std::vector<DeviceField> &deviceFields();
const DeviceField *findField(const QString &name);
QString fieldText(const DeviceField &field, const DeviceData &d);
bool sameValue(const DeviceField &field, const DeviceData &a, const DeviceData &b);

// The fields a request reads from or sends to the device; empty for any other request.
std::vector<const DeviceField *> fieldsRead(const QString &request);
std::vector<const DeviceField *> fieldsWritten(const QString &request);

} // namespace history
