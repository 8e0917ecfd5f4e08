#include "encoder/pack.h"

#include <string>
#include <utility>

#include "encoder/budget_prices.h"
#include "encoder/greedy_parse.h"
#include "encoder/refusal_recovery.h"
#include "encoder/stream_packer.h"
#include "encoder/weighed_parse.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

TPriced PackPriced(TInput input, int level, TBudgetPrices budget) {
  TStreamPacker packer(input);
  packer.SetUndoLimit(kMostTakenBack);
  TRefused refused = level == kFastestLevel ? ParseGreedily(input, packer, budget)
                                            : TWeighedParser(input, packer, budget).Run();
  if (!refused) refused = CodeStep(input, packer, TParseStep::End()).Refused;
  if (refused) return {{}, refused};
  return {packer.Finish(), {}};
}

}  // namespace

std::vector<uint8_t> Pack(TInput input, int level) {
  if (level < kFastestLevel || level > kSmallestLevel) {
    throw Exception("The packing level must be 1 to 9, not " + std::to_string(level) + ".");
  }
  TPriced packed = PackPriced(input, level, {});
  if (packed.Refused) {
    packed = PackAtLowestPrice(
        [&](TBudgetPrices budget) { return PackPriced(input, level, budget); }, packed.Refused);
  }
  if (packed.Refused) {
    throw ETooLarge(RefusalText(packed.Refused.Reason), packed.Refused.InputOffset);
  }
  return std::move(packed.Stream);
}

}  // namespace lumera
