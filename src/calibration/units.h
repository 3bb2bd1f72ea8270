// Engineering-unit vocabulary (HART one-byte unit codes and their display texts), value
// conversion between units, and Pt100 resistance/temperature conversion.
#pragma once

#include <array>
#include <cstdint>

struct UnitCode
{
    std::uint8_t code;
    const char *text; // UTF-8
};

constexpr int kUnitCodeCount = 27;

// Order matters: the index is the item index of every unit combo box.
extern const std::array<UnitCode, kUnitCodeCount> unit_code_table;

// Shown for any code the table does not hold; also the last item of every unit combo box.
constexpr const char *kUnitNotFoundText = "no found";

const char *unit_name_of_code(std::uint8_t code);

// Code at a unit combo index; 0 for the trailing "no found" item or any other index.
std::uint8_t unit_code_of_index(int index);

// Pressure pairs use stored per-pair factors, so a round trip need not return the value.
// Unknown and mixed pairs leave the value unchanged.
float convert_unit_value(float v, std::uint8_t from, std::uint8_t to);

// Pt100 (R0 = 100 ohm, IEC 60751). Above 850 C the 850 C value is given; below -200 C, NaN.
float pt100_resistance(float t);

// Inverse of pt100_resistance; resistances are clamped to the -200 .. 850 C span.
float pt100_temperature(float r);
