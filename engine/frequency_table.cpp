#include "engine/frequency_table.h"

#include <utility>

#include "platform/exceptions.h"

namespace lumera {

TDic::TDic(TDicShape shape) : FCount(shape == TDicShape::Full ? kCapacity : 1) {
  ResetItems();
  ResetSlots();
}

void TDic::ResetItems() {
  FTotal = static_cast<uint32_t>(FCount);
  for (int32_t i = 0; i < FCount; ++i) FItems[i] = TDicItem::Make(1, static_cast<uint16_t>(i));
  if (FCount > 0) FItems[FCount - 1] = TDicItem::Make(1, kEscapeSymbol);
}

void TDic::ResetSlots() {
  FSlots.fill(TDicSlot::Make(0, kNoChild));
}

uint16_t TDic::Find(uint16_t target, uint16_t& remainder) const {
  for (int32_t i = 0; i < FCount; ++i) {
    const uint16_t weight = FItems[i].Weight();
    if (target < weight) {
      remainder = target;
      return static_cast<uint16_t>(i);
    }
    target = static_cast<uint16_t>(target - weight);
  }
  throw Exception("Find reached the end of TDic.");
}

int32_t TDic::IndexOf(uint16_t symbol, uint16_t copy) const {
  for (int32_t i = 0; i < FCount; ++i) {
    if (FItems[i].Symbol() != symbol) continue;
    if (copy == 0) return i;
    --copy;
  }
  return -1;
}

uint16_t TDic::CopyAt(uint16_t index) const {
  uint16_t copies = 0;
  for (int32_t i = 0; i < index; ++i) {
    if (FItems[i].Symbol() == FItems[index].Symbol()) ++copies;
  }
  return copies;
}

bool TDic::Hit(uint16_t index) {
  ++FTotal;
  TDicItem& item = FItems[index];
  item = TDicItem::Make(static_cast<uint16_t>(item.Weight() + 1), item.Symbol());
  BubbleUp(index);
  return FTotal >= kOverloadTotal;
}

// One pass from index - 1 down to 0 that never stops early. In a table sorted by weight
// this moves the hit entry in front of every lighter one and behind its equals.
void TDic::BubbleUp(uint16_t index) {
  for (int j = index - 1; j >= 0; --j) {
    if (FItems[j].Weight() < FItems[j + 1].Weight()) std::swap(FItems[j], FItems[j + 1]);
  }
}

void TDic::Append(TDicItem entry) {
  if (FCount >= kCapacity) throw Exception("Too many entries in a frequency table.");
  FTotal += entry.Weight();
  FItems[FCount] = entry;
  ++FCount;
}

void TDic::CopyFrequent(const TDic& source, uint16_t minWeight) {
  if (source.IsEmpty()) return;
  for (int32_t i = 0; i < source.FCount; ++i) {
    const TDicItem entry = source.FItems[i];
    if (entry.Symbol() != kEscapeSymbol && entry.Weight() >= minWeight) Append(entry);
  }
}

}  // namespace lumera
