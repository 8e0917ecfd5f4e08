#include "encoder/packer_journal.h"

#include <algorithm>
#include <stdexcept>

namespace lumera {

void TPackerJournal::Open() {
  if (FEvents.size() >= FLimit) ForgetOldest();
  FEvents.push_back({FNotes.size(), FWords.size()});
  ++FOpened;
}

void TPackerJournal::SetLimit(size_t events) {
  FLimit = events;
  while (FEvents.size() > FLimit) ForgetOldest();
}

// The notes of forgotten events are dropped once they make up half of what is kept, so
// that each note is moved at most once on average.
void TPackerJournal::ForgetOldest() {
  FEvents.pop_front();
  if (FEvents.empty()) {
    FNotes.clear();
    FWords.clear();
    return;
  }
  const size_t notes = FEvents.front().Notes;
  const size_t words = FEvents.front().Words;
  if (notes * 2 < FNotes.size() && words * 2 < FWords.size()) return;
  FNotes.erase(FNotes.begin(), FNotes.begin() + static_cast<ptrdiff_t>(notes));
  FWords.erase(FWords.begin(), FWords.begin() + static_cast<ptrdiff_t>(words));
  for (TNote& note : FNotes) note.Words -= std::min(note.Words, words);
  for (TEvent& event : FEvents) {
    event.Notes -= notes;
    event.Words -= words;
  }
}

void TPackerJournal::Entries(TDic& table, int index) {
  const uint16_t saved = static_cast<uint16_t>(index + 1);
  FNotes.push_back({TKind::Entries, &table, nullptr, table.FTotal,
                    static_cast<uint32_t>(table.FCount), FWords.size(), saved});
  for (int i = 0; i < saved; ++i) FWords.push_back(table.FItems[i].Word);
}

void TPackerJournal::Slot(TDicSlot& slot) {
  FNotes.push_back({TKind::Slot, &slot, nullptr, slot.Word, 0, 0, 0});
}

void TPackerJournal::Ring(uint8_t value, TBytePositions& ring) {
  TRingNotes& kept = FRingNotes[value];
  if (kept.Event != FOpened) kept = {FOpened, 0};
  if (kept.Notes == ring.Pos.size()) return;
  ++kept.Notes;
  FNotes.push_back({TKind::Ring, &ring, nullptr, ring.Next, ring.Pos[ring.Next], 0, 0});
}

void TPackerJournal::Spawned(TDicSlot& link, TDictionary& tree) {
  FNotes.push_back({TKind::Spawn, &link, &tree, link.Child(), 0, 0, 0});
}

void TPackerJournal::TakeBack() {
  if (FEvents.empty()) throw std::logic_error("no event left to take back");
  const TEvent event = FEvents.back();
  FEvents.pop_back();
  while (FNotes.size() > event.Notes) {
    const TNote& note = FNotes.back();
    switch (note.Kind) {
      case TKind::Entries: {
        auto& table = *static_cast<TDic*>(note.Target);
        table.FTotal = note.Value;
        table.FCount = static_cast<int32_t>(note.Extra);
        for (uint16_t i = 0; i < note.Saved; ++i) table.FItems[i].Word = FWords[note.Words + i];
        break;
      }
      case TKind::Slot:
        static_cast<TDicSlot*>(note.Target)->Word = note.Value;
        break;
      case TKind::Ring: {
        auto& ring = *static_cast<TBytePositions*>(note.Target);
        ring.Next = note.Value;
        ring.Pos[ring.Next] = note.Extra;
        break;
      }
      case TKind::Spawn: {
        auto& link = *static_cast<TDicSlot*>(note.Target);
        link = TDicSlot::Make(link.Hits(), kNoChild);
        note.Tree->FItems[note.Value].reset();
        note.Tree->FCount = note.Value;
        break;
      }
    }
    FNotes.pop_back();
  }
  FWords.resize(event.Words);
}

}  // namespace lumera
