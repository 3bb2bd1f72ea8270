// Bounds-checked little-endian access to the simulated device memory.
#include "devicememory.h"

#include <cstring>

std::uint8_t DeviceMemory::u8(std::size_t address) const
{
    return contains(address, 1) ? m_bytes[address] : 0;
}

void DeviceMemory::setU8(std::size_t address, std::uint8_t value)
{
    if (contains(address, 1))
        m_bytes[address] = value;
}

std::uint16_t DeviceMemory::u16(std::size_t address) const
{
    std::uint8_t b[2] = {};
    read(address, b, sizeof b);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

void DeviceMemory::setU16(std::size_t address, std::uint16_t value)
{
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(value),
                               static_cast<std::uint8_t>(value >> 8)};
    write(address, b, sizeof b);
}

float DeviceMemory::f32(std::size_t address) const
{
    std::uint8_t b[4] = {};
    read(address, b, sizeof b);
    const std::uint32_t bits = std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8
            | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void DeviceMemory::setF32(std::size_t address, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const std::uint8_t b[4] = {
            static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
            static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
    write(address, b, sizeof b);
}

bool DeviceMemory::read(std::size_t address, std::uint8_t *dest, std::size_t length) const
{
    if (!contains(address, length))
        return false;
    if (length)
        std::memcpy(dest, m_bytes.data() + address, length);
    return true;
}

bool DeviceMemory::write(std::size_t address, const std::uint8_t *src, std::size_t length)
{
    if (!contains(address, length))
        return false;
    if (length)
        std::memcpy(m_bytes.data() + address, src, length);
    return true;
}
