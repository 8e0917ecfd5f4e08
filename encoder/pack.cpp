#include "encoder/pack.h"

#include <string>

#include "encoder/budget_prices.h"
#include "encoder/greedy_parse.h"
#include "encoder/refusal_recovery.h"
#include "encoder/stream_packer.h"
#include "encoder/weighed_parse.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

std::vector<uint8_t> PackPriced(TInput input, int level, TBudgetPrices budget) {
  TStreamPacker packer(input);
  packer.SetUndoLimit(kMostTakenBack);
  if (level == kFastestLevel) {
    ParseGreedily(input, packer, budget);
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
