// The encoder's seam with the decoder object: the one unit of encoder/ that reads or sets
// the decoder's fields (the parses' reads inline, for their speed). A parse prices its choices
// through TModelView, a read-only view of the models as they stand: the tables, the context a
// history reaches and the rings of repeat sources. The stream packer keeps its mirror of the models
// in a TModelMirror, a silent decoder object that every model change goes through, by the engine's
// own update.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/decompressor.h"
#include "engine/model_changes.h"
#include "platform/stream.h"

namespace lumera {

// Per byte value, the ring of output offsets at which it was written.
using TRings = std::array<TBytePositions, 256>;

class TModelView {
 public:
  explicit TModelView(const TDecompressor& models) : FModels(&models) {}

  // The root of the context tree, which holds every byte value.
  const TDic& Root() const { return *FModels->FDictionary->FRoot; }
  // The match table: offset codes, with the end marker as its escape.
  const TDic& Codes() const { return *FModels->FMatchDic; }
  // The table that a repeat's length with this offset code is coded in.
  const TDic& Lengths(uint16_t code) const { return FModels->LengthTable(code); }
  const TRings& Rings() const { return FModels->FPositions; }
  // The table the decoder's walk would reach once text[0..pos) were output, with the
  // tree as it stands now.
  const TDic& ContextAt(std::span<const uint8_t> text, size_t pos) const;

 private:
  const TDecompressor* FModels;
};

class TModelMirror {
 public:
  // The models at the start of a stream, whose output goes to output; listener is told
  // of every change. Both must outlive the mirror.
  TModelMirror(TStream& output, TModelChanges& listener);

  TModelView View() const { return TModelView(*FModels); }
  const TDecompressor& Models() const { return *FModels; }

  // The tables an event's steps are coded in, to be counted through CountEntry.
  TDic& Context() { return FModels->FindContext(); }
  TDic& Root();
  TDic& Codes();
  TDic& Lengths(uint16_t code) { return FModels->LengthTable(code); }
  bool CountEntry(TDic& table, uint16_t index) { return FModels->CountEntry(table, index); }

  // The rest of each event's update, as the decoder makes it.
  void ApplyLiteral(TDic& node, uint8_t byte, bool escaped) {
    FModels->ApplyLiteral(node, byte, escaped);
  }
  bool CanRepeat(uint32_t code, uint32_t length) { return FModels->CanRepeat(code, length); }
  // False for a copy the decoder refuses, which leaves its length pending.
  bool StartRepeat(uint16_t code, uint32_t length);
  // Where the started repeat's copy starts in the output.
  size_t RepeatFrom() const;
  void CopyRepeat(std::span<const uint8_t> bytes) { FModels->CopyRepeat(bytes); }

  // The output history the context walk reads, which the listener is not told of: saved
  // with each event and put back, with no repeat pending, when it is taken back.
  struct THistory {
    std::array<uint8_t, 4> Bytes{};
    uint8_t Next = 0;
  };
  THistory History() const;
  void Restore(const THistory& history);

 private:
  std::unique_ptr<TDecompressor> FModels;
};

}  // namespace lumera
