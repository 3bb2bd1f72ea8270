// The health reads: additional device status (48), the dynamic variables with their status
// (9, or 3 for revision 5), and the record they fill.
#include "healthrecord.h"

#include <algorithm>
#include <cstring>

HealthRecord healthRecord;

namespace {
// Device variable codes of the dynamic variables, two per request: with four, revision 6's
// answer (35 bytes) would not fit the link's 40-byte frame.
constexpr std::uint8_t kSlots[2][2] = {{246, 247}, {248, 249}};
} // namespace

void takeIdentity(HealthRecord &record, const std::uint8_t *data, std::uint8_t length)
{
    // Another device, or the same one again: nothing read before still holds.
    record = HealthRecord{record.serial + 1};
    record.identityLength = std::min<std::uint8_t>(length, sizeof record.identity);
    std::memcpy(record.identity, data, record.identityLength);
}

bool readAdditionalStatus(const HealthCommand &command, HealthRecord &record)
{
    if (record.universalRevision() < 6)
        return true;
    HealthAnswer a;
    if (!command(48, nullptr, 0, a))
        return false;
    record.additionalLength = std::min<std::uint8_t>(a.length, sizeof record.additional);
    std::memset(record.additional, 0, sizeof record.additional);
    std::memcpy(record.additional, a.data, record.additionalLength);
    record.additionalRead = true;
    ++record.serial;
    return true;
}

bool readHealthVariables(const HealthCommand &command, HealthRecord &record)
{
    HealthAnswer a[2];
    std::uint8_t used = 0;
    std::uint8_t cmd = 3;
    if (record.universalRevision() < 6) {
        if (!command(3, nullptr, 0, a[0]))
            return false;
        used = 1;
    } else {
        cmd = 9;
        if (!command(9, kSlots[0], 2, a[0]))
            return false;
        used = 1;
        // A device with only PV and SV refuses the second pair; what it gave still counts.
        if (command(9, kSlots[1], 2, a[1]))
            used = 2;
    }
    for (int i = 0; i < 2; ++i) {
        record.variablesLength[i] = i < used ? a[i].length : 0;
        std::memcpy(record.variables[i], a[i].data, sizeof record.variables[i]);
    }
    record.variablesCommand = cmd;
    ++record.serial;
    return true;
}
