#include "encoder/greedy_parse.h"

#include "encoder/refusal_recovery.h"

namespace lumera {

void ParseGreedily(TInput input, TStreamPacker& packer, TBudgetPrices budget) {
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

}  // namespace lumera
