// Command handling of the simulated transmitter. Payloads are big-endian on the wire and
// little-endian in memory; every handler reads and writes the memory image, so HART
// commands and raw memory transfers always agree.
#include "fielddevice.h"

#include "hartcodec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kPi = 3.14159265f;
constexpr qint64 kPvPeriodMs = 60000;
constexpr float kMinCurrentMa = 3.8f;
constexpr float kMaxCurrentMa = 20.5f;
constexpr std::size_t kMaxMemoryChunk = 20;
constexpr std::uint8_t kWriteProtectedCode = 1;

void appendU8(std::vector<std::uint8_t> &data, std::uint8_t value)
{
    data.push_back(value);
}

void appendF32(std::vector<std::uint8_t> &data, float value)
{
    std::uint8_t b[4];
    putFloatBE(b, value);
    data.insert(data.end(), b, b + 4);
}

void appendRaw(std::vector<std::uint8_t> &data, const std::uint8_t *src, std::size_t length)
{
    data.insert(data.end(), src, src + length);
}

// Common range rule of the memory commands: 1..20 bytes inside the image.
std::uint8_t checkMemoryRange(std::uint16_t address, std::uint8_t length)
{
    if (length == 0)
        return hartrc::tooSmall;
    if (length > kMaxMemoryChunk || !DeviceMemory::contains(address, length))
        return hartrc::tooLarge;
    return 0;
}

} // namespace

FieldDevice::FieldDevice(const SimConfig &config)
    : m_universalRevision(config.universalRevision)
    , m_deviceRevision(config.deviceRevision)
    , m_deviceId(config.deviceId & 0xFFFFFF)
    , m_pollingAddress(config.pollingAddress & 0x3F)
    , m_fixedPv(config.fixedPv)
    , m_unlockTimeoutMs(config.unlockTimeoutMs)
    , m_multidrop(config.multidrop)
    , m_gateway(config.gateway)
{
    loadDefaults();
    m_memory.setU8(memaddr::manufacturerId, config.manufacturerId);
    m_memory.setU8(memaddr::deviceType, config.deviceType);
    m_memory.setU16(memaddr::softwareRevision, config.softwareRevision);
    m_memory.setU16(memaddr::hardwareRevision, config.hardwareRevision);
    m_memory.setU8(memaddr::devicePreambles, config.requiredPreambles);
    if (!config.tag.isEmpty()) {
        std::uint8_t packed[memaddr::tagLength];
        packAscii(packed, config.tag.left(8).constData(), memaddr::tagLength);
        m_memory.write(memaddr::tag, packed, memaddr::tagLength);
    }
    m_longTag = (config.tag.isEmpty() ? QByteArray("SIMTX-01") : config.tag).left(32);
    m_longTag.append(QByteArray(32 - m_longTag.size(), '\0'));
    refreshLiveValues(0);
}

void FieldDevice::loadDefaults()
{
    using namespace memaddr;
    DeviceMemory &m = m_memory;
    m.clear();
    constexpr std::uint8_t kPa = 12;
    m.setU16(pvUnits, kPa);
    m.setU16(pvDecimals, 2);
    m.setU16(svDecimals, 1);
    m.setU8(displayVariable1, 0);
    m.setU8(displayVariable2, 1);
    m.setU8(displayContrast, 3);
    m.setU8(transferFunction, 0);
    m.setF32(damping, 0.5f);
    m.setU8(writeProtect, 0);
    m.setU8(alarmSelection, 0);
    m.setF32(density, 1.0f);
    m.setF32(alarmUpperLimit, 21.0f);
    m.setF32(alarmLowerLimit, 3.8f);
    m.setF32(pvOffset, 0.0f);
    m.setF32(pvGain, 1.0f);

    std::uint8_t packed[messageLength];
    packAscii(packed, "SIMULATED PRESSURE TRANSMITTER", messageLength);
    m.write(message, packed, messageLength);
    const std::uint8_t day[3] = {15, 6, 124};
    m.write(date, day, sizeof day);
    const std::uint8_t serial[3] = {0x00, 0xA1, 0xB2};
    m.write(sensorSerial, serial, sizeof serial);
    m.setU8(sensorUnits, kPa);
    m.setF32(sensorUpperLimit, 1000.0f);
    m.setF32(sensorLowerLimit, -100.0f);
    m.setF32(minimumSpan, 10.0f);
    const std::uint8_t assembly[3] = {0x01, 0x23, 0x45};
    m.write(finalAssemblyNumber, assembly, sizeof assembly);
    packAscii(packed, "SIMTX-01", tagLength);
    m.write(tag, packed, tagLength);
    packAscii(packed, "PRESSURE SIM", descriptorLength);
    m.write(descriptor, packed, descriptorLength);

    const std::uint8_t sensor[6] = {0, 0, 1, 0, 3, 1};
    m.write(sensorConfig, sensor, sizeof sensor);
    m.setU8(userUnits, kPa);
    m.setU8(factoryUnits, kPa);
    m.setF32(lowerRangeValueCopy, 0.0f);
    m.setF32(upperRangeValueCopy, 100.0f);
    m.setF32(lowerRangeValue, 0.0f);
    m.setF32(upperRangeValue, 100.0f);
    m.setF32(lowerCurrent, 4.0f);
    m.setF32(upperCurrent, 20.0f);
    m.setU16(nonlinearityPointCount, 2);
    m.setU16(tempCompPointCount, 1);
    m.setF32(secondNonlinearityCoe + 4, 1.0f);
    m.setF32(userCalibrationCoe + 4, 1.0f);
    const float scale[6] = {4.0f, 20.0f, 4.0f, 20.0f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i)
        m.setF32(outputScale + 4 * i, scale[i]);
}

bool FieldDevice::isShortAddressMine(std::uint8_t addressByte) const
{
    // Six bits: HART 6 and 7 poll 0..63; a master of 0..15 never sets bits 4 and 5.
    return (addressByte & 0x3F) == m_pollingAddress;
}

bool FieldDevice::isBroadcast(const std::uint8_t address[5])
{
    return (address[0] & 0x3F) == 0 && address[1] == 0 && address[2] == 0 && address[3] == 0
            && address[4] == 0;
}

bool FieldDevice::hasLongTag(const std::uint8_t *latin1, std::size_t length) const
{
    if (m_universalRevision < 7 || length < 32)
        return false;
    const auto text = [](const char *p) {
        return QByteArray(p, int(qstrnlen(p, 32))).trimmed();
    };
    return text(reinterpret_cast<const char *>(latin1)) == text(m_longTag.constData());
}

bool FieldDevice::hasTag(const std::uint8_t *packed, std::size_t length) const
{
    std::uint8_t mine[memaddr::tagLength];
    return length >= memaddr::tagLength && m_memory.read(memaddr::tag, mine, sizeof mine)
            && std::memcmp(mine, packed, sizeof mine) == 0;
}

bool FieldDevice::isLongAddressMine(const std::uint8_t address[5]) const
{
    // Bit 7 (master) and bit 6 (burst) of the first byte say nothing about the device.
    return (address[0] & 0x3F) == (m_memory.u8(memaddr::manufacturerId) & 0x3F)
            && address[1] == m_memory.u8(memaddr::deviceType)
            && address[2] == static_cast<std::uint8_t>(m_deviceId >> 16)
            && address[3] == static_cast<std::uint8_t>(m_deviceId >> 8)
            && address[4] == static_cast<std::uint8_t>(m_deviceId);
}

bool FieldDevice::isMakerDevice() const
{
    const std::uint8_t id = m_memory.u8(memaddr::manufacturerId);
    return (id == makerManufacturerId || id == makerManufacturerIdAlt)
            && m_memory.u8(memaddr::deviceType) == makerDeviceType;
}

bool FieldDevice::unlocked(qint64 nowMs) const
{
    return m_unlockedAtMs >= 0 && nowMs - m_unlockedAtMs <= m_unlockTimeoutMs;
}

std::uint16_t FieldDevice::registerValue(std::uint16_t reg) const
{
    const auto it = m_registers.find(reg);
    return it == m_registers.end() ? 0 : it->second;
}

float FieldDevice::temperatureSignal() const
{
    switch (m_wiring) {
    case BenchWiring::VMinusToT: return kBenchVMinusSignal;
    case BenchWiring::VPlusToT: return kBenchVPlusSignal;
    case BenchWiring::Open: break;
    }
    return m_temperatureSignal;
}

float FieldDevice::rawPv(qint64 nowMs) const
{
    // Read at every request, so a later write of the copies moves the bench points with it.
    if (m_benchPv == BenchPv::Zero)
        return m_memory.f32(memaddr::lowerRangeValueCopy);
    if (m_benchPv == BenchPv::FullScale)
        return m_memory.f32(memaddr::upperRangeValueCopy);
    float value;
    if (m_benchPv == BenchPv::Applied) {
        value = m_appliedPv;
    } else if (!std::isnan(m_fixedPv)) {
        value = m_fixedPv;
    } else {
        const float phase = 2.0f * kPi * static_cast<float>(nowMs % kPvPeriodMs) / kPvPeriodMs;
        value = 50.0f + 40.0f * std::sin(phase);
    }
    return value * (1.0f + m_sensorGainPercent / 100.0f) + m_sensorOffset;
}

float FieldDevice::presentPv(qint64 nowMs) const
{
    // At a bench point the device stands for a calibrated one: it reports the point itself,
    // whatever zero correction an earlier session left behind.
    if (m_benchPv == BenchPv::Zero || m_benchPv == BenchPv::FullScale)
        return rawPv(nowMs);
    return rawPv(nowMs) - m_memory.f32(memaddr::pvZeroCorrection);
}

void FieldDevice::refreshLiveValues(qint64 nowMs)
{
    using namespace memaddr;
    DeviceMemory &m = m_memory;
    const float raw = rawPv(nowMs);
    const float pvValue = presentPv(nowMs);
    const float lrv = m.f32(lowerRangeValue);
    const float span = m.f32(upperRangeValue) - lrv;
    float fraction = span != 0.0f ? (pvValue - lrv) / span : 0.0f;
    if (m.u8(transferFunction) == 1)
        fraction = fraction > 0.0f ? std::sqrt(fraction) : 0.0f;

    float current = 4.0f + 16.0f * fraction;
    m_currentSaturated = false;
    if (current < kMinCurrentMa || current > kMaxCurrentMa) {
        current = current < kMinCurrentMa ? kMinCurrentMa : kMaxCurrentMa;
        m_currentSaturated = true;
    }
    if (m_currentFixed) {
        current = m.f32(fixedCurrent);
        m_currentSaturated = false;
    }

    m.setF32(pv, pvValue);
    m.setF32(percentOfRange, fraction * 100.0f);
    m.setF32(loopCurrent, current);
    m.setF32(internalTemperature, 25.0f);
    m.setF32(sensorSignal, 1000.0f + 10.0f * raw);
    const float temperature = temperatureSignal();
    m.setF32(tempCompSignal, temperature);
    m.setF32(secondNonlinearitySignal, pvValue);
    m.setF32(auxSignal1, raw);
    m.setF32(auxSignal2, temperature);
    m.setF32(userCalibrationSignal, pvValue);
    m.setU8(fixedCurrentActive, m_currentFixed ? 1 : 0);
}

void FieldDevice::markConfigChanged()
{
    m_configChanged = true;
    ++m_configCounter;
}

void FieldDevice::setAdditionalStatus(const std::array<std::uint8_t, 25> &bytes)
{
    if (bytes != m_additional)
        m_statusAcknowledged = false;
    m_additional = bytes;
}

std::uint8_t FieldDevice::readDeviceVariables(Request req, std::vector<std::uint8_t> &data,
                                              qint64 nowMs)
{
    if (m_universalRevision < 6)
        return hartrc::notImplemented;
    if (req.length < 1)
        return hartrc::tooFewDataBytes;
    const std::size_t slots = std::min<std::size_t>(req.length, m_universalRevision >= 7 ? 8 : 4);
    const DeviceMemory &m = m_memory;
    appendU8(data, m_additional[kExtendedStatusByte]);
    for (std::size_t i = 0; i < slots; ++i) {
        const std::uint8_t code = req.data[i];
        // 246..249 name PV..QV; 0..3 the device variables behind them.
        const int variable = code >= 246 && code <= 249 ? code - 246 : code <= 3 ? code : -1;
        if (variable < 0)
            return hartrc::invalidSelection;
        static const std::uint8_t units[] = {0, 32, 39, 57}; // PV's own, degC, mA, percent
        float value = 0.0f;
        switch (variable) {
        case 0: value = m.f32(memaddr::pv); break;
        case 1: value = m.f32(memaddr::internalTemperature); break;
        case 2: value = m.f32(memaddr::loopCurrent); break;
        default: value = m.f32(memaddr::percentOfRange); break;
        }
        appendU8(data, code);
        appendU8(data, variable == 0 ? 65 : 0); // pressure; the rest not classified
        appendU8(data, variable == 0 ? static_cast<std::uint8_t>(m.u16(memaddr::pvUnits))
                                     : units[variable]);
        appendF32(data, value);
        appendU8(data, m_variableStatus[variable]);
    }
    if (m_universalRevision >= 7) {
        // Time of the reading in 1/32 ms since midnight.
        const quint32 stamp = quint32((nowMs % 86400000) * 32);
        for (int shift = 24; shift >= 0; shift -= 8)
            appendU8(data, static_cast<std::uint8_t>(stamp >> shift));
    }
    return 0;
}

std::uint8_t FieldDevice::takeStatus()
{
    std::uint8_t status = 0;
    if (moreStatusAvailable())
        status |= fieldstatus::moreStatus;
    if (m_coldStart)
        status |= fieldstatus::coldStart;
    m_coldStart = false;
    if (m_configChanged)
        status |= fieldstatus::configChanged;
    if (m_currentFixed)
        status |= fieldstatus::currentFixed;
    if (m_currentSaturated)
        status |= fieldstatus::currentSaturated;
    const float pvValue = m_memory.f32(memaddr::pv);
    if (pvValue < m_memory.f32(memaddr::sensorLowerLimit)
        || pvValue > m_memory.f32(memaddr::sensorUpperLimit))
        status |= fieldstatus::pvOutOfLimits;
    return status;
}

DeviceReply FieldDevice::refuse(std::uint8_t responseCode, qint64 nowMs)
{
    refreshLiveValues(nowMs);
    DeviceReply reply;
    reply.responseCode = responseCode;
    reply.status = takeStatus();
    return reply;
}

DeviceReply FieldDevice::execute(std::uint8_t command, const std::uint8_t *data, std::size_t length,
                                 qint64 nowMs)
{
    refreshLiveValues(nowMs);
    const Request req{data, data ? length : 0};
    DeviceReply reply;
    bool known = true;
    if (command >= 128 && command <= 137 && isMakerDevice())
        reply.responseCode = deviceSpecific(command, req, reply.data, nowMs);
    else
        reply.responseCode = universal(command, req, reply.data, nowMs, known);
    if (!known)
        reply.responseCode = hartrc::notImplemented;
    if (reply.responseCode != 0 && reply.responseCode != hartrc::statusMismatch)
        reply.data.clear(); // errors carry no data
    refreshLiveValues(nowMs);
    reply.status = takeStatus();
    return reply;
}

void FieldDevice::appendBytes(std::vector<std::uint8_t> &data, std::uint16_t address,
                              std::size_t length) const
{
    std::uint8_t buffer[32] = {};
    if (length <= sizeof buffer && m_memory.read(address, buffer, length))
        appendRaw(data, buffer, length);
}

std::uint8_t FieldDevice::universal(std::uint8_t command, Request req,
                                    std::vector<std::uint8_t> &data, qint64 nowMs, bool &known)
{
    using namespace memaddr;
    DeviceMemory &m = m_memory;
    const std::uint8_t *in = req.data;
    const bool protectedWrites = m.u8(writeProtect) == kWriteProtectedCode;
    // Checks shared by the write commands: enough data, then the write protection.
    auto writeCheck = [&](std::size_t needed) -> std::uint8_t {
        if (req.length < needed)
            return hartrc::tooFewDataBytes;
        return protectedWrites ? hartrc::writeProtected : 0;
    };

    switch (command) {
    case 0:
        appendU8(data, 254);
        appendU8(data, m.u8(manufacturerId));
        appendU8(data, m.u8(deviceType));
        appendU8(data, m.u8(devicePreambles));
        appendU8(data, m_universalRevision);
        appendU8(data, m_deviceRevision);
        appendU8(data, static_cast<std::uint8_t>(m.u16(softwareRevision)));
        appendU8(data, static_cast<std::uint8_t>(m.u16(hardwareRevision)));
        appendU8(data, m_gateway ? 0x04 : 0); // a protocol bridge
        appendU8(data, static_cast<std::uint8_t>(m_deviceId >> 16));
        appendU8(data, static_cast<std::uint8_t>(m_deviceId >> 8));
        appendU8(data, static_cast<std::uint8_t>(m_deviceId));
        if (m_universalRevision >= 6) {
            appendU8(data, 5); // preambles from the device
            appendU8(data, 4); // device variables: PV..QV
            appendU8(data, static_cast<std::uint8_t>(m_configCounter >> 8));
            appendU8(data, static_cast<std::uint8_t>(m_configCounter));
            appendU8(data, m_additional[kExtendedStatusByte]);
        }
        if (m_universalRevision >= 7) {
            appendU8(data, 0x60); // the manufacturer's 16-bit code
            appendU8(data, m.u8(manufacturerId));
            appendU8(data, 0x60); // private label: the same maker
            appendU8(data, m.u8(manufacturerId));
            appendU8(data, m_gateway ? 4 : 1); // an I/O system, or a process automation device
        }
        return 0;
    case 1:
        appendU8(data, static_cast<std::uint8_t>(m.u16(pvUnits)));
        appendF32(data, m.f32(pv));
        return 0;
    case 2:
        appendF32(data, m.f32(loopCurrent));
        appendF32(data, m.f32(percentOfRange));
        return 0;
    case 3: // loop current, then PV..QV as in command 9
        appendF32(data, m.f32(loopCurrent));
        appendU8(data, static_cast<std::uint8_t>(m.u16(pvUnits)));
        appendF32(data, m.f32(pv));
        appendU8(data, 32);
        appendF32(data, m.f32(internalTemperature));
        appendU8(data, 39);
        appendF32(data, m.f32(loopCurrent));
        appendU8(data, 57);
        appendF32(data, m.f32(percentOfRange));
        return 0;
    case 6: {
        if (const auto rc = writeCheck(1))
            return rc;
        if (in[0] > 15)
            return hartrc::invalidSelection;
        m_pollingAddress = in[0];
        markConfigChanged();
        appendU8(data, in[0]);
        return 0;
    }
    case 7:
        if (!m_multidrop) {
            known = false;
            return hartrc::notImplemented;
        }
        // Multidrop devices park their loop at 4 mA; address 0 drives it.
        appendU8(data, m_pollingAddress);
        appendU8(data, m_pollingAddress == 0 ? 1 : 0);
        return 0;
    case 11:
        if (!m_multidrop) {
            known = false;
            return hartrc::notImplemented;
        }
        return universal(0, req, data, nowMs, known);
    case 12: appendBytes(data, message, messageLength); return 0;
    case 20:
    case 21:
    case 22:
        if (m_universalRevision < 7) {
            known = false;
            return hartrc::notImplemented;
        }
        if (command == 21)
            return universal(0, req, data, nowMs, known);
        if (command == 22) {
            if (const auto rc = writeCheck(32))
                return rc;
            m_longTag = QByteArray(reinterpret_cast<const char *>(in), 32);
            markConfigChanged();
        }
        for (char c : m_longTag)
            appendU8(data, static_cast<std::uint8_t>(c));
        return 0;
    case 13:
        appendBytes(data, tag, tagLength + descriptorLength);
        appendBytes(data, date, 3);
        return 0;
    case 14:
        appendBytes(data, sensorSerial, 3);
        appendU8(data, m.u8(sensorUnits));
        appendF32(data, m.f32(sensorUpperLimit));
        appendF32(data, m.f32(sensorLowerLimit));
        appendF32(data, m.f32(minimumSpan));
        return 0;
    case 15:
        appendU8(data, m.u8(alarmSelection));
        appendU8(data, m.u8(transferFunction));
        appendU8(data, static_cast<std::uint8_t>(m.u16(pvUnits)));
        appendF32(data, m.f32(upperRangeValue));
        appendF32(data, m.f32(lowerRangeValue));
        appendF32(data, m.f32(damping));
        appendU8(data, m.u8(writeProtect));
        appendU8(data, m.u8(distributorCode));
        return 0;
    case 16: appendBytes(data, finalAssemblyNumber, 3); return 0;
    case 17:
        if (const auto rc = writeCheck(messageLength))
            return rc;
        m.write(message, in, messageLength);
        markConfigChanged();
        appendRaw(data, in, messageLength);
        return 0;
    case 18:
        if (const auto rc = writeCheck(21))
            return rc;
        m.write(tag, in, tagLength + descriptorLength);
        m.write(date, in + 18, 3);
        markConfigChanged();
        appendRaw(data, in, 21);
        return 0;
    case 19:
        if (const auto rc = writeCheck(3))
            return rc;
        m.write(finalAssemblyNumber, in, 3);
        markConfigChanged();
        appendRaw(data, in, 3);
        return 0;
    case 34: {
        if (const auto rc = writeCheck(4))
            return rc;
        const float value = getFloatBE(in);
        if (!(value >= 0.0f))
            return hartrc::tooSmall;
        if (value > 60.0f)
            return hartrc::tooLarge;
        m.setF32(damping, value);
        markConfigChanged();
        appendF32(data, value);
        return 0;
    }
    case 35:
        if (const auto rc = writeCheck(9))
            return rc;
        m.setU16(pvUnits, in[0]);
        m.setF32(upperRangeValue, getFloatBE(in + 1));
        m.setF32(lowerRangeValue, getFloatBE(in + 5));
        markConfigChanged();
        appendRaw(data, in, 9);
        return 0;
    case 36:
        if (const auto rc = writeCheck(0))
            return rc;
        m.setF32(upperRangeValue, presentPv(nowMs));
        markConfigChanged();
        return 0;
    case 37: {
        if (const auto rc = writeCheck(0))
            return rc;
        // A zero shift keeps the span: the upper value moves with the lower one.
        const float lrv = m.f32(lowerRangeValue);
        const float span = m.f32(upperRangeValue) - lrv;
        const float pvValue = presentPv(nowMs);
        m.setF32(lowerRangeValue, pvValue);
        m.setF32(upperRangeValue, pvValue + span);
        markConfigChanged();
        return 0;
    }
    case 38:
        if (m_universalRevision >= 7) {
            // Only a master that saw the latest change may clear it.
            if (req.length < 2)
                return hartrc::tooFewDataBytes;
            if (std::uint16_t(in[0] << 8 | in[1]) != m_configCounter)
                return hartrc::wrongCurrentMode; // 9: configuration change counter mismatch
            appendU8(data, static_cast<std::uint8_t>(m_configCounter >> 8));
            appendU8(data, static_cast<std::uint8_t>(m_configCounter));
        }
        m_configChanged = false;
        return 0;
    case 9: return readDeviceVariables(req, data, nowMs);
    case 48:
        appendRaw(data, m_additional.data(), m_additional.size());
        // Revision 7: the bytes sent back acknowledge what this master has seen.
        if (m_universalRevision >= 7 && req.length > 0) {
            const std::size_t n = std::min(req.length, m_additional.size());
            if (!std::equal(in, in + n, m_additional.begin()))
                return hartrc::statusMismatch;
            m_statusAcknowledged = true;
        }
        return 0;
    case 40: {
        if (req.length < 4)
            return hartrc::tooFewDataBytes;
        const float value = getFloatBE(in);
        if (value == 0.0f) {
            m_currentFixed = false;
        } else {
            if (!(value <= 22.0f))
                return hartrc::tooLarge;
            if (!(value >= 3.5f))
                return hartrc::tooSmall;
            m.setF32(fixedCurrent, value);
            m_currentFixed = true;
        }
        appendF32(data, value);
        return 0;
    }
    case 43:
        if (const auto rc = writeCheck(0))
            return rc;
        m.setF32(pvZeroCorrection, m.f32(pvZeroCorrection) + presentPv(nowMs));
        markConfigChanged();
        return 0;
    case 45:
    case 46:
        if (req.length < 4)
            return hartrc::tooFewDataBytes;
        // Trimming only makes sense while the output is held at a known current.
        if (!m_currentFixed)
            return hartrc::wrongCurrentMode;
        (command == 45 ? m_zeroTrimMa : m_gainTrimMa) = getFloatBE(in);
        markConfigChanged();
        appendRaw(data, in, 4);
        return 0;
    case 47:
        if (const auto rc = writeCheck(1))
            return rc;
        m.setU8(transferFunction, in[0]);
        markConfigChanged();
        appendU8(data, in[0]);
        return 0;
    default: known = false; return hartrc::notImplemented;
    }
}

std::uint8_t FieldDevice::deviceSpecific(std::uint8_t command, Request req,
                                         std::vector<std::uint8_t> &data, qint64 nowMs)
{
    using namespace memaddr;
    DeviceMemory &m = m_memory;
    const std::uint8_t *in = req.data;

    if (command != 136 && !unlocked(nowMs))
        return hartrc::accessRestricted;

    switch (command) {
    case 128:
        appendBytes(data, sensorConfig, 6);
        appendBytes(data, sensorSerial, 3);
        appendU8(data, m.u8(sensorUnits));
        appendF32(data, m.f32(sensorUpperLimit));
        appendF32(data, m.f32(sensorLowerLimit));
        appendF32(data, m.f32(minimumSpan));
        return 0;
    case 129:
        if (req.length < 22)
            return hartrc::tooFewDataBytes;
        m.write(sensorConfig, in, 6);
        m.write(sensorSerial, in + 6, 3);
        m.setU8(sensorUnits, in[9]);
        m.setF32(sensorUpperLimit, getFloatBE(in + 10));
        m.setF32(sensorLowerLimit, getFloatBE(in + 14));
        m.setF32(minimumSpan, getFloatBE(in + 18));
        markConfigChanged();
        appendRaw(data, in, 22);
        return 0;
    case 130:
        appendU8(data, static_cast<std::uint8_t>(m.u16(nonlinearityPointCount)));
        appendU8(data, static_cast<std::uint8_t>(m.u16(tempCompPointCount)));
        appendU8(data, m.u8(factoryUnits));
        appendU8(data, static_cast<std::uint8_t>(m.u16(pvUnits)));
        appendU8(data, static_cast<std::uint8_t>(m.u16(pvDecimals)));
        appendF32(data, m.f32(lowerRangeValue));
        appendF32(data, m.f32(upperRangeValue));
        appendBytes(data, customUnitText, customUnitTextLength);
        return 0;
    case 131:
        if (req.length < 22)
            return hartrc::tooFewDataBytes;
        m.setU16(nonlinearityPointCount, in[0]);
        m.setU16(tempCompPointCount, in[1]);
        m.setU8(factoryUnits, in[2]);
        m.setU16(pvUnits, in[3]);
        m.setU16(pvDecimals, in[4]);
        m.setF32(lowerRangeValue, getFloatBE(in + 5));
        m.setF32(upperRangeValue, getFloatBE(in + 9));
        // The calibration configuration carries the calibrated range; the device keeps it
        // in the copies as well, which the factory test's PV points refer to.
        m.setF32(lowerRangeValueCopy, getFloatBE(in + 5));
        m.setF32(upperRangeValueCopy, getFloatBE(in + 9));
        m.write(customUnitText, in + 13, customUnitTextLength);
        markConfigChanged();
        appendRaw(data, in, 22);
        return 0;
    case 132:
        if (req.length < 1)
            return hartrc::tooFewDataBytes;
        if (in[0] == 0) {
            appendU8(data, 0);
            for (std::uint16_t address : {sensorSignal, tempCompSignal, secondNonlinearitySignal,
                                          auxSignal1, auxSignal2, internalTemperature})
                appendF32(data, m.f32(address));
            return 0;
        }
        if (in[0] == 1) {
            appendU8(data, 1);
            appendF32(data, m.f32(userCalibrationSignal));
            return 0;
        }
        return hartrc::invalidSelection;
    case 133: return memoryWrite(req, data);
    case 134: return memoryRead(req, data);
    case 135:
        if (req.length < 3)
            return hartrc::tooFewDataBytes;
        m.setU8(factoryCurrentMode, in[0]);
        m.setU16(factoryCurrentDacCode, getU16BE(in + 1));
        appendRaw(data, in, 3);
        return 0;
    case 136: return controlRegister(req, data, nowMs);
    case 137:
        if (req.length < 20)
            return hartrc::tooFewDataBytes;
        // Selector 0 ends the host's polling; it is answered like any other poll and
        // changes nothing here.
        appendU8(data, m_keyBits);
        appendF32(data, temperatureSignal());
        return 0;
    default: return hartrc::notImplemented;
    }
}

std::uint8_t FieldDevice::memoryWrite(Request req, std::vector<std::uint8_t> &data)
{
    if (req.length < 3)
        return hartrc::tooFewDataBytes;
    const std::uint16_t address = getU16BE(req.data);
    const std::uint8_t length = req.data[2];
    if (const auto rc = checkMemoryRange(address, length))
        return rc;
    if (req.length < 3u + length)
        return hartrc::tooFewDataBytes;
    if (!m_writeEnabled)
        return hartrc::writeProtected;
    m_memory.write(address, req.data + 3, length);
    markConfigChanged();
    appendRaw(data, req.data, 3u + length);
    return 0;
}

std::uint8_t FieldDevice::memoryRead(Request req, std::vector<std::uint8_t> &data)
{
    if (req.length < 3)
        return hartrc::tooFewDataBytes;
    const std::uint16_t address = getU16BE(req.data);
    const std::uint8_t length = req.data[2];
    if (const auto rc = checkMemoryRange(address, length))
        return rc;
    appendRaw(data, req.data, 3);
    appendBytes(data, address, length);
    return 0;
}

std::uint8_t FieldDevice::controlRegister(Request req, std::vector<std::uint8_t> &data,
                                          qint64 nowMs)
{
    if (req.length < 4)
        return hartrc::tooFewDataBytes;
    const std::uint16_t reg = getU16BE(req.data);
    const std::uint16_t value = getU16BE(req.data + 2);
    m_registers[reg] = value;
    switch (reg) {
    case ctrlreg::unlock: m_unlockedAtMs = value == ctrlreg::unlockKey ? nowMs : -1; break;
    case ctrlreg::userSave: ++m_userSaves; break;
    case ctrlreg::factorySave: ++m_factorySaves; break;
    case ctrlreg::writeEnable: m_writeEnabled = value != 0; break;
    default: break;
    }
    appendRaw(data, req.data, 4);
    return 0;
}
