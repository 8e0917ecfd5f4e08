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

std::vector<uint8_t> PackAtLowestPrice(
    const std::function<std::vector<uint8_t>(TBudgetPrices)>& pack, const ETooLarge& free) {
  ETooLarge furthest = free;
  int fruitless = 0;
  for (float unit = TBudgetPrices::kFirstUnitPrice; unit <= TBudgetPrices::kHighestUnitPrice;
       unit *= TBudgetPrices::kPriceStep) {
    std::vector<uint8_t> carried;
    try {
      carried = pack({unit});
    } catch (const ETooLarge& refused) {
      if (refused.InputOffset() > furthest.InputOffset()) {
        furthest = refused;
        fruitless = 0;
      } else if (++fruitless == TBudgetPrices::kFruitlessPrices) {
        break;
      }
      continue;
    }
    if (unit == TBudgetPrices::kFirstUnitPrice) return carried;
    try {
      return pack({unit / std::sqrt(TBudgetPrices::kPriceStep)});
    } catch (const ETooLarge&) {
      return carried;
    }
  }
  throw furthest;
}

}  // namespace lumera
