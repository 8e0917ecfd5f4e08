// The traced tool's worst case as a whole process: a stream whose 19th output byte starts
// a repeat of 65535 bytes (the length table's escape). The stop after 20 bytes is only
// tested between steps, so the tool copies, traces and writes the whole repeat.
//
// The tool runs in a scratch folder holding the stream and its decoded bytes as dec.xml,
// with standard input at its end (every pause goes straight on) and standard output to
// /dev/null. Reports wall time and peak resident memory per run, checks out.xml, and exits
// with status 1 when a run fails or misses a target.
//
//   worst_case [TOOL [RUNS]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "encoder/stream_packer.h"
#include "engine/stream_decode.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using lumera::testing::ReadFile;
using lumera::testing::WriteFile;

constexpr double kWallLimitSeconds = 1.0;
constexpr long kMemoryLimitBytes = 16'000'000;

Bytes WorstStream() {
  lumera::TStreamPacker packer;
  for (char c : std::string("<?xml version=\"1.0")) packer.Literal(static_cast<uint8_t>(c));
  // Code 0 copies from the start of the output, overlapping itself.
  packer.Repeat(0, lumera::kEscapeLength);
  packer.EndMarker();
  return packer.Finish();
}

}  // namespace

int main(int argc, char** argv) {
  const std::string tool = std::filesystem::absolute(argc > 1 ? argv[1] : LUMERA_TOOL).string();
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

  const Bytes stream = WorstStream();
  const Bytes decoded = lumera::DecodeStream(stream).Output;
  const std::string expected(decoded.begin(), decoded.end());
  const lumera::testing::TScratchDir dir;
  WriteFile(dir / "worst.lum", stream);
  WriteFile(dir / "dec.xml", decoded);

  std::printf("worst case: %zu-byte stream, %zu bytes out (a %u-byte repeat after 18 literals)\n",
              stream.size(), decoded.size(), lumera::kEscapeLength);
  std::printf("tool: %s\n", tool.c_str());
  bool ok = true;
  std::vector<double> seconds;
  long peak = 0;
  lumera::testing::TChildOptions options;
  options.DiscardOutput = true;
  for (int i = 0; i < runs; ++i) {
    std::filesystem::remove(dir / "out.xml");
    const lumera::testing::TChildRun run =
        lumera::testing::RunChild(tool, {"worst.lum"}, dir, options);
    const bool complete = run.Status == 0 && ReadFile(dir / "out.xml") == expected;
    std::printf("run %d: status %d, %.3f s wall, peak %.2f MB%s\n", i + 1, run.Status, run.Seconds,
                run.PeakBytes / 1e6, complete ? "" : ", out.xml differs from dec.xml");
    if (!complete) {
      std::fputs(run.Err.c_str(), stderr);
      ok = false;
    }
    seconds.push_back(run.Seconds);
    peak = std::max(peak, run.PeakBytes);
  }
  std::sort(seconds.begin(), seconds.end());
  const double slowest = seconds.back();
  std::printf("wall: min %.3f s, median %.3f s, max %.3f s (target < %.1f s)\n", seconds.front(),
              seconds[seconds.size() / 2], slowest, kWallLimitSeconds);
  std::printf("peak memory: %.2f MB (target < %.0f MB)\n", peak / 1e6, kMemoryLimitBytes / 1e6);
  if (slowest >= kWallLimitSeconds || peak >= kMemoryLimitBytes) ok = false;
  std::printf("%s\n", ok ? "worst case: within targets" : "worst case: FAILED");
  return ok ? 0 : 1;
}
