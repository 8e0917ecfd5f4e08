// Hexadecimal numbers as the trace prints them: upper case, zero-padded on the left to a
// minimum width, never cut, no prefix.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace lumera {

std::string Hex(uint32_t value, int minDigits);

// Fills a pattern whose only conversions are "%.2x" and "%.4x" with the values in order,
// each printed by Hex with that minimum width.
std::string FormatHex(std::string_view pattern, std::initializer_list<uint32_t> values);

}  // namespace lumera
