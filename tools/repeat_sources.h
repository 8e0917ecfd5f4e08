// Where the decoder could copy from at any position of an input. The rings the decoder
// keeps of each byte value's offsets depend only on the bytes output, never on how they
// were coded, so they can be read off the input alone: a parse can look at positions
// ahead of what it has coded so far.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumera {

inline constexpr uint32_t kLongestRepeat = 255;

// How far a copy from offset from agrees with input at pos, at most kLongestRepeat bytes.
// Copies may overlap their own output: the decoder reads bytes it has just written.
// Inline: the parses call it for every candidate at every position.
inline uint32_t MatchLength(const std::vector<uint8_t>& input, size_t from, size_t pos) {
  const size_t limit = std::min<size_t>(kLongestRepeat, input.size() - pos);
  uint32_t length = 0;
  while (length < limit && input[from + length] == input[pos + length]) ++length;
  return length;
}

struct TMatch {
  uint8_t Code = 0;
  uint32_t Length = 0;  // how far the copy agrees with the input, at most kLongestRepeat
};

class TRepeatSources {
 public:
  explicit TRepeatSources(const std::vector<uint8_t>& input);

  // Every copy the decoder can make at pos that agrees with the input for at least one
  // byte: offset code 0, and each code from 2 to the Next of the last byte's ring. Code
  // 1 is left out, since its copy would start at pos itself.
  void FindMatches(size_t pos, std::vector<TMatch>& matches) const;

 private:
  const std::vector<uint8_t>& FInput;
  std::array<std::vector<uint32_t>, 256> FOffsets;  // per byte value, where it occurs
  std::vector<uint32_t> FRank;  // per offset, how often its value occurred before it
};

}  // namespace lumera
