// The simulated transmitter's memory: one flat image addressed like the real device,
// numbers little-endian, so HART commands and raw memory transfers see the same bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace memaddr {

// Live values the device recomputes on every request.
constexpr std::uint16_t manufacturerId = 0x0002;
constexpr std::uint16_t deviceType = 0x0003;
constexpr std::uint16_t softwareRevision = 0x0004;
constexpr std::uint16_t hardwareRevision = 0x0006;
constexpr std::uint16_t pv = 0x0018;
constexpr std::uint16_t internalTemperature = 0x0020;
constexpr std::uint16_t loopCurrent = 0x0024;
constexpr std::uint16_t sensorSignal = 0x002C;
constexpr std::uint16_t tempCompSignal = 0x0030;
constexpr std::uint16_t secondNonlinearitySignal = 0x0034;
constexpr std::uint16_t userCalibrationSignal = 0x0038;
constexpr std::uint16_t auxSignal1 = 0x003C;
constexpr std::uint16_t percentOfRange = 0x0048;
constexpr std::uint16_t auxSignal2 = 0x004C;
constexpr std::uint16_t factoryCurrentMode = 0x0058;
constexpr std::uint16_t fixedCurrentActive = 0x0059;
constexpr std::uint16_t factoryCurrentDacCode = 0x005A;
constexpr std::uint16_t fixedCurrent = 0x005C;

// Parameter part: what backups and "write all" move.
constexpr std::uint16_t parameterStart = 0x0068;
constexpr std::uint16_t devicePreambles = 0x006A;
constexpr std::uint16_t distributorCode = 0x006B;
constexpr std::uint16_t pvUnits = 0x0076;
constexpr std::uint16_t pvDecimals = 0x007A;
constexpr std::uint16_t svDecimals = 0x007C;
constexpr std::uint16_t displayVariable1 = 0x007E;
constexpr std::uint16_t displayVariable2 = 0x007F;
constexpr std::uint16_t displayContrast = 0x0081;
constexpr std::uint16_t transferFunction = 0x0082;
constexpr std::uint16_t damping = 0x0084;
constexpr std::uint16_t writeProtect = 0x0088;
constexpr std::uint16_t alarmSelection = 0x0089;
constexpr std::uint16_t density = 0x008C;
constexpr std::uint16_t alarmUpperLimit = 0x0090;
constexpr std::uint16_t alarmLowerLimit = 0x0094;
constexpr std::uint16_t pvOffset = 0x009C;
constexpr std::uint16_t pvGain = 0x00A0;
constexpr std::uint16_t message = 0x00A4;
constexpr std::uint16_t date = 0x00BD;
constexpr std::uint16_t sensorSerial = 0x00C0;
constexpr std::uint16_t sensorUnits = 0x00C3;
constexpr std::uint16_t sensorUpperLimit = 0x00C4;
constexpr std::uint16_t sensorLowerLimit = 0x00C8;
constexpr std::uint16_t minimumSpan = 0x00CC;
constexpr std::uint16_t finalAssemblyNumber = 0x00D0;
constexpr std::uint16_t tag = 0x00D4;
constexpr std::uint16_t descriptor = 0x00DA;
constexpr std::uint16_t sensorConfig = 0x00E6; // six one-byte settings, sensor type first
constexpr std::uint16_t userUnits = 0x00ED;
constexpr std::uint16_t factoryUnits = 0x00EE;
constexpr std::uint16_t customUnitText = 0x00EF;
constexpr std::uint16_t lowerRangeValueCopy = 0x00F8;
constexpr std::uint16_t upperRangeValueCopy = 0x00FC;
constexpr std::uint16_t lowerRangeValue = 0x0100;
constexpr std::uint16_t upperRangeValue = 0x0104;
constexpr std::uint16_t lowerCurrent = 0x0108;
constexpr std::uint16_t upperCurrent = 0x010C;
constexpr std::uint16_t nonlinearityPointCount = 0x0110;
constexpr std::uint16_t tempCompPointCount = 0x0112;
constexpr std::uint16_t secondNonlinearityCoe = 0x0334;
constexpr std::uint16_t userCalibrationCoe = 0x0358;
constexpr std::uint16_t pvZeroCorrection = 0x0360;
constexpr std::uint16_t outputScale = 0x0488;

constexpr std::size_t messageLength = 24;
constexpr std::size_t tagLength = 6;
constexpr std::size_t descriptorLength = 12;
constexpr std::size_t customUnitTextLength = 9;

constexpr std::size_t imageSize = 0x0582;

static_assert(message + messageLength <= date, "message runs into the date");
static_assert(tag + tagLength == descriptor, "tag and descriptor travel as one block");
static_assert(descriptor + descriptorLength <= sensorConfig);
static_assert(customUnitText + customUnitTextLength <= lowerRangeValueCopy);
static_assert(outputScale + 6 * 4 <= imageSize);

} // namespace memaddr

class DeviceMemory
{
public:
    static constexpr std::size_t kSize = memaddr::imageSize;

    static constexpr bool contains(std::size_t address, std::size_t length)
    {
        return address <= kSize && length <= kSize - address;
    }

    // Out-of-range accesses read as zero and write nothing.
    std::uint8_t u8(std::size_t address) const;
    void setU8(std::size_t address, std::uint8_t value);
    std::uint16_t u16(std::size_t address) const;
    void setU16(std::size_t address, std::uint16_t value);
    float f32(std::size_t address) const;
    void setF32(std::size_t address, float value);

    bool read(std::size_t address, std::uint8_t *dest, std::size_t length) const;
    bool write(std::size_t address, const std::uint8_t *src, std::size_t length);

    void clear() { m_bytes.fill(0); }

private:
    std::array<std::uint8_t, kSize> m_bytes{};
};
