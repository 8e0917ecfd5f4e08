// Arbitrary bytes as a stream for the explorer: decoded with the event recorder under a
// small output bound, then written as a listing, as JSON Lines and as a page, all in
// memory, and compared with the input itself. A refused stream is a normal outcome; a
// crash, a sanitizer report, a JSON line that does not parse, or events that do not add
// up to the output are faults.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "explore/comparison.h"
#include "explore/exploration.h"
#include "explore/heat_map.h"
#include "explore/json_lines.h"
#include "explore/listing.h"

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
  return 0;
}
