#include "encoder/budget_prices.h"

#include <cmath>

namespace lumera {

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
