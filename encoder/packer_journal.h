// Read me first: how the packer takes back its last events.
//
// A parse that runs out of room near the end of its input backs up over the last few
// events and codes their bytes another way. Copying the models for that would cost more
// than coding, so the journal listens to the engine's own update of the models and notes,
// before each change, what it is about to overwrite: the entries of a table up to the one
// that is hit (a hit only moves entries forward, never past it), a table's count and
// total, one child slot, one ring slot, or a child table that was created. Taking an
// event back replays its notes in reverse. Notes older than the latest Limit() events are
// forgotten.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "engine/decompressor.h"
#include "engine/model_changes.h"

namespace lumera {

class TPackerJournal : public TModelChanges {
 public:
  // Starts the notes of a new event; forgets the oldest event beyond the limit.
  void Open();
  size_t Events() const { return FEvents.size(); }
  // How many of the latest events are kept; lowering it forgets the oldest ones.
  void SetLimit(size_t events);
  size_t Limit() const { return FLimit; }

  void Entries(TDic& table, int index) override;
  void Slot(TDicSlot& slot) override;
  // Once a ring has gone a whole lap within one event, its notes so far restore every
  // slot and its Next: later ones are not kept.
  void Ring(uint8_t value, TBytePositions& ring) override;
  void Spawned(TDicSlot& link, TDictionary& tree) override;

  // Puts back what the latest event changed and forgets it.
  void TakeBack();

 private:
  enum class TKind : uint8_t { Entries, Slot, Ring, Spawn };
  struct TNote {
    TKind Kind;
    void* Target;       // the table, slot, ring or link
    TDictionary* Tree;  // for a spawn
    uint32_t Value;     // a total, a slot's word, a ring's Next, a child's index
    uint32_t Extra;     // a table's count, the ring slot's old offset
    size_t Words;       // where the saved entries start in FWords
    uint16_t Saved;     // how many entries were saved
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
  // Events opened so far, and per byte value the ring notes kept in the latest event that
  // noted its ring.
  struct TRingNotes {
    uint64_t Event = 0;
    uint16_t Notes = 0;
  };
  uint64_t FOpened = 0;
  std::array<TRingNotes, 256> FRingNotes{};
};

}  // namespace lumera
