// A decompressor wired to a source and an output held in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/decompressor.h"
#include "platform/stream.h"

namespace lumera::testing {

struct TMemoryDecode {
  explicit TMemoryDecode(std::vector<uint8_t> stream, TDiagnostics* diagnostics = nullptr,
                         uint64_t stopAfter = kNoStop)
      : Source(std::move(stream)), Decoder(diagnostics, stopAfter) {
    Decoder.FSource = &Source;
    Decoder.FDest = &Output;
  }

  TMemoryStream Source;
  TMemoryStream Output;
  TDecompressor Decoder;
};

}  // namespace lumera::testing
