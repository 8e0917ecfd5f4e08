// What coding an entry costs, in bits: log2(total / weight) for an entry of that weight
// in a table of that total. The decoder pulls a little more (it rounds every share down),
// which the parse can ignore: it only compares choices with each other.
#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "engine/frequency_table.h"

namespace lumera {

inline constexpr float kUncodable = std::numeric_limits<float>::infinity();

// log2(total / weight); kUncodable for a weight of 0, which no step can decode.
float EntryCost(uint16_t weight, uint32_t total);

// Where a symbol stands in a table; copy as for TDic::IndexOf.
struct TEntryPlace {
  int Index = -1;  // -1: the table does not hold the symbol
  uint16_t Weight = 0;
};
TEntryPlace FindEntry(const TDic& table, uint16_t symbol, uint16_t copy = 0);
// kUncodable when the table lacks the symbol.
float SymbolCost(const TDic& table, uint16_t symbol);

// The cost of every symbol of a table, rebuilt only when the table has changed since
// the last call: a table's total grows with every hit and append, so the table and its
// total name its state. Escape's cost stands at index kEscapeSlot.
class TCostArray {
 public:
  static constexpr int kEscapeSlot = 256;
  using TCosts = std::array<float, 257>;

  const TCosts& For(const TDic& table);

 private:
  const TDic* FTable = nullptr;
  uint32_t FTotal = 0;
  int32_t FCount = -1;
  TCosts FCosts{};
};

}  // namespace lumera
