// How a settings value is read as a 32-bit integer.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvora {

// Reads a settings value as a signed 32-bit integer, or nothing when it is not one.
//  - "0x1F" / "0X1F" (longer than two characters): hexadecimal.
//  - otherwise an optional "+" or "-", then decimal digits, or "$" and hexadecimal digits.
// Decimal text must lie within the 32-bit range. Hexadecimal text is a 32-bit pattern: up to
// FFFFFFFF is accepted and taken as two's complement, so "0xFFFFFFFF" and "$FFFFFFFF" read as -1
// (that is how such files have always been read); a minus sign before "$" negates the pattern,
// wrapping at the 32-bit edge. Anything else, including blanks inside the value, gives nothing.
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

}  // namespace kalvora
