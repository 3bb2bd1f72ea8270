// The maker's own transmitters: the only devices that get the device-specific
// commands 128..137 and the full navigation.
#pragma once

#include <cstdint>

constexpr std::uint8_t makerManufacturerId = 0x9A;
// Older units were shipped under a second manufacturer code; only the display uses it.
constexpr std::uint8_t makerManufacturerIdAlt = 0x9B;
constexpr std::uint8_t makerDeviceType = 16;
constexpr std::uint16_t makerHardwareRevision = 9;
