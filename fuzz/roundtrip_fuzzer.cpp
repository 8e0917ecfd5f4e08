// Arbitrary bytes packed by the encoder, at the fastest and at the smallest level, and
// decoded back by the silent whole-stream decoder. Input the format cannot carry is
// refused by Pack and passes; any other outcome than the very same bytes back, with the
// source read to its end, aborts.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/exceptions.h"
#include "tools/pack.h"
#include "tools/unpack.h"

namespace {

void RoundTrip(const std::vector<uint8_t>& input, int level) {
  std::vector<uint8_t> stream;
  try {
    stream = lumera::Pack(input, level);
  } catch (const lumera::Exception&) {
    return;  // the format cannot carry this input
  }
  bool leftOver = false;
  std::vector<uint8_t> decoded;
  try {
    decoded = lumera::Unpack(stream, leftOver);
  } catch (const lumera::Exception& e) {
    std::fprintf(stderr, "level %d: a packed stream of %zu bytes was refused: %s\n", level,
                 stream.size(), e.what());
    std::abort();
  }
  if (decoded != input) {
    std::fprintf(stderr, "level %d: %zu bytes in, %zu bytes back, different\n", level, input.size(),
                 decoded.size());
    std::abort();
  }
  if (leftOver) {
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
