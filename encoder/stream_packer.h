// Writes a stream step by step, mirroring the decoder's models with a silent decoder
// object of its own: each event is coded against the very tables the decoder will hold
// at that point, and the models are then updated by the decoder's own code.
//
// This is also the scripting interface for tests: besides literals and the end marker it
// writes any offset code and any length, including ones the decoder refuses.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "encoder/range_encoder.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "platform/stream.h"

namespace lumera {

// The input cannot be carried by the format. Reason() is "a table's total would reach
// 0x10000" or "an entry's share of the range would be 0"; InputOffset() is the offset of
// the input byte whose event could not be coded.
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

// The length whose code is the length table's escape.
inline constexpr uint32_t kEscapeLength = 0xFFFF;

class TStreamPacker {
 public:
  TStreamPacker();

  // Each event is tried as a whole before anything is coded: one the format cannot carry
  // raises ETooLarge and leaves the stream and the models as they were.
  // Returns what the literal cost, as LiteralCost would have priced it.
  double Literal(uint8_t byte);
  // length is 0 to 255, or kEscapeLength. After a repeat the decoder refuses, only
  // Finish may follow.
  void Repeat(uint8_t code, uint32_t length);
  void EndMarker();
  // The stream, followed by trailing bytes that the decoder never reads as bits.
  std::vector<uint8_t> Finish(const std::vector<uint8_t>& trailing = {}) const;

  // Whether the repeat could be coded now.
  bool CanRepeat(uint8_t code, uint32_t length);

  // What the decoder will have output so far, and its model state.
  const std::vector<uint8_t>& Output() const { return FOutput.Bytes(); }
  const TDecompressor& Mirror() const { return *FMirror; }
  // The table the decoder's walk would reach once text[0..pos) were output, with the
  // tree as it stands now: how a parse looks ahead with models frozen at this point.
  const TDic& ContextAt(const std::vector<uint8_t>& text, size_t pos) const;

  // The cost in bits of coding the event against the tables as they stand, escapes
  // included: the sum of log2(total / weight) over its steps.
  double LiteralCost(uint8_t byte);
  double RepeatCost(uint8_t code, uint32_t length);

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
  };

  TEvent LiteralEvent(uint8_t byte);
  TEvent RepeatEvent(uint8_t code, uint32_t length);
  TEvent EndEvent();
  void AddEscapesToMatch(TEvent& event);
  static void AddStep(TEvent& event, TDic& table, uint16_t symbol);
  // nullptr when every step has a share; otherwise the reason it cannot be coded.
  const char* Refusal(const TEvent& event) const;
  void Encode(const TEvent& event);
  static double Cost(const TEvent& event);
  TDic& LengthTable(uint8_t code) const;
  void RequireUsable() const;

  TMemoryStream FOutput;
  std::unique_ptr<TDecompressor> FMirror;
  TRangeEncoder FEncoder;
  bool FRefused = false;
};

}  // namespace lumera
