// The context tree: a full root table and a pool of child tables addressed by 16-bit
// index. A table's slots link it to its children; the walk that picks a table from the
// output history is a method of the decompressor (context_tree.cpp).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/frequency_table.h"

namespace lumera {

class TDictionary {
 public:
  explicit TDictionary(uint16_t capacity);
  TDictionary(const TDictionary&) = delete;
  TDictionary& operator=(const TDictionary&) = delete;

  // Frees every child table; the pool keeps its length.
  void Clear();
  // Clear, then give the pool capacity empty places.
  void Reset(uint16_t capacity);

  std::vector<std::unique_ptr<TDic>> FItems;  // the pool; its length is the capacity
  uint32_t FCount = 0;  // tables created so far, and the index of the next one
  std::unique_ptr<TDic> FRoot;
};

}  // namespace lumera
