// Arbitrary bytes as a stream for the explorer: decoded with the event recorder under a
// small output bound, then written as a listing, as JSON Lines and as a page, all in
// memory, and compared with the input itself. A stream that reached its end marker is
// then read back from its JSON Lines as lumera-pack --events reads them, and packed. A
// refused stream is a normal outcome; a crash, a sanitizer report, a JSON line that does
// not parse, events that do not add up to the output, or a stream that does not come
// back from its events (byte for byte when its tail fits) are faults.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/event_packer.h"
#include "explore/comparison.h"
#include "explore/exploration.h"
#include "explore/heat_map.h"
#include "explore/json_lines.h"
#include "explore/listing.h"
#include "programs/event_lines.h"

namespace {

constexpr uint64_t kMaxOutput = 4096;

[[noreturn]] void Fault(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
  std::abort();
}

void CheckJson(const std::string& text) {
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!nlohmann::json::accept(line)) Fault("a JSON line does not parse", line);
  }
}

void CheckEvents(const lumera::TExploration& run) {
  uint64_t bytes = 0, bits = 0;
  for (const lumera::TEvent& e : run.Events) {
    if (e.Out != bytes) Fault("an event's offset", std::to_string(e.Out));
    bytes += lumera::EventBytes(e);
    bits += e.Bits;
  }
  if (bytes != run.Output.size()) Fault("the events' bytes", std::to_string(bytes));
  if (!run.Failure && lumera::kInitialCodeBits + bits != run.BitsTaken) {
    Fault("the events' bits", std::to_string(bits));
  }
}

bool SameChoices(const std::vector<lumera::TEvent>& a, const std::vector<lumera::TEvent>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
    return x.Kind == y.Kind && x.Byte == y.Byte && x.Escaped == y.Escaped && x.Code == y.Code &&
           x.Len == y.Len;
  });
}

void CheckPackedBack(const std::string& json, const lumera::TExploration& run,
                     const std::vector<uint8_t>& stream) {
  if (!run.End) return;
  const lumera::TEventLines lines = lumera::ReadEventLines(json);
  lumera::TPackedEvents packed;
  try {
    packed = lumera::PackEvents(lines.Events, lines.Tail, kMaxOutput);
  } catch (const lumera::EEventRefused& e) {
    Fault("the events of a stream that decodes were refused", e.Message());
  }
  if (packed.Tail == lumera::TTailOutcome::MadeAnew) {
    Fault("the tail of unedited events was made anew", json.substr(json.rfind('{')));
  }
  if (packed.Tail == lumera::TTailOutcome::Kept && packed.Stream != stream) {
    Fault("the events and their tail gave other bytes", std::to_string(packed.Stream.size()));
  }
  if (!SameChoices(lumera::Explore(packed.Stream, kMaxOutput).Events, run.Events)) {
    Fault("the stream packed from the events decodes to other events", "");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> stream(data, data + size);
  const lumera::TExploration run = lumera::Explore(stream, kMaxOutput);
  CheckEvents(run);
  const lumera::TComparison against = lumera::Compare(run, stream, "input\xff\"");
  std::ostringstream listing, json, page;
  lumera::WriteListing(listing, run, &against);
  lumera::WriteJsonLines(json, run, &against);
  lumera::WritePage(page, run, &against, "input");
  CheckJson(json.str());
  CheckPackedBack(json.str(), run, stream);
  return 0;
}
