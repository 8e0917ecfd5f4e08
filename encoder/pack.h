// Whole-buffer packing, as lumera-pack offers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumera {

struct TRepeatChoice {
  uint8_t Code = 0;
  uint32_t Length = 0;  // 0: no repeat worth taking
};

class TStreamPacker;

// The longest copy, of at most 255 bytes, that the decoder can make at position pos of
// input given the rings of the bytes before it: offset code 0, or any code the ring of
// the last byte's value allows whose copy starts before pos. Copies may overlap.
TRepeatChoice LongestRepeat(const std::vector<uint8_t>& input, size_t pos,
                            const TStreamPacker& packer);

inline constexpr int kFastestLevel = 1;
inline constexpr int kSmallestLevel = 9;

// A stream that decodes to exactly input, then the end marker. level runs from
// kFastestLevel (the greedy parse) to kSmallestLevel (the parse that weighs every choice
// by its cost under the models); levels 2 to 8 are aliases of level 9. Raises Exception
// for a level outside 1..9 and ETooLarge when the format cannot carry input.
std::vector<uint8_t> Pack(const std::vector<uint8_t>& input, int level = kFastestLevel);

}  // namespace lumera
