#include "tools/pack.h"

#include <algorithm>
#include <string>

#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "tools/stream_packer.h"

namespace lumera {

namespace {

constexpr uint32_t kLongestRepeat = 255;

uint32_t MatchLength(const std::vector<uint8_t>& input, size_t from, size_t pos) {
  const size_t limit = std::min<size_t>(kLongestRepeat, input.size() - pos);
  uint32_t length = 0;
  while (length < limit && input[from + length] == input[pos + length]) ++length;
  return length;
}

}  // namespace

TRepeatChoice LongestRepeat(const std::vector<uint8_t>& input, size_t pos,
                            const TStreamPacker& packer) {
  TRepeatChoice best;
  if (pos == 0) return best;
  auto consider = [&](uint8_t code, size_t from) {
    if (from >= pos || input[from] != input[pos]) return;
    const uint32_t length = MatchLength(input, from, pos);
    if (length > best.Length) best = {code, length};
  };
  consider(0, 0);
  // Code c names the c-th latest occurrence of the last byte's value; code 1 is that
  // byte itself, whose copy would start at pos.
  const TBytePositions& ring = packer.Mirror().FPositions[input[pos - 1]];
  for (uint32_t code = 2; code <= ring.Next && best.Length < kLongestRepeat; ++code) {
    consider(static_cast<uint8_t>(code), ring.Pos[ring.Next - code] + size_t{1});
  }
  return best;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& input, int level) {
  if (level < kFastestLevel || level > kSmallestLevel) {
    throw Exception("The packing level must be 1 to 9, not " + std::to_string(level) + ".");
  }
  TStreamPacker packer;
  // A running average of what literals have cost, to price the bytes a repeat replaces.
  double literalBits = 8.0;
  size_t pos = 0;
  while (pos < input.size()) {
    const TRepeatChoice repeat = LongestRepeat(input, pos, packer);
    if (repeat.Length > 1 &&
        packer.RepeatCost(repeat.Code, repeat.Length) < repeat.Length * literalBits) {
      packer.Repeat(repeat.Code, repeat.Length);
      pos += repeat.Length;
    } else {
      literalBits = 0.9 * literalBits + 0.1 * packer.LiteralCost(input[pos]);
      packer.Literal(input[pos]);
      ++pos;
    }
  }
  packer.EndMarker();
  return packer.Finish();
}

}  // namespace lumera
