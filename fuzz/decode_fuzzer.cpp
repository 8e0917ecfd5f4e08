// Arbitrary bytes as a compressed source, decoded silently (no trace, no reference
// check) until the end marker or 64 KiB of output. A refusal by the decoder is a normal
// outcome; a crash, a hang, a leak, a sanitizer report or an output longer than the stop
// allows is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "platform/stream.h"

namespace {

constexpr uint64_t kStopAfter = 65536;
// The stop is tested between steps, so one repeat of at most 65535 bytes may pass it.
constexpr int64_t kLongestOutput = kStopAfter + 0xFFFF;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lumera::TMemoryStream source(std::vector<uint8_t>(data, data + size));
  lumera::TMemoryStream output;
  lumera::TDecompressor decompressor(nullptr, kStopAfter);
  decompressor.FSource = &source;
  decompressor.FDest = &output;
  try {
    decompressor.Decompress();
  } catch (const lumera::Exception&) {
    // A malformed or truncated source is refused; that is what it should do.
  }
  if (output.Size() > kLongestOutput) {
    std::fprintf(stderr, "decoded %lld bytes, past the stop\n",
                 static_cast<long long>(output.Size()));
    std::abort();
  }
  return 0;
}
