#include "encoder/coding_cost.h"

#include <cmath>
#include <vector>

namespace lumera {

namespace {

// Totals stay below 0x10000 in any stream the encoder writes; larger ones are priced
// the slow way.
constexpr uint32_t kTabulated = 0x10001;

// Built before main, so that pricing never waits on a first-use check.
const std::vector<float> kLog2 = [] {
  std::vector<float> logs(kTabulated, 0.0f);
  for (uint32_t n = 1; n < kTabulated; ++n) logs[n] = static_cast<float>(std::log2(n));
  return logs;
}();

float Log2(uint32_t n) {
  return n < kTabulated ? kLog2[n] : static_cast<float>(std::log2(n));
}

}  // namespace

float EntryCost(uint16_t weight, uint32_t total) {
  return weight == 0 ? kUncodable : Log2(total) - Log2(weight);
}

TEntryPlace FindEntry(const TDic& table, uint16_t symbol, uint16_t copy) {
  const int32_t index = table.IndexOf(symbol, copy);
  if (index < 0) return {};
  return {index, table.FItems[index].Weight()};
}

float SymbolCost(const TDic& table, uint16_t symbol) {
  const TEntryPlace place = FindEntry(table, symbol);
  return place.Index < 0 ? kUncodable : EntryCost(place.Weight, table.FTotal);
}

const TCostArray::TCosts& TCostArray::For(const TDic& table) {
  if (&table == FTable && table.FTotal == FTotal && table.FCount == FCount) return FCosts;
  FTable = &table;
  FTotal = table.FTotal;
  FCount = table.FCount;
  FCosts.fill(kUncodable);
  for (int32_t i = 0; i < table.FCount; ++i) {
    const TDicItem entry = table.FItems[i];
    const int slot = entry.Symbol() == kEscapeSymbol ? kEscapeSlot : entry.Symbol();
    if (slot <= kEscapeSlot) FCosts[slot] = EntryCost(entry.Weight(), table.FTotal);
  }
  return FCosts;
}

}  // namespace lumera
