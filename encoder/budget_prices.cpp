#include "encoder/budget_prices.h"

#include <cmath>

#include "encoder/coding_cost.h"

namespace lumera {

float FullTablePrice(uint32_t total) {
  if (total <= kFullTableOnset) return 0;
  if (total >= 0x10000) return kUncodable;
  return kFullTableBits * static_cast<float>(total - kFullTableOnset) /
         static_cast<float>(0x10000 - total);
}

TPriced PackAtLowestPrice(const std::function<TPriced(TBudgetPrices)>& pack, TRefused free) {
  TRefused furthest = free;
  int fruitless = 0;
  for (float unit = TBudgetPrices::kFirstUnitPrice; unit <= TBudgetPrices::kHighestUnitPrice;
       unit *= TBudgetPrices::kPriceStep) {
    TPriced carried = pack({unit});
    if (carried.Refused) {
      if (carried.Refused.InputOffset > furthest.InputOffset) {
        furthest = carried.Refused;
        fruitless = 0;
      } else if (++fruitless == TBudgetPrices::kFruitlessPrices) {
        break;
      }
      continue;
    }
    if (unit == TBudgetPrices::kFirstUnitPrice) return carried;
    TPriced halfway = pack({unit / std::sqrt(TBudgetPrices::kPriceStep)});
    return halfway.Refused ? carried : halfway;
  }
  return {{}, furthest};
}

}  // namespace lumera
