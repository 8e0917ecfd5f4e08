// Where the decoder could copy from at any position of an input. The rings the decoder
// keeps of each byte value's offsets depend only on the bytes output, never on how they
// were coded, so a parse can look at positions ahead of what it has coded so far: the
// rings as the decoder holds them at the coded position, plus the occurrences between
// there and the position looked at.
//
// Read me first: only what the rings can name is searched. Each ring slot keeps, beside
// its offset, the byte that followed it, chained to the previous slot followed by the
// same byte, so the copies that agree for one byte are visited without trying the others,
// and nothing is indexed over the whole input.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "encoder/coding_cost.h"
#include "encoder/model_view.h"

namespace lumera {

using TInput = std::span<const uint8_t>;

inline constexpr uint32_t kLongestRepeat = 255;

// How far a copy from offset from agrees with input at pos, at most longest bytes. Copies
// may overlap their own output: the decoder reads bytes it has just written, which are
// the input's own. Inline and eight bytes at a time: the parses call it for every
// candidate at every position.
inline uint32_t MatchLength(TInput input, size_t from, size_t pos,
                            uint32_t longest = kLongestRepeat) {
  const size_t limit = std::min<size_t>(longest, input.size() - pos);
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

// Where the decoder's copy of offset code code, 0 or 2 up to the Next of the last byte's
// ring, starts at pos, with its rings as they stand after pos bytes.
inline size_t CopyStart(TInput input, size_t pos, const TRings& rings, uint8_t code) {
  if (code == 0) return 0;
  const TBytePositions& ring = rings[input[pos - 1]];
  return ring.Pos[ring.Next - code] + size_t{1};
}

// Whether the copy of a repeat at pos, the rings as they stand after pos bytes, agrees
// with the input for kEscapeLength bytes.
bool ReachesEscapeLength(TInput input, size_t pos, const TRings& rings, uint8_t code);

// The copies the decoder can make at pos with its rings as they stand after pos bytes,
// that agree with the input for at least one byte: offset code 0, then codes 2 up to the
// ring's Next. By trying each code: for the rare searches made at the coded position.
std::vector<TMatch> RingMatches(TInput input, size_t pos, const TRings& rings);

class TRepeatSources {
 public:
  explicit TRepeatSources(TInput input);

  // Every copy the decoder can make at pos that agrees with the input for at least one
  // byte: offset code 0, and each code from 2 to the Next of the last byte's ring, in
  // that order. Code 1 is left out, since its copy would start at pos itself. rings are
  // the decoder's after coded bytes of output, coded <= pos.
  void FindMatches(size_t pos, const TRings& rings, size_t coded, std::vector<TMatch>& matches);

  // The longest of those copies, the lowest code among equals; a Length of 0 when there
  // is none.
  TMatch FindLongest(size_t pos, const TRings& rings, size_t coded);

  // Only the copies that a parse pricing offset codes by codeCosts can want: the copy of
  // code 0 first, then, of the other codes, those that no other copy beats, longest first.
  // A copy is beaten by one that costs less and reaches at least as far, or costs the same
  // with a lower code. So the cheapest code for each length is the last copy that reaches
  // it. The length of a copy is not even measured when a cheaper one is known to reach
  // past its first differing byte.
  void FindUnbeaten(size_t pos, const TRings& rings, size_t coded,
                    const TCostArray::TCosts& codeCosts, std::vector<TMatch>& matches);

 private:
  // The rings with the byte after each offset, as they stand after FAt bytes, and per
  // following byte the chain of slots, latest first, that it follows.
  struct TFollowRing {
    TFollowRing() {
      Latest.fill(0xFFFF);
      Earlier.fill(0xFFFF);
    }
    uint32_t Next = 0;
    std::array<uint32_t, 256> Pos{};
    std::array<uint8_t, 256> Follow{};
    std::array<uint16_t, 256> Latest;   // by following byte; 0xFFFF: none
    std::array<uint16_t, 256> Earlier;  // by slot: the previous slot in its chain
  };
  void Sync(const TRings& rings, size_t coded);
  void Push(size_t offset);
  // For an offset from FAt on: the latest offset before it, from FAt on, that holds the
  // same value followed by the same byte (or none), and how many offsets from FAt to it,
  // itself included, hold its value.
  struct TSince {
    uint32_t PreviousPair;
    uint32_t Count;
  };
  const TSince& Since(size_t offset);
  // Calls visit(code, from) for each copy at pos that agrees for one byte, codes ascending,
  // 0 left out, until visit returns false.
  template <typename TVisit>
  void VisitCopies(size_t pos, const TRings& rings, size_t coded, TVisit&& visit);

  TInput FInput;
  std::vector<TFollowRing> FRings;  // 256 of them
  size_t FAt = 0;
  std::vector<TSince> FSince;  // by offset from FAt, as far as a search has looked
  std::array<uint32_t, 256> FLatest{};
  // By value and following byte, the latest offset pushed into FSince; an offset that is
  // not below the one being pushed, or below FAt, is from an earlier search and means none.
  std::vector<uint32_t> FLatestPair;
  // The copies found so far at one position that none found so far beats, by cost: each
  // costs at least as much and reaches further than the one before it.
  struct TStair {
    float Cost;
    TMatch Copy;
  };
  std::vector<TStair> FStairs;
};

}  // namespace lumera
