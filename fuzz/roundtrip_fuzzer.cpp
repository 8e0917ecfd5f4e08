// Arbitrary bytes packed by the encoder, at the fastest and at the smallest level, and
// decoded back by the silent whole-stream decoder. Input the format cannot carry is
// refused by Pack and passes; any other outcome than the very same bytes back, with the
// source read to its end, aborts. Each stream is then explained through the library and
// its events packed back: with the tail, the very same stream; without, one of the same
// events.
#include <lumera/lumera.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "encoder/pack.h"
#include "engine/stream_decode.h"
#include "platform/exceptions.h"

namespace {

[[noreturn]] void Fault(int level, const char* what) {
  std::fprintf(stderr, "level %d: %s\n", level, what);
  std::abort();
}

// The stream's events, and its summary when asked for.
std::vector<lumera::Event> Explained(const std::vector<uint8_t>& stream,
                                     lumera::ExplainSummary* summary = nullptr) {
  std::vector<lumera::Event> events;
  const lumera::ExplainSummary explained =
      lumera::Explain(stream, [&](const lumera::Event& e) { events.push_back(e); });
  if (summary) *summary = explained;
  return events;
}

bool SameChoices(const std::vector<lumera::Event>& a, const std::vector<lumera::Event>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.type == y.type && x.byte == y.byte && x.escaped == y.escaped && x.code == y.code &&
           x.len == y.len;
  });
}

void EventsRoundTrip(const std::vector<uint8_t>& stream, int level) {
  lumera::ExplainSummary summary;
  const std::vector<lumera::Event> events = Explained(stream, &summary);
  const lumera::PackedEvents again = lumera::PackEvents(events, summary.tail);
  if (again.tail != lumera::TailOutcome::Kept || again.stream != stream) {
    Fault(level, "the events and the tail of a packed stream did not give it back");
  }
  if (!SameChoices(Explained(lumera::PackEvents(events).stream), events)) {
    Fault(level, "the events packed without their tail decode to other events");
  }
}

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
  EventsRoundTrip(stream, level);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> input(data, data + size);
  RoundTrip(input, lumera::kFastestLevel);
  RoundTrip(input, lumera::kSmallestLevel);
  return 0;
}
