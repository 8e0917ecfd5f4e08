// The explorer on a real text as whole processes: lumera-explain --json and --html on the
// iso-codes list of subdivisions packed by the encoder (wall time and peak memory), the
// page's size against its budget, and how long headless Chromium takes to render it.
// Exits with status 1 when a run fails or misses a target; the render time is an aim and
// only reported.
//
//   explain_bench [EXPLAIN [TEXT]]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/browser/chromium.h"
#include "tools/pack.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr const char* kDefaultText = "/usr/share/xml/iso-codes/iso_3166-2.xml";
constexpr double kJsonSeconds = 0.5;
constexpr double kPageSeconds = 1.0;
constexpr double kRenderSeconds = 5.0;
constexpr long kPeakBytes = 64'000'000;
constexpr uint64_t kPageBytesPerOutputByte = 40;
constexpr uint64_t kPageFixedBytes = 50'000;
constexpr int kRuns = 3;

struct TRun {
  int Status = -1;
  double Seconds = 0;
  long PeakBytes = 0;
};

// Runs argv with standard output sent to outPath, from folder dir.
TRun Measure(const std::vector<std::string>& argv, const fs::path& dir, const char* outPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath, O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  TRun run;
  const fs::path previous = fs::current_path();
  fs::current_path(dir);
  const auto start = std::chrono::steady_clock::now();
  pid_t child = 0;
  const int spawned = posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
  fs::current_path(previous);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (spawned != 0 || ::wait4(child, &status, 0, &usage) != child) return run;
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.PeakBytes = usage.ru_maxrss * 1024L;  // Linux reports KiB
  return run;
}

// The slowest of kRuns runs, and the largest peak; any failed run fails the whole.
TRun Slowest(const std::vector<std::string>& argv, const fs::path& dir, const char* outPath) {
  TRun worst{0, 0, 0};
  for (int i = 0; i < kRuns; ++i) {
    const TRun run = Measure(argv, dir, outPath);
    if (run.Status != 0) return run;
    worst.Seconds = std::max(worst.Seconds, run.Seconds);
    worst.PeakBytes = std::max(worst.PeakBytes, run.PeakBytes);
  }
  return worst;
}

bool Report(const char* what, const TRun& run, double seconds) {
  const bool ok = run.Status == 0 && run.Seconds < seconds && run.PeakBytes < kPeakBytes;
  std::printf("%-22s status %d, %.3f s wall (target < %.1f s), peak %.1f MB (target < %.0f MB)%s\n",
              what, run.Status, run.Seconds, seconds, run.PeakBytes / 1e6, kPeakBytes / 1e6,
              ok ? "" : "  MISSED");
  return ok;
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  const std::string explain = fs::absolute(argc > 1 ? argv[1] : LUMERA_EXPLAIN).string();
  const fs::path textPath = argc > 2 ? argv[2] : kDefaultText;
  const Bytes text = ReadFile(textPath);
  if (text.empty()) {
    std::printf("explorer: skipped, %s is missing (Debian package iso-codes)\n", textPath.c_str());
    return 0;
  }
  std::string pattern = (fs::temp_directory_path() / "lumera-explain-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir = pattern;
  const Bytes stream = lumera::Pack(text);
  std::ofstream(dir / "bench.lum", std::ios::binary)
      .write(reinterpret_cast<const char*>(stream.data()),
             static_cast<std::streamsize>(stream.size()));
  std::printf("explorer: %s, %zu bytes packed to %zu\n", textPath.c_str(), text.size(),
              stream.size());

  bool ok = Report("--json > /dev/null",
                   Slowest({explain, "--json", "bench.lum"}, dir, "/dev/null"), kJsonSeconds);
  ok &= Report("--html page.html",
               Slowest({explain, "--html", "page.html", "bench.lum"}, dir, "/dev/null"),
               kPageSeconds);
  const uint64_t pageBytes = fs::exists(dir / "page.html") ? fs::file_size(dir / "page.html") : 0;
  const uint64_t budget = kPageBytesPerOutputByte * text.size() + kPageFixedBytes;
  const bool withinBudget = pageBytes > 0 && pageBytes < budget;
  std::printf("page size              %llu bytes, %.1f per output byte (budget %llu)%s\n",
              static_cast<unsigned long long>(pageBytes), double(pageBytes) / text.size(),
              static_cast<unsigned long long>(budget), withinBudget ? "" : "  MISSED");
  ok &= withinBudget;

  if (::access(lumera::testing::kChromium, X_OK) == 0) {
    std::vector<std::string> chromium = {lumera::testing::kChromium};
    for (std::string& arg : lumera::testing::ChromiumArgs(
             dir / "profile",
             {"--window-size=1200,900", "--screenshot=" + (dir / "shot.png").string()},
             (dir / "page.html").string())) {
      chromium.push_back(std::move(arg));
    }
    const TRun render = Measure(chromium, dir, "/dev/null");
    std::printf("chromium render        status %d, %.2f s wall (aim < %.0f s)%s\n", render.Status,
                render.Seconds, kRenderSeconds,
                render.Seconds < kRenderSeconds ? "" : "  over the aim");
  } else {
    std::printf("chromium render        skipped, %s is not installed\n",
                lumera::testing::kChromium);
  }
  fs::remove_all(dir);
  std::printf("%s\n", ok ? "explorer: within targets" : "explorer: FAILED");
  return ok ? 0 : 1;
}
