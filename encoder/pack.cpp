#include "encoder/pack.h"

#include <memory>
#include <string>

#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"
#include "encoder/weighed_parse.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

// The greedy parse: at each position the longest repeat, when it costs less than the
// literals it replaces would at their running average.
void PackGreedy(const std::vector<uint8_t>& input, TStreamPacker& packer) {
  // Only needed when a choice cannot be coded, which most inputs never meet.
  std::unique_ptr<TRepeatSources> sources;
  double literalBits = 8.0;
  size_t pos = 0;
  while (pos < input.size()) {
    const TRepeatChoice repeat = LongestRepeat(input, pos, packer);
    try {
      if (repeat.Length > 1 &&
          packer.RepeatCost(repeat.Code, repeat.Length) < repeat.Length * literalBits) {
        packer.Repeat(repeat.Code, repeat.Length);
        pos += repeat.Length;
      } else {
        literalBits = 0.9 * literalBits + 0.1 * packer.Literal(input[pos]);
        ++pos;
      }
    } catch (const ETooLarge&) {
      if (!sources) sources = std::make_unique<TRepeatSources>(input);
      pos += CodeCheapestChoice(input, pos, *sources, packer);
    }
  }
}

}  // namespace

TRepeatChoice LongestRepeat(const std::vector<uint8_t>& input, size_t pos,
                            const TStreamPacker& packer) {
  TRepeatChoice best;
  if (pos == 0) return best;
  // A copy can only beat the best so far if it agrees one byte past it, so that byte
  // is tried first.
  auto consider = [&](uint8_t code, size_t from) {
    if (from >= pos || input[from + best.Length] != input[pos + best.Length]) return;
    const uint32_t length = MatchLength(input, from, pos);
    if (length > best.Length) best = {code, length};
  };
  consider(0, 0);
  // Code c names the c-th latest occurrence of the last byte's value; code 1 is that
  // byte itself, whose copy would start at pos.
  const TBytePositions& ring = packer.Mirror().FPositions[input[pos - 1]];
  for (uint32_t code = 2;
       code <= ring.Next && best.Length < kLongestRepeat && pos + best.Length < input.size();
       ++code) {
    consider(static_cast<uint8_t>(code), ring.Pos[ring.Next - code] + size_t{1});
  }
  return best;
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& input, int level) {
  if (level < kFastestLevel || level > kSmallestLevel) {
    throw Exception("The packing level must be 1 to 9, not " + std::to_string(level) + ".");
  }
  TStreamPacker packer;
  if (level == kFastestLevel) {
    PackGreedy(input, packer);
  } else {
    TWeighedParser(input, packer).Run();
  }
  packer.EndMarker();
  return packer.Finish();
}

}  // namespace lumera
