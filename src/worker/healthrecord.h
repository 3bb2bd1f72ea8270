// The raw answers a transmitter gave about its health, kept beside DeviceData (whose layout
// is the device's memory map) and guarded by the same worker mutex. Decoded by the health
// subsystem; the worker only needs the universal revision and the counter from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

struct HealthRecord
{
    std::uint8_t identity[33] = {}; // command 0's whole answer
    std::uint8_t identityLength = 0;
    std::uint8_t fieldStatus = 0;   // of the last answer
    std::uint8_t additional[25] = {}; // command 48
    std::uint8_t additionalLength = 0;
    bool additionalRead = false;
    // Command 9 for PV+SV and TV+QV (revision 6 and 7), or command 3 in variables[0].
    std::uint8_t variables[2][33] = {};
    std::uint8_t variablesLength[2] = {};
    std::uint8_t variablesCommand = 0; // 9 or 3; 0 = not read
    // Bumped by every store, so a reader knows whether anything is new.
    std::uint32_t serial = 0;

    std::uint8_t universalRevision() const { return identityLength > 4 ? identity[4] : 0; }
    // Revision 6 and 7 carry it in bytes 14-15; 0 when the answer was shorter.
    std::uint16_t configChangeCounter() const
    {
        return identityLength > 15 ? std::uint16_t(identity[14] << 8 | identity[15]) : 0;
    }
};

extern HealthRecord healthRecord;

// One answer's data, only the bytes the device sent.
struct HealthAnswer
{
    std::uint8_t data[33] = {};
    std::uint8_t length = 0;
};

// Carries out one command: true when the device answered and did not refuse.
using HealthCommand = std::function<bool(std::uint8_t command, const std::uint8_t *data,
                                         std::uint8_t length, HealthAnswer &answer)>;

// The reads shared by the worker and the headless probe, into a record of the caller's.
// Revision 5 devices are never sent command 48.
bool readAdditionalStatus(const HealthCommand &command, HealthRecord &record);
bool readHealthVariables(const HealthCommand &command, HealthRecord &record);
void takeIdentity(HealthRecord &record, const std::uint8_t *data, std::uint8_t length);
