// Runs a built program as a child process in a given folder, with standard input from a
// file and standard output and error captured, as a user at a console would run it.
// The run's wall time and peak memory are measured too, for the benchmarks.
//
// On Windows the child is started with CreateProcessW, with no console of its own, and
// its command line quotes every argument by the programs' own rule (a backslash is a
// plain character), which is how the programs of this system split it.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#ifdef _WIN32
inline constexpr const char* kNullDevice = "NUL";
#else
inline constexpr const char* kNullDevice = "/dev/null";
#endif

struct TChildOptions {
  std::string Input = kNullDevice;  // where standard input comes from
  bool CloseOutput = false;         // start with standard output closed
  bool BrokenPipe = false;          // standard output is a pipe nobody reads
  bool DiscardOutput = false;       // standard output goes to /dev/null, uncaptured
};

#ifdef _WIN32

namespace detail {

inline HANDLE OpenInherited(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return ::CreateFileW(Utf8Path(path).wstring().c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

inline std::wstring QuotedCommandLine(const std::string& program,
                                      const std::vector<std::string>& args) {
  std::wstring line = L"\"" + Utf8Path(program).wstring() + L"\"";
  for (const std::string& arg : args) line += L" \"" + Utf8Path(arg).wstring() + L"\"";
  return line;
}

}  // namespace detail

inline TChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                          const TScratchDir& dir, const TChildOptions& options = {}) {
  const std::string outPath = options.DiscardOutput ? kNullDevice : Utf8(dir.Path()) + ".out";
  const std::string errPath = Utf8(dir.Path()) + ".err";
  const HANDLE in = detail::OpenInherited(options.Input, false);
  const HANDLE out = detail::OpenInherited(outPath, true);
  const HANDLE err = detail::OpenInherited(errPath, true);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = options.CloseOutput ? nullptr : out;
  startup.hStdError = err;
  HANDLE pipeRead = nullptr;
  HANDLE pipeWrite = nullptr;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (options.BrokenPipe && ::CreatePipe(&pipeRead, &pipeWrite, &inherit, 0)) {
    ::CloseHandle(pipeRead);
    startup.hStdOutput = pipeWrite;
  }
  std::wstring line = detail::QuotedCommandLine(program, args);
  PROCESS_INFORMATION process{};
  TChildRun run;
  const auto start = std::chrono::steady_clock::now();
  if (::CreateProcessW(Utf8Path(program).wstring().c_str(), line.data(), nullptr, nullptr, TRUE,
                       DETACHED_PROCESS, nullptr, dir.Path().wstring().c_str(), &startup,
                       &process)) {
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) run.Status = static_cast<int>(code);
    PROCESS_MEMORY_COUNTERS memory{};
    if (::GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
      run.PeakBytes = static_cast<long>(memory.PeakWorkingSetSize);
    }
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (HANDLE handle : {in, out, err, pipeWrite}) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
  std::error_code ignored;
  if (!options.DiscardOutput) {
    run.Out = ReadFile(outPath);
    std::filesystem::remove(Utf8Path(outPath), ignored);
  }
  run.Err = ReadFile(errPath);
  std::filesystem::remove(Utf8Path(errPath), ignored);
  return run;
}

#else

inline TChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                          const TScratchDir& dir, const TChildOptions& options = {}) {
  const std::string outPath = options.DiscardOutput ? kNullDevice : dir.Path().string() + ".out";
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

#endif

}  // namespace lumera::testing
