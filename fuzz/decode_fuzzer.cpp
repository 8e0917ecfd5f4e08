// Arbitrary bytes as a compressed source, decoded silently (no trace, no reference
// check) until the end marker or 64 KiB of output. A refusal by the decoder is a normal
// outcome; a crash, a hang, a leak, a sanitizer report or an output longer than the stop
// allows is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/stream_decode.h"

namespace {

constexpr uint64_t kStopAfter = 65536;
// The stop is tested between steps, so one repeat of at most 65535 bytes may pass it.
constexpr int64_t kLongestOutput = kStopAfter + 0xFFFF;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A malformed or truncated source is refused; that is what it should do.
  const lumera::TDecodedStream decoded = lumera::DecodeStream({data, size}, nullptr, kStopAfter);
  if (decoded.Output.size() > kLongestOutput) {
    std::fprintf(stderr, "decoded %zu bytes, past the stop\n", decoded.Output.size());
    std::abort();
  }
  return 0;
}
