// The adaptive frequency table that every arithmetic decoding step is made against:
// up to 257 (weight, symbol) entries, one of them the escape, kept in a plain array and
// scanned linearly, plus 128 child slots through which the context tree links a table
// to its deeper contexts. Weights only grow; nothing is ever rescaled.
#pragma once

#include <array>
#include <cstdint>

namespace lumera {

inline constexpr uint16_t kEscapeSymbol = 0xFFFF;
inline constexpr uint16_t kNoChild = 0xFFFF;

// One entry as a single 32-bit word, weight in the low half and symbol in the high half,
// so that a weight never parts from its symbol when entries move.
struct TDicItem {
  uint32_t Word = 0;

  static constexpr TDicItem Make(uint16_t weight, uint16_t symbol) {
    return {(uint32_t{symbol} << 16) | weight};
  }
  constexpr uint16_t Weight() const { return static_cast<uint16_t>(Word); }
  constexpr uint16_t Symbol() const { return static_cast<uint16_t>(Word >> 16); }
};

// One child link as a 32-bit word: hit count in the low half, child index in the high half.
struct TDicSlot {
  uint32_t Word = 0;

  static constexpr TDicSlot Make(uint16_t hits, uint16_t child) {
    return {(uint32_t{child} << 16) | hits};
  }
  constexpr uint16_t Hits() const { return static_cast<uint16_t>(Word); }
  constexpr uint16_t Child() const { return static_cast<uint16_t>(Word >> 16); }
};

enum class TDicShape {
  Full,   // symbols 0..255 and the escape, all of weight 1
  Child,  // the escape alone
};

class TDic {
 public:
  static constexpr int kCapacity = 257;
  static constexpr int kSlotCount = 128;
  // From this total on every hit is reported as an overloaded table.
  static constexpr uint32_t kOverloadTotal = 0x2000;

  explicit TDic(TDicShape shape);
  TDic(const TDic&) = delete;
  TDic& operator=(const TDic&) = delete;

  void ResetItems();
  void ResetSlots();
  bool IsEmpty() const { return FCount == 0; }

  // The index of the entry whose cumulative weight range holds target, and how far
  // into that entry's weight the target reaches. Raises "Find reached the end of TDic."
  uint16_t Find(uint16_t target, uint16_t& remainder) const;
  // The index of the entry that holds symbol, or -1. A table can hold a byte more than
  // once (a byte escaped from a context that held it joins the table again): copy picks
  // one, 0 being the first in the table's order.
  int32_t IndexOf(uint16_t symbol, uint16_t copy = 0) const;
  // Which copy of its symbol the entry at index is: how many entries in front hold it too.
  uint16_t CopyAt(uint16_t index) const;
  // Counts one occurrence of the entry. Returns true when the total now stands at
  // kOverloadTotal or more, which the caller reports.
  bool Hit(uint16_t index);
  void BubbleUp(uint16_t index);
  // Raises "Too many entries in a frequency table." on a full table.
  void Append(TDicItem entry);
  void AddSymbol(uint16_t weight, uint16_t symbol) { Append(TDicItem::Make(weight, symbol)); }
  // Appends every non-escape entry of source whose weight is at least minWeight.
  void CopyFrequent(const TDic& source, uint16_t minWeight);

  uint32_t FTotal = 0;
  int32_t FCount = 0;
  std::array<TDicItem, kCapacity> FItems{};
  std::array<TDicSlot, kSlotCount> FSlots{};
};

}  // namespace lumera
