// Writes a stream step by step, mirroring the decoder's models with a silent decoder
// object of its own: each event is coded against the very tables the decoder will hold
// at that point, and the models are then updated by the decoder's own code.
//
// This is also the scripting interface for tests: besides literals and the end marker it
// writes any offset code and any length, including ones the decoder refuses.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "platform/stream.h"
#include "tools/range_encoder.h"

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

  void Literal(uint8_t byte);
  // length is 0 to 255, or kEscapeLength. After a repeat the decoder refuses, only
  // Finish may follow.
  void Repeat(uint8_t code, uint32_t length);
  void EndMarker();
  // The stream, followed by trailing bytes that the decoder never reads as bits.
  std::vector<uint8_t> Finish(const std::vector<uint8_t>& trailing = {}) const;

  // What the decoder will have output so far, and its model state.
  const std::vector<uint8_t>& Output() const { return FOutput.Bytes(); }
  const TDecompressor& Mirror() const { return *FMirror; }

  // Estimated cost in bits of coding symbol from table as it stands (escape included
  // when the table lacks it); for choosing between literals and repeats.
  // Both look the context up, which only sets the mirror's FOrder again.
  double LiteralCost(uint8_t byte);
  double RepeatCost(uint8_t code, uint32_t length);

 private:
  void EncodeEntry(TDic& table, uint16_t symbol);
  void EncodeEscapesToMatch(TDic& node);
  TDic& LengthTable(uint8_t code) const;
  void RequireUsable() const;

  TMemoryStream FOutput;
  std::unique_ptr<TDecompressor> FMirror;
  TRangeEncoder FEncoder;
  bool FRefused = false;
};

}  // namespace lumera
