// The compact forms in which the heat-map page hands the decoded bytes, their shades and
// the events to its script, so that the page stays near the size of the output itself.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "explore/event_recorder.h"

namespace lumera {

// bytes in base64 (RFC 4648, with padding).
void WriteBase64(std::ostream& out, std::span<const uint8_t> bytes);

// True when bytes are well-formed UTF-8 throughout, so that a page can carry them as text.
bool IsWellFormedUtf8(std::span<const uint8_t> bytes);

// Well-formed UTF-8 bytes as a JavaScript template literal, backquotes included, to sit
// inside a script element: backslash, backquote and '$' are escaped, control bytes but
// tab and line feed become \xHH, and a '/' or '!' right after '<' gets a backslash, so
// that the text never ends the script or opens a comment.
void WriteTemplateLiteral(std::ostream& out, std::span<const uint8_t> bytes);

// Two shading steps a byte, the first in the low four bits.
std::vector<uint8_t> PackedShades(std::span<const uint8_t> shades);

// One record per event but the end marker, of unsigned LEB128 numbers: depth * 3 + kind
// (0 a literal, 1 an escaped literal, 2 a repeat), bits, then the info in hundredths less
// 100 * bits, zigzag-coded; a repeat adds code, len and out - from, the last zigzag-coded.
// An info that is not finite counts as -1.
std::vector<uint8_t> EventRecords(const std::vector<TEvent>& events);

}  // namespace lumera
