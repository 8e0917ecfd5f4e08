// Where the decoder could copy from at any position of an input. The rings the decoder
// keeps of each byte value's offsets depend only on the bytes output, never on how they
// were coded, so they can be read off the input alone: a parse can look at positions
// ahead of what it has coded so far.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lumera {

inline constexpr uint32_t kLongestRepeat = 255;

// How far a copy from offset from agrees with input at pos, at most kLongestRepeat bytes.
// Copies may overlap their own output: the decoder reads bytes it has just written, which
// are the input's own. Inline and eight bytes at a time: the parses call it for every
// candidate at every position.
inline uint32_t MatchLength(const std::vector<uint8_t>& input, size_t from, size_t pos) {
  const size_t limit = std::min<size_t>(kLongestRepeat, input.size() - pos);
  const uint8_t* a = input.data() + from;
  const uint8_t* b = input.data() + pos;
  size_t length = 0;
  for (; length + 8 <= limit; length += 8) {
    uint64_t x = 0;
    uint64_t y = 0;
    std::memcpy(&x, a + length, 8);
    std::memcpy(&y, b + length, 8);
    if (x == y) continue;
    // The first differing byte is the lowest one on a little-endian machine.
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(x ^ y)
                                                               : std::countl_zero(x ^ y);
    return static_cast<uint32_t>(length + bit / 8);
  }
  while (length < limit && a[length] == b[length]) ++length;
  return static_cast<uint32_t>(length);
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
  std::vector<uint32_t> FRank;  // per offset, how often its value occurred before it
  // Per offset i, the latest offset before it that holds the same two bytes as i and
  // i + 1, or kNone: the copies that agree for at least one byte, found without trying
  // the others.
  std::vector<uint32_t> FSamePair;
};

}  // namespace lumera
