// Silent whole-stream decoding, as lumera-pack -d offers it.
#pragma once

#include <cstdint>
#include <vector>

namespace lumera {

// Decodes a whole stream with no trace, no reference check and no stop. leftOver tells
// whether the end marker came before the source was read to its end.
std::vector<uint8_t> Unpack(const std::vector<uint8_t>& stream, bool& leftOver);

}  // namespace lumera
