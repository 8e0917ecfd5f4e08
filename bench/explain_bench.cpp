// The explorer on real texts, each packed by lumera-pack -9, as whole processes. On the
// iso-codes list of subdivisions: lumera-explain --json and --html (wall time and peak
// memory), then lumera-pack --events on the JSON events beside lumera-pack -1 on the text,
// both in MB of text per second; --events must give the stream back byte for byte. On each
// text: lumera-explain --html, the page's size per output byte, and how long headless
// Chromium takes from navigation to the page's load event, less a blank page's time.
// Exits with status 1 when a run fails or misses a target; the speeds are only reported.
// A text or a Chromium that is missing is skipped, with the package that brings it.
//
//   explain_bench [EXPLAIN]
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"
#include "chromium.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using lumera::testing::TChildRun;
using lumera::testing::TScratchDir;

struct TText {
  const char* Path;
  const char* Package;
  size_t Bytes;        // the text is the file's first Bytes bytes
  double LoadSeconds;  // the page's target, from navigation to the load event
  bool Processes;      // also times --json and lumera-pack --events
};

constexpr TText kTexts[] = {
    {"/usr/share/xml/iso-codes/iso_3166-2.xml", "iso-codes", SIZE_MAX, 1.0, true},
    {"/usr/share/mime/packages/freedesktop.org.xml", "shared-mime-info", 900'000, 2.0, false},
};
constexpr double kJsonSeconds = 0.5;
constexpr double kPageSeconds = 1.0;
constexpr long kPeakBytes = 64'000'000;
constexpr double kPageBytesPerOutputByte = 3;
constexpr int kRuns = 3;
constexpr int kLoadRuns = 5;

// Added at the end of a page's body: when the load event starts, the page keeps the
// milliseconds since navigation in the body's data-load.
constexpr const char* kLoadScript =
    "<script>addEventListener('load',()=>{document.body.dataset.load="
    "performance.getEntriesByType('navigation')[0].loadEventStart})</script>";

// Runs argv from folder dir with its output discarded.
TChildRun Measure(const std::vector<std::string>& argv, const TScratchDir& dir) {
  lumera::testing::TChildOptions options;
  options.DiscardOutput = true;
  return lumera::testing::RunChild(argv[0], {argv.begin() + 1, argv.end()}, dir, options);
}

// The slowest of kRuns runs, and the largest peak; any failed run fails the whole.
TChildRun Slowest(const std::vector<std::string>& argv, const TScratchDir& dir) {
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
double TextMBps(const std::vector<std::string>& argv, const TScratchDir& dir, size_t textBytes) {
  double fastest = 0;
  for (int i = 0; i < kRuns; ++i) {
    const TChildRun run = Measure(argv, dir);
    if (run.Status != 0) return 0;
    fastest = std::max(fastest, textBytes / run.Seconds / 1e6);
  }
  return fastest;
}

// lumera-pack -1 on the text beside --events on the JSON of its stream.
bool ReportEventsSpeed(const TScratchDir& dir, const std::string& explain, const std::string& pack,
                       size_t textBytes) {
  const TChildRun json = lumera::testing::RunChild(explain, {"--json", "bench.lum"}, dir);
  lumera::testing::WriteFile(dir / "bench.json", json.Out);
  const TChildRun back =
      lumera::testing::RunChild(pack, {"--events", "-f", "bench.json", "back.lum"}, dir);
  const bool same = back.Status == 0 && lumera::testing::ReadFile(dir / "back.lum") ==
                                            lumera::testing::ReadFile(dir / "bench.lum");
  std::printf("lumera-pack -1          %.2f MB/s of text\n",
              TextMBps({pack, "-1", "-c", "bench.txt"}, dir, textBytes));
  std::printf("lumera-pack --events    %.2f MB/s of text, from %.1f MB of JSON events%s\n",
              TextMBps({pack, "--events", "-c", "bench.json"}, dir, textBytes),
              json.Out.size() / 1e6,
              same ? "; the stream back byte for byte" : "  FAILED: not the stream back");
  return same;
}

bool ReportPageSize(const fs::path& page, size_t textBytes) {
  const uintmax_t pageBytes = fs::exists(page) ? fs::file_size(page) : 0;
  const double perByte = double(pageBytes) / textBytes;
  const bool ok = pageBytes > 0 && perByte <= kPageBytesPerOutputByte;
  std::printf("page size              %ju bytes, %.2f per output byte (target at most %.0f)%s\n",
              pageBytes, perByte, kPageBytesPerOutputByte, ok ? "" : "  MISSED");
  return ok;
}

// The median over kLoadRuns runs of headless Chromium of the seconds from navigation to
// the load event of the page html, laid out in a window of 1200 by 900; -1 when a run
// fails.
double LoadSeconds(const TScratchDir& dir, std::string html) {
  const size_t end = html.rfind("</body>");
  html.insert(end == std::string::npos ? html.size() : end, kLoadScript);
  lumera::testing::WriteFile(dir / "timed.html", html);
  std::vector<double> seconds;
  for (int i = 0; i < kLoadRuns; ++i) {
    const TChildRun run = lumera::testing::RunChromium(
        dir, {"--window-size=1200,900", "--dump-dom"}, dir / "timed.html");
    const size_t at = run.Out.find("data-load=\"");
    if (run.Status != 0 || at == std::string::npos) return -1;
    seconds.push_back(std::stod(run.Out.substr(at + 11)) / 1000);
  }
  std::nth_element(seconds.begin(), seconds.begin() + kLoadRuns / 2, seconds.end());
  return seconds[kLoadRuns / 2];
}

bool ReportLoad(const TScratchDir& dir, const fs::path& page, double blank, double target) {
  const double loaded = blank < 0 ? -1 : LoadSeconds(dir, lumera::testing::ReadFile(page));
  const bool ok = loaded >= 0 && loaded - blank < target;
  if (loaded < 0) {
    std::printf("page load              FAILED: Chromium did not report the load event\n");
  } else {
    std::printf(
        "page load              %.3f s, less %.3f s for a blank page: %.3f s, median of %d "
        "(target < %.0f s)%s\n",
        loaded, blank, loaded - blank, kLoadRuns, target, ok ? "" : "  MISSED");
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string explain = fs::absolute(argc > 1 ? argv[1] : LUMERA_EXPLAIN).string();
  const std::string pack = fs::absolute(LUMERA_PACK).string();
  const bool chromium = ::access(lumera::testing::kChromium, X_OK) == 0;
  double blank = -1;
  if (chromium) {
    const TScratchDir dir;
    blank = LoadSeconds(dir, "<!DOCTYPE html><html><body></body></html>");
  } else {
    std::printf("page load: skipped, no Chromium at '%s' (Debian package chromium)\n",
                lumera::testing::kChromium);
  }

  bool ok = true;
  for (const TText& t : kTexts) {
    std::string text = lumera::testing::ReadFile(t.Path);
    if (text.empty()) {
      std::printf("explorer: skipped, %s is missing (Debian package %s)\n", t.Path, t.Package);
      continue;
    }
    text.resize(std::min(text.size(), t.Bytes));
    const TScratchDir dir;
    lumera::testing::WriteFile(dir / "bench.txt", text);
    const TChildRun packed = lumera::testing::RunChild(pack, {"-9", "bench.txt", "bench.lum"}, dir);
    const fs::path stream = dir.Path() / "bench.lum";
    if (packed.Status != 0) {
      std::printf("explorer: FAILED, lumera-pack -9 on %s: %s\n", t.Path, packed.Err.c_str());
      ok = false;
      continue;
    }
    std::printf("explorer: %s, %zu bytes, packed with -9 to %ju\n", t.Path, text.size(),
                fs::file_size(stream));

    if (t.Processes) {
      ok &= Report("--json > /dev/null", Slowest({explain, "--json", "bench.lum"}, dir),
                   kJsonSeconds);
    }
    ok &= Report("-f --html page.html",
                 Slowest({explain, "-f", "--html", "page.html", "bench.lum"}, dir), kPageSeconds);
    ok &= ReportPageSize(dir.Path() / "page.html", text.size());
    if (chromium) ok &= ReportLoad(dir, dir.Path() / "page.html", blank, t.LoadSeconds);
    if (t.Processes) ok &= ReportEventsSpeed(dir, explain, pack, text.size());
  }
  std::printf("%s\n", ok ? "explorer: within targets" : "explorer: FAILED");
  return ok ? 0 : 1;
}
