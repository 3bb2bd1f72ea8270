#pragma once

#include <cstdint>

// A device behind a gateway (an I/O system, a HART-IP gateway): its requests go to the
// gateway wrapped in command 77 and its answers come back unwrapped, so nothing above the
// master knows the gateway is there.
struct SubDeviceRoute
{
    std::uint8_t gateway[5] = {}; // the gateway's unique address
    std::uint8_t card = 0;
    std::uint8_t channel = 0;
};
