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
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/pack.h"
#include "tools/unpack.h"
#include "tools/stream_packer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

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

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct TRun {
  int Status = -1;
  double Seconds = 0;
  long PeakBytes = 0;
};

TRun RunTool(const std::string& tool, const fs::path& dir) {
  TRun run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) return run;
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open("/dev/null", O_WRONLY);
    const int err = ::open((dir / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0 || ::dup2(in, 0) < 0 ||
        ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
      ::_exit(126);
    }
    ::execl(tool.c_str(), tool.c_str(), "worst.lum", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  if (::wait4(child, &status, 0, &usage) != child) return run;
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.PeakBytes = usage.ru_maxrss * 1024L;  // Linux reports KiB
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string tool = fs::absolute(argc > 1 ? argv[1] : LUMERA_TOOL).string();
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

  const Bytes stream = WorstStream();
  bool leftOver = false;
  const Bytes decoded = lumera::Unpack(stream, leftOver);
  std::string pattern = (fs::temp_directory_path() / "lumera-worst-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const fs::path dir = pattern;
  WriteFile(dir / "worst.lum", stream);
  WriteFile(dir / "dec.xml", decoded);

  std::printf("worst case: %zu-byte stream, %zu bytes out (a %u-byte repeat after 18 literals)\n",
              stream.size(), decoded.size(), lumera::kEscapeLength);
  std::printf("tool: %s\n", tool.c_str());
  bool ok = true;
  std::vector<double> seconds;
  long peak = 0;
  for (int i = 0; i < runs; ++i) {
    fs::remove(dir / "out.xml");
    const TRun run = RunTool(tool, dir);
    const bool complete = run.Status == 0 && ReadFile(dir / "out.xml") == decoded;
    std::printf("run %d: status %d, %.3f s wall, peak %.2f MB%s\n", i + 1, run.Status, run.Seconds,
                run.PeakBytes / 1e6, complete ? "" : ", out.xml differs from dec.xml");
    if (!complete) {
      const Bytes err = ReadFile(dir / "stderr.txt");
      std::fwrite(err.data(), 1, err.size(), stderr);
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
  fs::remove_all(dir);
  std::printf("%s\n", ok ? "worst case: within targets" : "worst case: FAILED");
  return ok ? 0 : 1;
}
