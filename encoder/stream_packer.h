// Writes a stream step by step, mirroring the decoder's models with a silent decoder
// object of its own: each event is coded against the very tables the decoder will hold
// at that point, and the models are then updated by the decoder's own code.
//
// This is also the scripting interface for tests: besides literals and the end marker it
// writes any offset code and any length, including ones the decoder refuses.
//
// The latest events (as many as UndoLimit()) can be taken back, models, rings, output
// and coder alike, so that a parse can code their bytes another way.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "encoder/model_view.h"
#include "encoder/output_echo.h"
#include "encoder/packer_journal.h"
#include "encoder/range_encoder.h"
#include "encoder/refusal_reason.h"
#include "engine/decompressor.h"
#include "engine/stream_tail.h"
#include "platform/exceptions.h"
#include "platform/stream.h"

namespace lumera {

// The input cannot be carried by the format. Reason() names the budget that ran out: "the
// root table's total would reach 0x10000", "a table's total would reach 0x10000", "the end
// marker's share of the range would be 0" or "an entry's share of the range would be 0";
// InputOffset() is the offset of the input byte whose event could not be coded.
class ETooLarge : public Exception {
 public:
  ETooLarge(std::string reason, uint64_t inputOffset, const char* file = __builtin_FILE(),
            int line = __builtin_LINE());
  const char* ClassName() const override { return "ETooLarge"; }
  const std::string& Reason() const { return FReason; }
  uint64_t InputOffset() const { return FInputOffset; }

 private:
  std::string FReason;
  uint64_t FInputOffset;
};

// The choices that make one event of a stream, all that coding it takes; everything else
// about it the decoder derives.
struct TEventChoice {
  enum class TKind : uint8_t { Literal, Repeat, End };

  TKind Kind = TKind::End;
  uint8_t Byte = 0;      // a literal's
  bool Escaped = false;  // a literal that comes from the root after its context's escape
  uint16_t Code = 0;     // a repeat's offset code; only 0 to 255 can name a ring slot
  uint32_t Length = 0;   // a repeat's length: 0 to 255, or kEscapeLength
  // Which entry of its table a literal codes through, where the table holds its byte more
  // than once: as TDic::IndexOf's copy.
  uint16_t Copy = 0;

  static constexpr TEventChoice Literal(uint8_t byte, bool escaped, uint16_t copy = 0) {
    return {TKind::Literal, byte, escaped, 0, 0, copy};
  }
  static constexpr TEventChoice Repeat(uint16_t code, uint32_t length) {
    return {TKind::Repeat, 0, false, code, length, 0};
  }
  static constexpr TEventChoice End() { return {}; }
  bool operator==(const TEventChoice&) const = default;
};

// A finished stream, and how it ends.
struct TFinishedStream {
  std::vector<uint8_t> Bytes;
  bool TailKept = false;  // with the tail's bits; otherwise with the ordinary flush
};

class TStreamPacker {
 public:
  TStreamPacker();
  // For coding this very input, which must outlive the packer: the mirror reads its
  // output back from it instead of keeping a copy, and checks each byte against it.
  explicit TStreamPacker(std::span<const uint8_t> input);

  // Each event is tried as a whole before anything is coded: one the format cannot carry
  // raises ETooLarge and leaves the stream and the models as they were.
  // Returns what the literal cost, as LiteralCost would have priced it.
  double Literal(uint8_t byte);
  // length is 0 to 255, or kEscapeLength. After a repeat the decoder refuses, only
  // Finish may follow.
  void Repeat(uint8_t code, uint32_t length);
  void EndMarker();
  // The same, but the refusal instead of ETooLarge: for the parses, which find their way
  // around it. bits, when given, is what a coded literal cost.
  TRefusal TryLiteral(uint8_t byte, double* bits = nullptr);
  TRefusal TryRepeat(uint8_t code, uint32_t length);
  TRefusal TryEnd();
  // Any event exactly as chosen, an escaped literal even where its context holds the
  // byte: codes it, or says why it cannot be coded, with nothing coded. Never raises for
  // a choice the format or the decoder refuses.
  TRefusal TryEvent(const TEventChoice& choice);
  // Why the event could not be coded now, or TRefusal::None; codes nothing.
  TRefusal RefusalOf(const TEventChoice& choice);

  // The stream, followed by trailing bytes that the decoder never reads as bits.
  std::vector<uint8_t> Finish(const std::vector<uint8_t>& trailing = {}) const;
  // The stream ending with the tail's bits and trailing bytes when they still fit the
  // coder's state: the end marker is coded, the coder has taken tail.BitsTaken bits and
  // tail.Code is below its range. Otherwise the ordinary flush, without the trailing bytes.
  TFinishedStream Finish(const TStreamTail& tail) const;

  // Whether the repeat could be coded now.
  bool CanRepeat(uint8_t code, uint32_t length);
  bool CanEnd();

  // How many of the latest events can be taken back, and taking the latest one back.
  size_t Undoable() const { return FMarks.size(); }
  void TakeBack();
  // How many of the latest events are kept for taking back (16 to begin with); lowering
  // it forgets the oldest.
  void SetUndoLimit(size_t events);
  size_t UndoLimit() const { return FJournal.Limit(); }

  // What the decoder will have output so far, and its model state.
  std::vector<uint8_t> Output() const;
  size_t OutputSize() const { return static_cast<size_t>(FOutput.Size()); }
  // The models as a parse reads them; ContextAt is how it looks ahead with models frozen
  // at this point.
  TModelView Models() const { return FMirror.View(); }
  // The decoder object itself, for the tests and checks that look inside.
  const TDecompressor& Mirror() const { return FMirror.Models(); }

  // The cost in bits of coding the event against the tables as they stand, escapes
  // included: the sum of log2(total / weight) over its steps.
  double LiteralCost(uint8_t byte);
  double RepeatCost(uint8_t code, uint32_t length);
  // The part of every repeat's cost before its offset code: the escapes to the match table.
  double EscapesCost();

 private:
  // One decoding step of an event: the table, and where the symbol stands in it.
  struct TStep {
    TDic* Table = nullptr;
    uint16_t Index = 0;
    uint16_t Weight = 0;
  };
  // The steps of one event, at most an escape, a second escape, the match table's entry
  // and a length.
  struct TEvent {
    std::array<TStep, 4> Steps{};
    int Count = 0;
    bool Escaped = false;  // a literal that escaped its context to the root
    TDic* Node = nullptr;  // the context table the walk reached
    bool End = false;
    TRefusal Refused = TRefusal::None;  // the choice itself cannot be coded here
  };
  // What taking an event back restores besides the journal's notes.
  struct TMark {
    TRangeEncoder::TSnapshot Coder;
    TModelMirror::THistory History;
    size_t Output;
    bool Refused;
    bool Ended;
  };

  // The literal's steps: from its context, or, escaped, the context's escape and the byte
  // from the root. Without a choice, escaped exactly when the context lacks the byte.
  TEvent LiteralEvent(uint8_t byte, std::optional<bool> escaped = std::nullopt, uint16_t copy = 0);
  TEvent RepeatEvent(uint8_t code, uint32_t length);
  TEvent EndEvent();
  TEvent EventOf(const TEventChoice& choice);
  void AddEscapesToMatch(TEvent& event);
  static void AddStep(TEvent& event, TDic& table, uint16_t symbol);
  // What a choice is refused for before its steps are looked at: a place after the end
  // marker, a length no table codes, a copy the decoder refuses.
  TRefusal ChoiceRefusal(const TEventChoice& choice);
  // None when every step has a share; otherwise the reason it cannot be coded.
  TRefusal Refusal(const TEvent& event) const;
  // Codes the event's steps and counts their entries (the journal notes what that changes);
  // or returns why it cannot be coded, with nothing coded.
  TRefusal Encode(const TEvent& event);
  // Literal and Repeat, returning the refusal instead of raising it.
  TRefusal CodeLiteral(uint8_t byte, std::optional<bool> escaped, uint16_t copy, double& bits);
  TRefusal CodeRepeat(uint8_t code, uint32_t length);
  // Raises ETooLarge for a refusal, nothing for TRefusal::None.
  void Raise(TRefusal refusal) const;
  // The bytes a copy of length bytes from the resolved start writes.
  std::vector<uint8_t> CopiedBytes(uint32_t length) const;
  static double Cost(const TEvent& event);
  void RequireUsable() const;

  TOutputEcho FOutput;
  TPackerJournal FJournal;
  TModelMirror FMirror;
  TRangeEncoder FEncoder;
  bool FRefused = false;
  bool FEnded = false;
  std::deque<TMark> FMarks;
};

}  // namespace lumera
