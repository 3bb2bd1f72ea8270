// The transmitter's command set and live behaviour, free of any I/O: takes one
// addressed request, returns response code, field-device status and data.
// Not thread-safe; TransmitterSim serialises all access.
#pragma once

#include "devicememory.h"
#include "simconfig.h"

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <vector>

struct DeviceReply
{
    std::uint8_t responseCode = 0;
    std::uint8_t status = 0;
    std::vector<std::uint8_t> data;
};

namespace hartrc {
constexpr std::uint8_t invalidSelection = 2;
constexpr std::uint8_t tooLarge = 3;
constexpr std::uint8_t tooSmall = 4;
constexpr std::uint8_t tooFewDataBytes = 5;
constexpr std::uint8_t writeProtected = 7;
constexpr std::uint8_t wrongCurrentMode = 9;
constexpr std::uint8_t statusMismatch = 14;
constexpr std::uint8_t accessRestricted = 16;
constexpr std::uint8_t notImplemented = 64;
} // namespace hartrc

namespace fieldstatus {
constexpr std::uint8_t pvOutOfLimits = 0x01;
constexpr std::uint8_t currentSaturated = 0x04;
constexpr std::uint8_t currentFixed = 0x08;
constexpr std::uint8_t moreStatus = 0x10;
constexpr std::uint8_t coldStart = 0x20;
constexpr std::uint8_t configChanged = 0x40;
} // namespace fieldstatus

namespace ctrlreg {
constexpr std::uint16_t unlock = 6;
constexpr std::uint16_t unlockKey = 0x00C5;
constexpr std::uint16_t userSave = 10;
constexpr std::uint16_t factorySave = 90;
constexpr std::uint16_t writeEnable = 128;
constexpr std::uint16_t singleTempPoint = 129;
} // namespace ctrlreg

class FieldDevice
{
public:
    explicit FieldDevice(const SimConfig &config);

    bool isShortAddressMine(std::uint8_t addressByte) const;
    bool isLongAddressMine(const std::uint8_t address[5]) const;
    // The all-zero long address that command 11 goes to; answered only on a matching tag.
    static bool isBroadcast(const std::uint8_t address[5]);
    bool hasTag(const std::uint8_t *packed, std::size_t length) const;
    // Revision 7's 32-character tag (commands 20, 21 and 22), Latin-1 padded with NULs.
    bool hasLongTag(const std::uint8_t *latin1, std::size_t length) const;
    QByteArray longTag() const { return m_longTag; }
    bool isMultidrop() const { return m_multidrop; }

    // nowMs: milliseconds since the device powered up; drives the PV and the unlock age.
    DeviceReply execute(std::uint8_t command, const std::uint8_t *data, std::size_t length,
                        qint64 nowMs);
    // An answer that carries only the given code; the command is not carried out.
    DeviceReply refuse(std::uint8_t responseCode, qint64 nowMs);

    DeviceMemory &memory() { return m_memory; }
    const DeviceMemory &memory() const { return m_memory; }

    std::uint8_t pollingAddress() const { return m_pollingAddress; }
    void setFixedPv(float value) { m_fixedPv = value; }
    void setKeyBits(std::uint8_t bits) { m_keyBits = bits; }
    void setTemperatureSignal(float value) { m_temperatureSignal = value; }
    void setUnlockTimeoutMs(int ms) { m_unlockTimeoutMs = ms; }
    void setBenchWiring(BenchWiring wiring) { m_wiring = wiring; }
    void setBenchPv(BenchPv pv) { m_benchPv = pv; }
    // The reference's process value; the PV follows it (BenchPv::Applied).
    void setAppliedPv(float value) { m_appliedPv = value, m_benchPv = BenchPv::Applied; }
    float appliedPv() const { return m_appliedPv; }
    // A sensor out of calibration: reads value * (1 + gainPercent / 100) + offset, before
    // the zero correction; the factory test's bench points are not affected.
    void setSensorError(float offset, float gainPercent)
    {
        m_sensorOffset = offset, m_sensorGainPercent = gainPercent;
    }
    // An output stage that drifted: the loop carries offsetMa more than command 2 reports.
    void setOutputOffset(float offsetMa) { m_outputOffsetMa = offsetMa; }
    float outputOffset() const { return m_outputOffsetMa; }
    // Another transmitter on the same line (same polling address, new unique identity).
    void setDeviceId(quint32 id) { m_deviceId = id & 0xFFFFFF; }
    float sensorOffset() const { return m_sensorOffset; }
    float sensorGainPercent() const { return m_sensorGainPercent; }
    BenchWiring benchWiring() const { return m_wiring; }
    BenchPv benchPv() const { return m_benchPv; }
    std::uint8_t keyBits() const { return m_keyBits; }
    // What the T input reads under the present wiring.
    float temperatureSignal() const;

    std::uint16_t registerValue(std::uint16_t reg) const;
    bool writeEnabled() const { return m_writeEnabled; }
    bool currentFixed() const { return m_currentFixed; }
    int userSaves() const { return m_userSaves; }
    // The ammeter readings of the last accepted zero (45) and gain (46) trims; 0 before any.
    float zeroTrimMa() const { return m_zeroTrimMa; }
    float gainTrimMa() const { return m_gainTrimMa; }
    int factorySaves() const { return m_factorySaves; }

    // Command 48's 25 bytes; "more status available" stands while any is set, until a
    // revision 7 master sends them back. A change needs a new acknowledgement.
    void setAdditionalStatus(const std::array<std::uint8_t, 25> &bytes);
    const std::array<std::uint8_t, 25> &additionalStatus() const { return m_additional; }
    // Status byte of device variable 0..3 (PV..QV) in command 9.
    void setVariableStatus(int variable, std::uint8_t status)
    {
        if (variable >= 0 && variable < 4)
            m_variableStatus[variable] = status;
    }
    std::uint8_t variableStatus(int variable) const
    {
        return variable >= 0 && variable < 4 ? m_variableStatus[variable] : 0;
    }
    std::uint16_t configChangeCounter() const { return m_configCounter; }
    // A change made at the device itself (its keys), not through HART.
    void changeConfigurationLocally() { markConfigChanged(); }
    bool configChanged() const { return m_configChanged; }
    bool moreStatusAvailable() const
    {
        return !m_statusAcknowledged
                && std::any_of(m_additional.begin(), m_additional.end(),
                               [](std::uint8_t b) { return b != 0; });
    }
    std::uint8_t universalRevision() const { return m_universalRevision; }

    static constexpr std::size_t kExtendedStatusByte = 6;

private:
    struct Request
    {
        const std::uint8_t *data;
        std::size_t length;
    };

    void loadDefaults();
    void refreshLiveValues(qint64 nowMs);
    float rawPv(qint64 nowMs) const;
    float presentPv(qint64 nowMs) const;
    bool isMakerDevice() const;
    bool unlocked(qint64 nowMs) const;
    std::uint8_t takeStatus();
    void markConfigChanged();
    std::uint8_t readDeviceVariables(Request req, std::vector<std::uint8_t> &data, qint64 nowMs);

    // Each returns the response code and fills data.
    std::uint8_t universal(std::uint8_t command, Request req, std::vector<std::uint8_t> &data,
                           qint64 nowMs, bool &known);
    std::uint8_t deviceSpecific(std::uint8_t command, Request req, std::vector<std::uint8_t> &data,
                                qint64 nowMs);
    std::uint8_t memoryWrite(Request req, std::vector<std::uint8_t> &data);
    std::uint8_t memoryRead(Request req, std::vector<std::uint8_t> &data);
    std::uint8_t controlRegister(Request req, std::vector<std::uint8_t> &data, qint64 nowMs);

    void appendBytes(std::vector<std::uint8_t> &data, std::uint16_t address,
                     std::size_t length) const;

    DeviceMemory m_memory;
    quint8 m_universalRevision;
    quint8 m_deviceRevision;
    quint32 m_deviceId;
    quint8 m_pollingAddress;
    float m_fixedPv;
    int m_unlockTimeoutMs;
    bool m_multidrop;
    bool m_gateway;
    QByteArray m_longTag; // 32 bytes

    std::map<std::uint16_t, std::uint16_t> m_registers;
    qint64 m_unlockedAtMs = -1;
    bool m_writeEnabled = false;
    bool m_currentFixed = false;
    bool m_currentSaturated = false;
    bool m_coldStart = true;
    bool m_configChanged = false;
    std::uint8_t m_keyBits = 0;
    float m_temperatureSignal = 2500.0f;
    BenchWiring m_wiring = BenchWiring::Open;
    BenchPv m_benchPv = BenchPv::Live;
    float m_appliedPv = 0.0f;
    float m_sensorOffset = 0.0f;
    float m_sensorGainPercent = 0.0f;
    float m_outputOffsetMa = 0.0f;
    int m_userSaves = 0;
    float m_zeroTrimMa = 0.0f;
    float m_gainTrimMa = 0.0f;
    int m_factorySaves = 0;
    std::array<std::uint8_t, 25> m_additional{};
    bool m_statusAcknowledged = false;
    std::uint8_t m_variableStatus[4] = {0xC0, 0xC0, 0xC0, 0xC0}; // good, not limited
    std::uint16_t m_configCounter = 0;
};
