#include "tools/unpack.h"

#include <algorithm>

#include "platform/stream.h"

namespace lumera {

EDecodingStopped::EDecodingStopped(std::string engineClass, std::string message,
                                   uint64_t outputBytes, uint64_t sourceByte, bool pastBound,
                                   const char* file, int line)
    : Exception(std::move(message), file, line),
      FEngineClass(std::move(engineClass)),
      FOutputBytes(outputBytes),
      FSourceByte(sourceByte),
      FPastBound(pastBound) {}

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& stream, bool& leftOver,
                            uint64_t maxOutput) {
  maxOutput = std::min(maxOutput, kMaxOutputCeiling);
  TMemoryStream source(stream);
  TMemoryStream output;
  // One byte past the bound stops the loop, so that an output of exactly maxOutput bytes
  // can still reach its end marker.
  TDecompressor decompressor(nullptr, maxOutput + 1);
  decompressor.FSource = &source;
  decompressor.FDest = &output;
  try {
    decompressor.Decompress();
  } catch (const Exception& e) {
    throw EDecodingStopped(e.ClassName(), e.Message(), output.Bytes().size(),
                           decompressor.SourceByteReached(), false);
  }
  if (!decompressor.FDone) {
    throw EDecodingStopped(kOutputLimitClass, OutputBoundMessage(maxOutput), output.Bytes().size(),
                           decompressor.SourceByteReached(), true);
  }
  leftOver = !decompressor.FBits->AtEnd();
  return output.Bytes();
}

}  // namespace lumera
