// The decoding engine.
//
// The model, in plain words
// -------------------------
// Every byte of output is either a literal, decoded with an adaptive arithmetic coder, or
// part of a repeat that copies earlier output. The coder always decodes against a
// frequency table (TDic): weights that start at 1 and grow by one each time their entry
// is decoded. Each table also holds an escape entry, which says "not here, look further".
//
// Literals are predicted by a tree of tables keyed on the last four output bytes. The
// root table holds all 256 byte values. Each table has 128 child slots; the slot is
// chosen by one more, older history byte, reduced to a coarser class the older it is:
// the most recent byte shifted right by 1 picks the root's slot, the second most recent
// shifted by 3 a depth-1 table's slot, then shifts of 4 and 5. So a depth-2 table stands
// for "last byte about this, byte before about that". A literal is decoded from the
// deepest table the walk reaches (FindContext).
//
// The tree grows while decoding. After each literal a hit is counted on the slot of the
// decoded byte in the table it was decoded from; when a slot's count reaches the
// threshold of its depth (1, 8, 16, 32) a child table is created at the end of the walk
// for the new history, one level deeper, and seeded with the parent's entries of weight
// 16 or more. A new child starts with little more than its escape.
//
// Escapes: when the context's table does not hold the byte it yields the escape, and the
// byte is decoded from the root instead (and then added to the context's table with
// weight 1). When the root yields the escape too, the step goes to the match table: its
// escape is the end marker; any other symbol is the offset code of a repeat, followed by
// its length from one of two length tables. The repeat is resolved through per-value
// rings of output offsets and copied byte by byte from the output itself.
//
// Source layout: bytes 0..3 the initial code value, big-endian; then 32-bit big-endian
// words read bit by bit from the top.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "engine/bit_reader.h"
#include "engine/context_tree.h"
#include "engine/diagnostics.h"
#include "engine/frequency_table.h"
#include "engine/model_changes.h"
#include "platform/stream.h"

namespace lumera {

// For one byte value, the ring of output offsets at which it was written.
struct TBytePositions {
  uint32_t Next = 0;  // the slot the next occurrence fills, 0..255
  std::array<uint32_t, 256> Pos{};
};

inline constexpr uint64_t kNoStop = std::numeric_limits<uint64_t>::max();
// The initial code value: the first 32 bits of the source, read before the bit reader.
inline constexpr uint32_t kInitialCodeBits = 32;
inline constexpr uint16_t kContextCapacity = 2048;
// The length of a repeat whose length code is the length table's escape.
inline constexpr uint32_t kEscapeLength = 0xFFFF;
// FOrder after a walk that went down all four levels.
inline constexpr uint8_t kDeepest = 255;

// The decoder object. Its fields are the whole decoding state. They are public for the
// engine's own units, the reference check and the tests; the encoder mirrors the models
// with this very class, but reads its fields in one unit only (encoder/model_view.h).
class TDecompressor {
 public:
  // With no diagnostics the decoder prints nothing and makes no reference check.
  // stopAfter: leave the main loop, between steps, once this many bytes are output.
  explicit TDecompressor(TDiagnostics* diagnostics = nullptr, uint64_t stopAfter = kNoStop);
  TDecompressor(const TDecompressor&) = delete;
  TDecompressor& operator=(const TDecompressor&) = delete;

  // Main loop (main_loop.cpp).
  void Decompress();
  void Prepare();
  // The part of Prepare that does not concern the source: fresh models, history, range.
  void StartModels();
  void ResetModels();
  void DecodeLiteral();
  void DecodeEscape();
  void Finish();
  // Bits of the source taken so far: the initial code value and every bit the bit
  // reader has delivered; 0 before decoding starts.
  uint64_t SourceBitsTaken() const;
  // The offset of the source byte that holds the next bit not yet taken: where a failed
  // decoding stopped.
  uint64_t SourceByteReached() const { return SourceBitsTaken() / 8; }

  // The update of the models, which the decoder and the encoder's mirror share, so that
  // both change together; each change is told to the listener, if any, before it is made.
  // Every step of an event counts its entry in the table it is decoded from (CountEntry);
  // that is all the end marker changes. A literal then goes on with ApplyLiteral, a repeat
  // with StartRepeat and CopyRepeat.
  void ReportChangesTo(TModelChanges* listener) { FChanges = listener; }
  // Counts a hit on the entry at index of table; true when the table is now overloaded.
  bool CountEntry(TDic& table, uint16_t index) {
    if (FChanges) [[unlikely]] {
      FChanges->Entries(table, index);
    }
    return table.Hit(index);
  }
  // A literal: a byte that came from the root after the context's escape joins the
  // context's table, then it is output and its hit counted in node.
  void ApplyLiteral(TDic& node, uint8_t byte, bool escaped);
  // A repeat: records the offset code and the length and resolves the copy's start.
  // Raises "Invalid offset code for the repeater." for a copy the output cannot serve.
  void StartRepeat(uint16_t code, uint32_t length);
  // The table that a repeat's length is decoded from: offset code 0 has one of its own.
  TDic& LengthTable(uint16_t code) const { return code == 0 ? *FLenDic0 : *FLenDic; }

  // Symbol decoder (symbol_decoder.cpp).
  // role only tells the observer which table this is.
  uint32_t DecodeSymbol(TDic& model, TTableRole role = {});
  // Returns the number of bits pulled (BitsNeeded).
  uint8_t Renormalize(uint32_t first, uint32_t newRange);

  // Context tree (context_tree.cpp).
  TDic& FindContext();
  // The table the walk would reach for another history, with the tree as it stands now:
  // recent holds the latest output bytes, the latest last, and older bytes that it lacks
  // count as 0, as in the history at the start. Changes nothing.
  const TDic& ContextOf(std::span<const uint8_t> recent) const;
  // The depth of the table the last walk reached: FOrder, with kDeepest counted as 4.
  uint8_t ContextDepth() const { return FOrder == kDeepest ? 4 : FOrder; }
  void CountHit(uint8_t symbol, TDic& node);
  void SpawnContext();

  // Output history and repeater (repeater.cpp).
  void PutByte(uint8_t b);
  uint8_t ReadBack(int32_t offset);
  // Whether the decoder, with the output as it stands, takes a repeat of length bytes with
  // this offset code, instead of refusing it ("Invalid offset code for the repeater.").
  // Reads the output back and changes nothing.
  bool CanRepeat(uint32_t code, uint32_t length);
  void ResolveRepeat();
  // The resolved repeat's bytes output, each read back from the output.
  void CopyRepeat();
  // The same, for a caller that knows the bytes the copy writes: the encoder, which
  // reads its output without the stream.
  void CopyRepeat(std::span<const uint8_t> bytes);

  bool FDone = false;
  TStream* FSource = nullptr;  // not owned
  TStream* FDest = nullptr;    // not owned; read back by the repeater
  std::unique_ptr<TDictionary> FDictionary;
  uint32_t FCode = 0;
  uint32_t FRange = 0;
  // Set by the first step whose code value lies outside the decoded entry's share.
  bool FCodeLeftShare = false;
  std::unique_ptr<TContext> FBits;
  std::unique_ptr<TDic> FMatchDic;
  std::array<TBytePositions, 256> FPositions{};
  std::unique_ptr<TDic> FLenDic;
  std::unique_ptr<TDic> FLenDic0;
  uint32_t FRepeatLen = 0;
  int32_t FRepeatPos = 0;
  uint8_t FOrder = 0;
  uint8_t FHistIdx = 0;
  std::array<uint8_t, 4> FHist{};
  // The model's constants: by depth, how far a history byte is shifted right to pick a
  // child slot, and the hit count of a slot that grows the tree; and the shortest source.
  static constexpr std::array<uint8_t, 4> FShift{1, 3, 4, 5};
  static constexpr std::array<uint8_t, 4> FThreshold{1, 8, 16, 32};
  static constexpr uint8_t FMinSize = 8;
  uint64_t FStopAfter;

 private:
  // ReadBack, with nothing for a byte that is not there.
  std::optional<uint8_t> ByteAt(int32_t offset);
  // The output offset after the occurrence that code names; nothing when it names none.
  std::optional<int32_t> RepeatStart(uint32_t code);
  bool CopyFits(int32_t start, uint32_t length) const;
  // The walk of FindContext over any history; sets order to the depth reached.
  TDic& Walk(const std::array<uint8_t, 4>& hist, uint8_t histIdx, uint8_t& order) const;

  // Reported to, never owned; none means silent.
  TDiagnostics* FDiagnostics;
  // Told of each change to the models, never owned; none for a plain decoder.
  TModelChanges* FChanges = nullptr;
};

}  // namespace lumera
