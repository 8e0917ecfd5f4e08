// A decoder driven one event at a time, for the tests that check what each event pulls
// from the source or leaves in the models. Header-only; the test links the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "engine/stream_decode.h"

namespace lumera::testing {

class TSteppedDecode {
 public:
  explicit TSteppedDecode(std::vector<uint8_t> stream) : FDecode(std::move(stream)) {
    TDecompressor& d = FDecode.Decoder;
    d.Prepare();
    d.FBits = std::make_unique<TContext>(FDecode.Source);
    uint8_t head[4];
    FDecode.Source.Read(head, 4);
    d.FCode =
        (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) | head[3];
  }

  // Decodes one literal or one repeat with its copy; returns the bits it pulled.
  uint64_t Event() {
    TDecompressor& d = FDecode.Decoder;
    const uint64_t before = d.SourceBitsTaken();
    d.DecodeLiteral();
    if (d.FRepeatLen > 0) d.CopyRepeat();
    return d.SourceBitsTaken() - before;
  }
  const std::vector<uint8_t>& Output() const { return FDecode.Output.Bytes(); }
  const TDecompressor& Decoder() const { return FDecode.Decoder; }

 private:
  TMemoryDecode FDecode;
};

}  // namespace lumera::testing
