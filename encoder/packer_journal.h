// Read me first: how the packer takes back its last events.
//
// A parse that runs out of room near the end of its input backs up over the last few
// events and codes their bytes another way. Copying the models for that would cost more
// than coding, so the packer notes, before each change to a model, what it is about to
// overwrite: the entries of a table up to the one that is hit (a hit only moves entries
// forward, never past it), a table's count and total, one child slot, one ring slot, or
// a child table that was created. Taking an event back replays its notes in reverse.
// Notes older than the latest Limit() events are forgotten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "engine/decompressor.h"

namespace lumera {

class TPackerJournal {
 public:
  // Starts the notes of a new event; forgets the oldest event beyond the limit.
  void Open();
  size_t Events() const { return FEvents.size(); }
  // How many of the latest events are kept; lowering it forgets the oldest ones.
  void SetLimit(size_t events);
  size_t Limit() const { return FLimit; }

  // Before a hit on entry index, or an append (index -1), of table.
  void NoteEntries(TDic& table, int index);
  void NoteSlot(TDic& table, uint8_t slot);
  void NoteRing(TBytePositions& ring);
  // After the tree grew a child table, reached through link.
  void NoteSpawn(TDicSlot& link, TDictionary& tree);

  // Puts back what the latest event changed and forgets it.
  void TakeBack();

 private:
  enum class TKind : uint8_t { Entries, Slot, Ring, Spawn };
  struct TNote {
    TKind Kind;
    void* Target;            // the table, slot, ring or link
    TDictionary* Tree;       // for a spawn
    uint32_t Value;          // a total, a slot's word, a ring's Next, a child's index
    uint32_t Extra;          // a table's count, the ring slot's old offset
    size_t Words;            // where the saved entries start in FWords
    uint16_t Saved;          // how many entries were saved
  };
  // Per event, where its notes start.
  struct TEvent {
    size_t Notes;
    size_t Words;
  };

  void ForgetOldest();

  std::vector<TNote> FNotes;
  std::vector<uint32_t> FWords;
  std::deque<TEvent> FEvents;
  size_t FLimit = 16;
};

}  // namespace lumera
