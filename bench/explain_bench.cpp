// The explorer on a real text as whole processes: lumera-explain --json and --html on the
// iso-codes list of subdivisions packed by the encoder (wall time and peak memory), the
// page's size against its budget, and how long headless Chromium takes to render it. Then
// lumera-pack --events on the JSON events beside lumera-pack -1 on the text, both in MB of
// text per second; --events must give the stream back byte for byte.
// Exits with status 1 when a run fails or misses a target; the render time and the
// speeds are only reported.
//
//   explain_bench [EXPLAIN [TEXT]]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "chromium.h"
#include "test_support.h"
#include "encoder/pack.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using lumera::testing::TChildRun;

constexpr const char* kDefaultText = "/usr/share/xml/iso-codes/iso_3166-2.xml";
constexpr double kJsonSeconds = 0.5;
constexpr double kPageSeconds = 1.0;
constexpr double kRenderSeconds = 5.0;
constexpr long kPeakBytes = 64'000'000;
constexpr uint64_t kPageBytesPerOutputByte = 40;
constexpr uint64_t kPageFixedBytes = 50'000;
constexpr int kRuns = 3;

// Runs argv from folder dir with its output discarded.
TChildRun Measure(const std::vector<std::string>& argv, const lumera::testing::TScratchDir& dir) {
  lumera::testing::TChildOptions options;
  options.DiscardOutput = true;
  return lumera::testing::RunChild(argv[0], {argv.begin() + 1, argv.end()}, dir, options);
}

// The slowest of kRuns runs, and the largest peak; any failed run fails the whole.
TChildRun Slowest(const std::vector<std::string>& argv, const lumera::testing::TScratchDir& dir) {
  TChildRun worst;
  worst.Status = 0;
  for (int i = 0; i < kRuns; ++i) {
    const TChildRun run = Measure(argv, dir);
    if (run.Status != 0) return run;
    worst.Seconds = std::max(worst.Seconds, run.Seconds);
    worst.PeakBytes = std::max(worst.PeakBytes, run.PeakBytes);
  }
  return worst;
}

bool Report(const char* what, const TChildRun& run, double seconds) {
  const bool ok = run.Status == 0 && run.Seconds < seconds && run.PeakBytes < kPeakBytes;
  std::printf("%-22s status %d, %.3f s wall (target < %.1f s), peak %.1f MB (target < %.0f MB)%s\n",
              what, run.Status, run.Seconds, seconds, run.PeakBytes / 1e6, kPeakBytes / 1e6,
              ok ? "" : "  MISSED");
  return ok;
}

// The fastest of kRuns runs of argv, in MB of text per second.
double TextMBps(const std::vector<std::string>& argv, const lumera::testing::TScratchDir& dir,
                size_t textBytes) {
  double fastest = 0;
  for (int i = 0; i < kRuns; ++i) {
    const TChildRun run = Measure(argv, dir);
    if (run.Status != 0) return 0;
    fastest = std::max(fastest, textBytes / run.Seconds / 1e6);
  }
  return fastest;
}

// lumera-pack -1 on the text beside --events on the JSON of its stream.
bool ReportEventsSpeed(const lumera::testing::TScratchDir& dir, const std::string& explain,
                       size_t textBytes, const Bytes& stream) {
  const std::string pack = fs::absolute(LUMERA_PACK).string();
  const TChildRun json = lumera::testing::RunChild(explain, {"--json", "bench.lum"}, dir);
  lumera::testing::WriteFile(dir / "bench.json", json.Out);
  const TChildRun back =
      lumera::testing::RunChild(pack, {"--events", "-f", "bench.json", "back.lum"}, dir);
  const bool same = back.Status == 0 && lumera::testing::ReadFile(dir / "back.lum") ==
                                            std::string(stream.begin(), stream.end());
  std::printf("lumera-pack -1          %.2f MB/s of text\n",
              TextMBps({pack, "-1", "-c", "bench.txt"}, dir, textBytes));
  std::printf("lumera-pack --events    %.2f MB/s of text, from %.1f MB of JSON events%s\n",
              TextMBps({pack, "--events", "-c", "bench.json"}, dir, textBytes),
              json.Out.size() / 1e6,
              same ? "; the stream back byte for byte" : "  FAILED: not the stream back");
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string explain = fs::absolute(argc > 1 ? argv[1] : LUMERA_EXPLAIN).string();
  const fs::path textPath = argc > 2 ? argv[2] : kDefaultText;
  const std::string textBytes = lumera::testing::ReadFile(textPath);
  const Bytes text(textBytes.begin(), textBytes.end());
  if (text.empty()) {
    std::printf("explorer: skipped, %s is missing (Debian package iso-codes)\n", textPath.c_str());
    return 0;
  }
  const lumera::testing::TScratchDir dir;
  const Bytes stream = lumera::Pack(text);
  lumera::testing::WriteFile(dir / "bench.lum", stream);
  lumera::testing::WriteFile(dir / "bench.txt", text);
  std::printf("explorer: %s, %zu bytes packed to %zu\n", textPath.c_str(), text.size(),
              stream.size());

  bool ok = Report("--json > /dev/null",
                   Slowest({explain, "--json", "bench.lum"}, dir), kJsonSeconds);
  ok &= Report("-f --html page.html",
               Slowest({explain, "-f", "--html", "page.html", "bench.lum"}, dir),
               kPageSeconds);
  const fs::path page = dir.Path() / "page.html";
  const uint64_t pageBytes = fs::exists(page) ? fs::file_size(page) : 0;
  const uint64_t budget = kPageBytesPerOutputByte * text.size() + kPageFixedBytes;
  const bool withinBudget = pageBytes > 0 && pageBytes < budget;
  std::printf("page size              %llu bytes, %.1f per output byte (budget %llu)%s\n",
              static_cast<unsigned long long>(pageBytes), double(pageBytes) / text.size(),
              static_cast<unsigned long long>(budget), withinBudget ? "" : "  MISSED");
  ok &= withinBudget;

  if (::access(lumera::testing::kChromium, X_OK) == 0) {
    std::vector<std::string> chromium = {lumera::testing::kChromium};
    for (std::string& arg : lumera::testing::ChromiumArgs(
             dir / "profile", {"--window-size=1200,900", "--screenshot=" + dir / "shot.png"},
             page.string())) {
      chromium.push_back(std::move(arg));
    }
    const TChildRun render = Measure(chromium, dir);
    std::printf("chromium render        status %d, %.2f s wall (aim < %.0f s)%s\n", render.Status,
                render.Seconds, kRenderSeconds,
                render.Seconds < kRenderSeconds ? "" : "  over the aim");
  } else {
    std::printf("chromium render        skipped, no Chromium at '%s' (Debian package chromium)\n",
                lumera::testing::kChromium);
  }
  ok &= ReportEventsSpeed(dir, explain, text.size(), stream);
  std::printf("%s\n", ok ? "explorer: within targets" : "explorer: FAILED");
  return ok ? 0 : 1;
}
