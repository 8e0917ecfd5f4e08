// Whole-buffer packing, as lumera-pack offers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumera {

inline constexpr int kFastestLevel = 1;
inline constexpr int kSmallestLevel = 9;

// A stream that decodes to exactly input, then the end marker. level runs from
// kFastestLevel (the greedy parse) to kSmallestLevel (the parse that weighs every choice
// by its cost under the models); levels 2 to 8 are aliases of level 9. Raises Exception
// for a level outside 1..9 and ETooLarge when the format cannot carry input.
std::vector<uint8_t> Pack(std::span<const uint8_t> input, int level = kFastestLevel);

}  // namespace lumera
