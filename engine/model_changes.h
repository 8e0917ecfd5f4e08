// Who is told of each change to the decoder's models, by the code that makes it: a hit or
// an append to a table, a child slot's count, a ring slot filled, a child table created.
// The encoder's journal listens, so that it can take its latest events back knowing only
// what this code did; a decoder with no listener pays one test of a null pointer a change.
#pragma once

#include <cstdint>

namespace lumera {

class TDic;
class TDictionary;
struct TDicSlot;
struct TBytePositions;

class TModelChanges {
 public:
  virtual ~TModelChanges() = default;

  // Before a hit on the entry at index of table, or before an append to it (index -1).
  virtual void Entries(TDic& table, int index) = 0;
  // Before a child slot's hit count or child changes.
  virtual void Slot(TDicSlot& slot) = 0;
  // Before the ring of byte value value fills its next slot.
  virtual void Ring(uint8_t value, TBytePositions& ring) = 0;
  // After tree grew a child table, now linked from link.
  virtual void Spawned(TDicSlot& link, TDictionary& tree) = 0;
};

}  // namespace lumera
