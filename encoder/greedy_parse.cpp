#include "encoder/greedy_parse.h"

#include "encoder/refusal_recovery.h"

namespace lumera {

TRefused ParseGreedily(TInput input, TStreamPacker& packer, TBudgetPrices budget) {
  TRepeatSources sources(input);
  double literalBits = 8.0;
  size_t pos = 0;
  while (pos < input.size()) {
    if (WidenRootEscape(input, packer)) {
      pos = packer.OutputSize();
      continue;
    }
    const TMatch repeat = sources.FindLongest(pos, packer.Models().Rings(), pos);
    const bool repeats =
        repeat.Length > 1 && packer.RepeatCost(repeat.Code, repeat.Length) + budget.Repeat() <
                                 repeat.Length * literalBits +
                                     FullTablePrice(packer.Models().ContextAt(input, pos).FTotal);
    const TParseStep step = repeats ? TParseStep{repeat.Code, repeat.Length} : TParseStep{};
    const TCodedStep coded = CodeStep(input, packer, step);
    if (coded.Refused) return coded.Refused;
    if (step.IsLiteral() && coded.AsPlanned) literalBits = 0.9 * literalBits + 0.1 * coded.Bits;
    pos = packer.OutputSize();
  }
  return {};
}

}  // namespace lumera
