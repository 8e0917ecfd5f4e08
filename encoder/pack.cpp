#include "encoder/pack.h"

#include <string>

#include "encoder/refusal_recovery.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"
#include "encoder/weighed_parse.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

// The greedy parse: at each position the longest repeat, when it costs less than the
// literals it replaces would at their running average.
void PackGreedy(TInput input, TStreamPacker& packer) {
  double literalBits = 8.0;
  size_t pos = 0;
  while (pos < input.size()) {
    if (WidenRootEscape(input, packer)) {
      pos = packer.OutputSize();
      continue;
    }
    const TRepeatChoice repeat = LongestRepeat(input, pos, packer);
    try {
      if (repeat.Length > 1 &&
          packer.RepeatCost(repeat.Code, repeat.Length) < repeat.Length * literalBits) {
        packer.Repeat(repeat.Code, repeat.Length);
      } else {
        literalBits = 0.9 * literalBits + 0.1 * packer.Literal(input[pos]);
      }
    } catch (const ETooLarge&) {
      CodeAnyChoice(input, packer);
    }
    pos = packer.OutputSize();
  }
}

}  // namespace

TRepeatChoice LongestRepeat(TInput input, size_t pos, const TStreamPacker& packer) {
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

std::vector<uint8_t> Pack(TInput input, int level) {
  if (level < kFastestLevel || level > kSmallestLevel) {
    throw Exception("The packing level must be 1 to 9, not " + std::to_string(level) + ".");
  }
  TStreamPacker packer(input);
  packer.SetUndoLimit(kMostTakenBack);
  if (level == kFastestLevel) {
    PackGreedy(input, packer);
  } else {
    TWeighedParser(input, packer).Run();
  }
  EndWithBackUp(input, packer);
  return packer.Finish();
}

}  // namespace lumera
