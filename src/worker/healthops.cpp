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
    const std::uint32_t serial = record.serial + 1;
    record = HealthRecord{};
    record.serial = serial;
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

// The worker's requests -------------------------------------------------------------

#include "hartthread.h"
#include "kvhart_master.h"

#include <QElapsedTimer>
#include <QMutexLocker>

namespace {
constexpr std::int64_t kAdditionalStatusEveryMs = 5000;

std::int64_t nowMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}
} // namespace

void hartThread::keepFieldStatus()
{
    QMutexLocker lock(&mutex);
    healthRecord.fieldStatus = m_master->deviceStatus;
    ++healthRecord.serial;
}

bool hartThread::isAdditionalStatusDue()
{
    if (!(m_fieldStatus.load() & 0x10))
        return false;
    if (m_additionalReadMs >= 0 && nowMs() - m_additionalReadMs < kAdditionalStatusEveryMs)
        return false;
    QMutexLocker lock(&mutex);
    return healthRecord.universalRevision() >= 6;
}

void hartThread::readHealth(bool variables)
{
    HealthRecord record;
    {
        QMutexLocker lock(&mutex);
        record = healthRecord;
    }
    const HealthCommand cmd = [this](std::uint8_t c, const std::uint8_t *data, std::uint8_t length,
                                     HealthAnswer &answer) {
        Reply r;
        const bool ok = command(c, data, length, &r);
        std::memcpy(answer.data, r.data, sizeof answer.data);
        answer.length = r.length;
        return ok;
    };
    m_additionalReadMs = nowMs();
    const bool ok = readAdditionalStatus(cmd, record) && (!variables || readHealthVariables(cmd, record));
    clearBit(ReadHealth);
    {
        QMutexLocker lock(&mutex);
        // A search in between found another device: its record is not ours to overwrite.
        if (std::memcmp(record.identity, healthRecord.identity, sizeof record.identity) == 0) {
            record.fieldStatus = m_master->deviceStatus;
            record.serial = healthRecord.serial + 1;
            healthRecord = record;
        }
    }
    send(ok ? QStringLiteral("read health succeed") : QStringLiteral("read health failed"));
}

void hartThread::acknowledgeStatus()
{
    std::uint8_t bytes[sizeof healthRecord.additional];
    std::uint8_t length;
    std::uint8_t revision;
    {
        QMutexLocker lock(&mutex);
        std::memcpy(bytes, healthRecord.additional, sizeof bytes);
        length = healthRecord.additionalRead ? healthRecord.additionalLength : 0;
        revision = healthRecord.universalRevision();
    }
    Reply r;
    // Only revision 7 knows the acknowledgement; the bytes are the ones the technician saw.
    const bool ok = revision >= 7 && length > 0 && command(48, bytes, length, &r)
            && m_master->responseCode == 0;
    clearBit(AcknowledgeStatus);
    if (revision >= 7 && length > 0 && m_master->responseCode != 0 && r.length > 0) {
        // The status moved on meanwhile: what the device sent now is what to acknowledge.
        QMutexLocker lock(&mutex);
        healthRecord.additionalLength = std::min<std::uint8_t>(r.length, sizeof bytes);
        std::memcpy(healthRecord.additional, r.data, healthRecord.additionalLength);
    }
    if (revision >= 7 && length > 0)
        keepFieldStatus();
    send(ok ? QStringLiteral("acknowledge status succeed")
            : QStringLiteral("acknowledge status failed"));
}

void hartThread::resetConfigChanged()
{
    std::uint8_t revision;
    std::uint8_t counter[2];
    {
        QMutexLocker lock(&mutex);
        revision = healthRecord.universalRevision();
        const std::uint16_t c = healthRecord.configChangeCounter();
        counter[0] = std::uint8_t(c >> 8);
        counter[1] = std::uint8_t(c);
    }
    Reply r;
    const bool ok = command(38, revision >= 7 ? counter : nullptr, revision >= 7 ? 2 : 0, &r);
    clearBit(ResetConfigChanged);
    if (ok) {
        QMutexLocker lock(&mutex);
        if (revision >= 7 && r.length >= 2 && healthRecord.identityLength > 15) {
            healthRecord.identity[14] = r.data[0];
            healthRecord.identity[15] = r.data[1];
        }
    }
    keepFieldStatus();
    send(ok ? QStringLiteral("reset config changed succeed")
            : QStringLiteral("reset config changed failed"));
}
