// Silent whole-stream decoding in memory, as lumera-pack -d, -t and -l offer it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

// Decoding stopped before the end marker: the engine refused the stream, or its output
// passed the bound. Message() is the engine's own message (or the bound's), EngineClass()
// the engine's class name; OutputBytes() and SourceByte() say where decoding stopped.
class EDecodingStopped : public Exception {
 public:
  EDecodingStopped(std::string engineClass, std::string message, uint64_t outputBytes,
                   uint64_t sourceByte, bool pastBound, const char* file = __builtin_FILE(),
                   int line = __builtin_LINE());
  const char* ClassName() const override { return "EDecodingStopped"; }
  const std::string& EngineClass() const { return FEngineClass; }
  uint64_t OutputBytes() const { return FOutputBytes; }
  // The source byte that holds the next bit not yet delivered.
  uint64_t SourceByte() const { return FSourceByte; }
  bool PastBound() const { return FPastBound; }

 private:
  std::string FEngineClass;
  uint64_t FOutputBytes;
  uint64_t FSourceByte;
  bool FPastBound;
};

// Decodes a whole stream with no trace, no reference check and no stop. leftOver tells
// whether the end marker came before the source was read to its end. More than
// maxOutput bytes of output (at most kMaxOutputCeiling) raise EDecodingStopped, as does
// any failure of the engine.
std::vector<uint8_t> Unpack(const std::vector<uint8_t>& stream, bool& leftOver,
                            uint64_t maxOutput = kDefaultMaxOutput);

}  // namespace lumera
