// Addresses, indexes and codes as the programs' messages show them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace ecwire {

// "0x001D" for hex(0x1D, 4): upper case, at least `digits` digits.
inline std::string hex(uint32_t value, int digits = 4)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

} // namespace ecwire
