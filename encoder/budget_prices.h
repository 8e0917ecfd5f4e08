// What a parse charges, in bits, for using up the format's budgets.
//
// Read me first: besides bits, a stream spends two budgets that the format never renews.
// - Every repeat adds one to the offset-code table's total. That table's escape, the end
//   marker, keeps weight 1, so once the total passes 0x8000 the end marker may find no
//   share of the range.
// - Every repeat, and every literal coded in the root (after its context's escape, or in
//   the root itself), adds one to the root's total, which may not reach 0x10000.
// A parse that spends them as if they were free may be refused on a long text that it
// could carry by coding some short repeats as literals, or some literals inside longer
// repeats. So when the free parse is refused, the text is parsed again with a price on
// every unit of both budgets, the same price all through the text, since a unit saved
// anywhere is as good as one saved elsewhere. The higher the price, the more a text
// carried at it loses in size, so the prices tried start low and rise. A text that is
// carried free pays nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "encoder/refusal_reason.h"

namespace lumera {

struct TBudgetPrices {
  // The prices tried, from the first, each kPriceStep times the last, up to the highest,
  // which is more than the longest repeat can save; and how many prices in a row may fail
  // to carry the input any further before the search gives up.
  static constexpr float kFirstUnitPrice = 4;
  static constexpr float kPriceStep = 4;
  static constexpr float kHighestUnitPrice = 1024;
  static constexpr int kFruitlessPrices = 3;

  float Unit = 0;  // bits per unit of either budget

  // What the budgets add to a repeat, which takes a unit of each, and to a literal coded
  // in the root.
  float Repeat() const { return 2 * Unit; }
  float RootLiteral() const { return Unit; }
};

// A third limit is each table's own total: every literal adds one to the total of the
// table it is coded in (an escaped one to its context's and the root's), and at 0x10000
// nothing more fits. A context table gets near there only on long runs of one kind, such
// as the zero bytes of an executable. So from kFullTableOnset on, a literal coded in a
// context table is charged kFullTableBits times the ratio of the total past the onset to
// what is left below 0x10000 (8 bits halfway, thousands at the end), and the parse turns
// to repeats before the table is full. No text below the onset is changed.
inline constexpr uint32_t kFullTableOnset = 0xC000;
inline constexpr float kFullTableBits = 8;
float FullTablePrice(uint32_t total);

// A stream packed at a price, or the refusal that stopped it.
struct TPriced {
  std::vector<uint8_t> Stream;
  TRefused Refused;
};

// After the free parse was refused with free: packs at the first price, then at each price
// kPriceStep times higher until the input is carried, and then tries the price halfway
// between (on a log scale) that one and the last refused one too. Gives up when
// kFruitlessPrices prices in a row get no further into the input than the furthest parse
// so far, and returns that parse's refusal. pack packs at a price.
TPriced PackAtLowestPrice(const std::function<TPriced(TBudgetPrices)>& pack, TRefused free);

}  // namespace lumera
