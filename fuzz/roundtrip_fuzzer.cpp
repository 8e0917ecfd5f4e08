// Arbitrary bytes packed by the encoder, at the fastest and at the smallest level, and
// decoded back by the silent whole-stream decoder. Input the format cannot carry is
// refused by Pack and passes; any other outcome than the very same bytes back, with the
// source read to its end, aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "encoder/pack.h"
#include "engine/stream_decode.h"
#include "platform/exceptions.h"

namespace {

void RoundTrip(const std::vector<uint8_t>& input, int level) {
  std::vector<uint8_t> stream;
  try {
    stream = lumera::Pack(input, level);
  } catch (const lumera::Exception&) {
    return;  // the format cannot carry this input
  }
  const lumera::TDecodedStream decoded = lumera::DecodeStream(stream);
  if (decoded.Failure) {
    std::fprintf(stderr, "level %d: a packed stream of %zu bytes was refused: %s\n", level,
                 stream.size(), lumera::FailureSentence(*decoded.Failure).c_str());
    std::abort();
  }
  if (decoded.Output != input) {
    std::fprintf(stderr, "level %d: %zu bytes in, %zu bytes back, different\n", level, input.size(),
                 decoded.Output.size());
    std::abort();
  }
  if (decoded.UnusedSourceBytes > 0) {
    std::fprintf(stderr, "level %d: the end marker came before the end of a packed stream\n",
                 level);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);
  RoundTrip(input, lumera::kFastestLevel);
  RoundTrip(input, lumera::kSmallestLevel);
  return 0;
}
