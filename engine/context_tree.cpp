#include "engine/context_tree.h"

#include <algorithm>

#include "engine/decompressor.h"

namespace lumera {

namespace {

constexpr uint16_t kSeedWeight = 16;

// The history position back steps behind the latest byte, which is 0 steps behind.
uint8_t HistoryIndex(uint8_t histIdx, int back) {
  return static_cast<uint8_t>((histIdx + 3 - back) & 3);
}

}  // namespace

TDictionary::TDictionary(uint16_t capacity) : FRoot(std::make_unique<TDic>(TDicShape::Full)) {
  Reset(capacity);
}

void TDictionary::Clear() {
  FCount = 0;
  for (auto& table : FItems) table.reset();
}

void TDictionary::Reset(uint16_t capacity) {
  Clear();
  FItems.resize(capacity);
}

TDic& TDecompressor::Walk(const std::array<uint8_t, 4>& hist, uint8_t histIdx,
                          uint8_t& order) const {
  TDic* node = FDictionary->FRoot.get();
  for (order = 0; order < 4; ++order) {
    const uint8_t slot = hist[HistoryIndex(histIdx, order)] >> FShift[order];
    const uint16_t child = node->FSlots[slot].Child();
    if (child == kNoChild) return *node;
    node = FDictionary->FItems[child].get();
  }
  order = kDeepest;
  return *node;
}

TDic& TDecompressor::FindContext() {
  return Walk(FHist, FHistIdx, FOrder);
}

const TDic& TDecompressor::ContextOf(std::span<const uint8_t> recent) const {
  // With the next write at slot 0, the latest byte stands in slot 3.
  std::array<uint8_t, 4> hist{};
  for (size_t back = 1; back <= std::min<size_t>(recent.size(), 4); ++back) {
    hist[4 - back] = recent[recent.size() - back];
  }
  uint8_t order = 0;
  return Walk(hist, 0, order);
}

// Counts with the node and depth of the walk made before the byte was output; the spawn
// that may follow walks the history that already holds it. A depth-4 node has no slots
// in use, so nothing is counted there.
void TDecompressor::CountHit(uint8_t symbol, TDic& node) {
  if (FDictionary->FItems.size() <= FDictionary->FCount || FOrder == kDeepest) return;
  TDicSlot& slot = node.FSlots[symbol >> FShift[FOrder]];
  if (FChanges) [[unlikely]] {
    FChanges->Slot(slot);
  }
  slot = TDicSlot::Make(static_cast<uint16_t>(slot.Hits() + 1), slot.Child());
  if (slot.Hits() >= FThreshold[FOrder]) SpawnContext();
}

// Grows the tree by one table at the end of the current walk, but never deeper than one
// level below the table in which the hit was counted.
void TDecompressor::SpawnContext() {
  const uint8_t old = FOrder;
  TDic& parent = FindContext();
  if (old < FOrder || FOrder == kDeepest) return;
  const uint8_t slot = FHist[HistoryIndex(FHistIdx, FOrder)] >> FShift[FOrder];
  const uint16_t index = static_cast<uint16_t>(FDictionary->FCount);
  parent.FSlots[slot] = TDicSlot::Make(parent.FSlots[slot].Hits(), index);
  auto child = std::make_unique<TDic>(TDicShape::Child);
  child->CopyFrequent(parent, kSeedWeight);
  FDictionary->FItems[index] = std::move(child);
  ++FDictionary->FCount;
  if (FChanges) [[unlikely]] {
    FChanges->Spawned(parent.FSlots[slot], *FDictionary);
  }
}

}  // namespace lumera
