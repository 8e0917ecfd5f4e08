#include "encoder/pack.h"

#include <string>

#include "encoder/budget_prices.h"
#include "encoder/refusal_recovery.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"
#include "encoder/weighed_parse.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

// The greedy parse: at each position the longest repeat, when it costs less than the
// literals it replaces would at their running average, its budgets' price included, and
// the price of the first literal's table when that is nearly full.
void PackGreedy(TInput input, TStreamPacker& packer, TBudgetPrices budget) {
  TRepeatSources sources(input);
  double literalBits = 8.0;
  size_t pos = 0;
  while (pos < input.size()) {
    if (WidenRootEscape(input, packer)) {
      pos = packer.OutputSize();
      continue;
    }
    const TMatch repeat = sources.FindLongest(pos, packer.Models().Rings(), pos);
    try {
      if (repeat.Length > 1 &&
          packer.RepeatCost(repeat.Code, repeat.Length) + budget.Repeat() <
              repeat.Length * literalBits +
                  FullTablePrice(packer.Models().ContextAt(input, pos).FTotal)) {
        if (!TryEscapeLength(packer, input, pos, {repeat.Code, repeat.Length})) {
          packer.Repeat(repeat.Code, repeat.Length);
        }
      } else {
        literalBits = 0.9 * literalBits + 0.1 * packer.Literal(input[pos]);
      }
    } catch (const ETooLarge&) {
      CodeAnyChoice(input, packer);
    }
    pos = packer.OutputSize();
  }
}

std::vector<uint8_t> PackPriced(TInput input, int level, TBudgetPrices budget) {
  TStreamPacker packer(input);
  packer.SetUndoLimit(kMostTakenBack);
  if (level == kFastestLevel) {
    PackGreedy(input, packer, budget);
  } else {
    TWeighedParser(input, packer, budget).Run();
  }
  EndWithBackUp(input, packer);
  return packer.Finish();
}

}  // namespace

std::vector<uint8_t> Pack(TInput input, int level) {
  if (level < kFastestLevel || level > kSmallestLevel) {
    throw Exception("The packing level must be 1 to 9, not " + std::to_string(level) + ".");
  }
  try {
    return PackPriced(input, level, {});
  } catch (const ETooLarge& free) {
    return PackAtLowestPrice([&](TBudgetPrices budget) { return PackPriced(input, level, budget); },
                             free);
  }
}

}  // namespace lumera
