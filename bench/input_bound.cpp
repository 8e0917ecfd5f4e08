// lumera-pack on an input without end, as a whole process: `lumera-pack -c /dev/zero`
// must stop at --max-input (64 MiB by default) instead of reading until memory runs out.
// Reports wall time and peak resident memory against their targets, and exits with
// status 1 when the run does not refuse the input or misses a target.
//
//   input_bound [PACK]
#include <cstdio>
#include <filesystem>
#include <string>

#include "child_process.h"
#include "test_support.h"

namespace {

constexpr double kWallLimitSeconds = 10.0;
constexpr long kBoundBytes = 64L << 20;
// The input is held once, with at most its own size again while the buffer grows.
constexpr long kMemoryLimitBytes = 2 * kBoundBytes + (100L << 20);

}  // namespace

int main(int argc, char** argv) {
  const std::string pack = std::filesystem::absolute(argc > 1 ? argv[1] : LUMERA_PACK).string();
  const lumera::testing::TScratchDir dir;
  const lumera::testing::TChildRun run =
      lumera::testing::RunChild(pack, {"-c", "/dev/zero"}, dir, {.DiscardOutput = true});
  const bool refused = run.Status == 1 && run.Err.find("--max-input") != std::string::npos;
  const bool fast = run.Seconds < kWallLimitSeconds;
  const bool small = run.PeakBytes < kMemoryLimitBytes;
  std::printf("lumera-pack -c /dev/zero: status %d, %.2f s (target < %.0f s), peak %.1f MiB "
              "(target < %.0f MiB): %s\n",
              run.Status, run.Seconds, kWallLimitSeconds, run.PeakBytes / 1048576.0,
              kMemoryLimitBytes / 1048576.0, refused && fast && small ? "met" : "MISSED");
  if (!refused) std::printf("  the input was not refused at --max-input: %s", run.Err.c_str());
  return refused && fast && small ? 0 : 1;
}
