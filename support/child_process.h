// Runs a built program as a child process in a given folder, with standard input from a
// file and standard output and error captured, as a user at a console would run it.
// The run's wall time and peak memory are measured too, for the benchmarks.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "test_support.h"

namespace lumera::testing {

struct TChildRun {
  int Status = -1;  // the exit status, or -1 when the child did not exit normally
  std::string Out;
  std::string Err;
  double Seconds = 0;  // wall time
  long PeakBytes = 0;  // peak resident memory
};

struct TChildOptions {
  std::string Input = "/dev/null";  // where standard input comes from
  bool CloseOutput = false;         // start with standard output closed
  bool BrokenPipe = false;          // standard output is a pipe nobody reads
  bool DiscardOutput = false;       // standard output goes to /dev/null, uncaptured
};

inline TChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                          const TScratchDir& dir, const TChildOptions& options = {}) {
  const std::string outPath = options.DiscardOutput ? "/dev/null" : dir.Path().string() + ".out";
  const std::string errPath = dir.Path().string() + ".err";
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls from here on; any failure ends the child with 127.
    const int in = ::open(options.Input.c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::chdir(dir.Path().c_str()) != 0) ::_exit(127);
    ::dup2(in, STDIN_FILENO);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    if (options.CloseOutput) ::close(STDOUT_FILENO);
    int pipeEnds[2];
    if (options.BrokenPipe && ::pipe(pipeEnds) == 0) {
      ::close(pipeEnds[0]);
      ::dup2(pipeEnds[1], STDOUT_FILENO);
    }
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  TChildRun run;
  int status = 0;
  rusage usage{};
  if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status)) {
    run.Status = WEXITSTATUS(status);
  }
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.PeakBytes = usage.ru_maxrss * 1024L;  // Linux reports KiB
  if (!options.DiscardOutput) {
    run.Out = ReadFile(outPath);
    ::unlink(outPath.c_str());
  }
  run.Err = ReadFile(errPath);
  ::unlink(errPath.c_str());
  return run;
}

}  // namespace lumera::testing
