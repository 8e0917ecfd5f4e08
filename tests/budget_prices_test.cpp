#include "encoder/budget_prices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumera {
namespace {

// The search for the lowest price, against a stand-in for packing: a price at or above
// Carries carries the input, and a refused price stops at the offset Reach gives it. No
// exception travels: the refusals come back as values.
TEST(BudgetPrices, TheSearchTriesRisingPricesThenHalfwayBack) {
  struct TCase {
    const char* Name;
    float Carries;                                  // 0: no price does
    std::vector<std::pair<float, uint64_t>> Reach;  // by price; unlisted prices stop at 100
    std::vector<float> Tried;
    float Result;      // the price whose stream comes back, or 0
    uint64_t Refused;  // else the offset of the refusal raised
  };
  const TCase cases[] = {
      {"the first price carries", 4, {}, {4}, 4, 0},
      {"halfway back carries too", 20, {{4, 150}, {16, 180}}, {4, 16, 64, 32}, 32, 0},
      {"halfway back is refused", 40, {{4, 150}, {16, 180}, {32, 190}}, {4, 16, 64, 32}, 64, 0},
      {"no price gets further", 0, {}, {4, 16, 64}, 0, 100},
      {"a price that gets further starts the count again",
       0,
       {{16, 120}},
       {4, 16, 64, 256, 1024},
       0,
       120},
  };
  for (const TCase& c : cases) {
    std::vector<float> tried;
    auto pack = [&](TBudgetPrices budget) {
      tried.push_back(budget.Unit);
      if (c.Carries > 0 && budget.Unit >= c.Carries) {
        return TPriced{{static_cast<uint8_t>(budget.Unit)}, {}};
      }
      uint64_t reach = 100;
      for (const auto& [price, offset] : c.Reach) {
        if (price == budget.Unit) reach = offset;
      }
      return TPriced{{}, {TRefusal::EntryNoShare, reach}};
    };
    const TPriced priced = PackAtLowestPrice(pack, {TRefusal::RootTotalFull, 100});
    if (c.Result == 0) {
      EXPECT_TRUE(priced.Stream.empty()) << c.Name;
      EXPECT_EQ(priced.Refused.InputOffset, c.Refused) << c.Name;
      // The furthest refusal comes back: the free one when no price got further.
      EXPECT_EQ(priced.Refused.Reason,
                c.Refused == 100 ? TRefusal::RootTotalFull : TRefusal::EntryNoShare)
          << c.Name;
    } else {
      EXPECT_FALSE(priced.Refused) << c.Name;
      EXPECT_EQ(priced.Stream, std::vector<uint8_t>{static_cast<uint8_t>(c.Result)}) << c.Name;
    }
    EXPECT_EQ(tried, c.Tried) << c.Name;
  }
}

}  // namespace
}  // namespace lumera
