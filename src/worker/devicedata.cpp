#include "devicedata.h"

#include "hartidentity.h"

#include <cstring>
#include <limits>

DeviceData deviceData = [] {
    DeviceData d;
    resetDeviceData(d);
    return d;
}();

std::uint8_t *deviceMemory(DeviceData &d, std::uint16_t address, std::uint16_t length)
{
    if (std::uint32_t(address) + length > devmem::kMirrorSize)
        return nullptr;
    return reinterpret_cast<std::uint8_t *>(&d) + kMirrorOffset + address;
}

const std::uint8_t *deviceMemory(const DeviceData &d, std::uint16_t address, std::uint16_t length)
{
    return deviceMemory(const_cast<DeviceData &>(d), address, length);
}

std::uint8_t *parameterImage(DeviceData &d)
{
    return deviceMemory(d, devmem::kParameterStart, devmem::kParameterSize);
}

bool isMakerDevice(const DeviceData &d)
{
    return d.manufacturerId == makerManufacturerId && d.deviceType == makerDeviceType
            && d.hardwareRevision == makerHardwareRevision;
}

void resetDeviceData(DeviceData &d)
{
    std::memset(&d, 0, sizeof d);
    d.pv = std::numeric_limits<float>::infinity();
    d.factoryTestSelector = 1;
}
