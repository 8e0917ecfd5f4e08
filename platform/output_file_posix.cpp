#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <optional>

#include "platform/exceptions.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "platform/output_sink.h"
#include "platform/standard_streams.h"
#include "platform/system_handle.h"

namespace lumera {

namespace {

// As the system gives up on symbolic links.
constexpr int kMostLinks = 40;

// "/dev/stdout" is what the user redirected standard output to: written there directly,
// even when that is an existing regular file, as "-" is.
bool IsStandardOutput(const std::string& path) {
  return path == kStandardStream || path == "/dev/stdout";
}

std::optional<struct stat> StatusOf(const std::string& path, TStandardStream standard) {
  struct stat info {};
  const bool known = path == kStandardStream
                         ? ::fstat(static_cast<int>(StandardHandle(standard)), &info) == 0
                         : ::stat(path.c_str(), &info) == 0;
  if (!known) return std::nullopt;
  return info;
}

// How messages name an output.
std::string NameOf(const std::string& path) {
  return path == kStandardStream ? kStandardOutputName : path;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The permission bits a new file gets from this process.
mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// The temporary file being written, for the handler of the signals that end a run, so
// that Ctrl-C leaves no partial file either. Only async-signal-safe calls touch it.
char gPendingPath[PATH_MAX];
volatile sig_atomic_t gPending = 0;

extern "C" void RemovePendingAndEnd(int signal) {
  if (gPending != 0) ::unlink(gPendingPath);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// Signals that were ignored when the program started (as under nohup) stay ignored.
void GuardAgainstSignals() {
  static bool guarded = false;
  if (guarded) return;
  guarded = true;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemovePendingAndEnd;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

void SetPending(const std::string& path) {
  gPending = 0;
  if (path.empty() || path.size() >= sizeof gPendingPath) return;
  std::memcpy(gPendingPath, path.c_str(), path.size() + 1);
  gPending = 1;
}

}  // namespace

struct TOutputFile::TState : TOutputSink {
  std::string Target;
  std::string Temporary;  // empty when writing directly or once renamed
  TOwnedHandle TargetHandle;  // an existing target, held locked until it is replaced
  std::optional<struct timespec> Time;  // the input's modification time, to take at Commit

  void OpenDirect(const std::string& target) {
    Handle.Reset(::open(target.c_str(), O_WRONLY | O_CLOEXEC));
    if (!Handle.IsOpen()) Fail("cannot open the output", errno);
  }

  // The temporary file lies in the target's own directory, so that the rename stays on
  // one file system and is atomic.
  void OpenTemporary(const std::string& target, bool exists, mode_t mode) {
    if (exists) {
      TargetHandle.Reset(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
      if (!TargetHandle.IsOpen()) Fail("cannot replace the output", errno);
      if (const int error = LockExclusive(TargetHandle.Get()); error != 0) {
        throw Exception(Name + ": cannot replace the output (" + LockRefusalText(error) + ")");
      }
    }
    const size_t slash = target.find_last_of('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = DirectoryOf(target) + "/." + base + ".XXXXXX";
    Handle.Reset(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!Handle.IsOpen()) Fail("cannot create the output", errno);
    Temporary = pattern;
    GuardAgainstSignals();
    SetPending(Temporary);
    if (::fchmod(static_cast<int>(Handle.Get()), mode) != 0)
      Fail("cannot create the output", errno);
    if (const int error = LockExclusive(Handle.Get()); error != 0) {
      Fail("cannot create the output", error);
    }
  }
};

void CheckOutputTarget(const std::vector<std::string>& inputs, const std::string& output,
                       bool force) {
  const std::optional<struct stat> out = StatusOf(output, TStandardStream::Output);
  if (!out || !S_ISREG(out->st_mode)) return;
  for (const std::string& input : inputs) {
    const std::optional<struct stat> in = StatusOf(input, TStandardStream::Input);
    if (in && in->st_dev == out->st_dev && in->st_ino == out->st_ino) {
      throw Exception(NameOf(output) + ": input and output are the same file");
    }
  }
  if (!force && !IsStandardOutput(output)) {
    throw Exception(output + ": already exists; use -f to overwrite");
  }
}

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMostLinks; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), target, sizeof target - 1);
    if (length < 0) return current;
    const std::string link(target, static_cast<size_t>(length));
    current = link.front() == '/' ? link : DirectoryOf(current) + "/" + link;
  }
  throw Exception(path + ": cannot write the output (" + SystemErrorText(ELOOP) + ")");
}

// A path to something that is not a regular file (/dev/stdout on a pipe, a FIFO) is
// opened as it is: its link may name no file at all.
TOutputFile::TOutputFile(const std::string& path, const TOutputOrigin& origin)
    : F(std::make_unique<TState>()) {
  F->Name = NameOf(path);
  if (IsStandardOutput(path)) {
    F->Handle.Reset(StandardHandle(TStandardStream::Output));
    return;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    F->OpenDirect(path);
    return;
  }
  F->Target = FollowLinks(path);
  const bool exists = ::stat(F->Target.c_str(), &info) == 0;
  mode_t mode = exists ? info.st_mode & 07777 : NewFileMode();
  const std::optional<struct stat> from =
      origin.Input.empty() ? std::nullopt : StatusOf(origin.Input, TStandardStream::Input);
  if (from && S_ISREG(from->st_mode)) {
    const bool converted = origin.Derivation == TDerivation::Converted;
    if (!converted || !exists) mode = from->st_mode & 0777;
    if (converted) F->Time = from->st_mtim;
  }
  F->OpenTemporary(F->Target, exists, mode);
}

TOutputFile::~TOutputFile() {
  SetPending({});
  if (!F->Temporary.empty()) ::unlink(F->Temporary.c_str());
}

TOutputSink& TOutputFile::Sink() const {
  return *F;
}

std::optional<std::vector<uint8_t>> TOutputFile::ReadBack() const {
  if (F->Temporary.empty()) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got =
        ::pread(F->Handle.Get(), buffer, sizeof buffer, static_cast<off_t>(bytes.size()));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) F->Fail("cannot read the output back", errno);
    if (got == 0) return bytes;
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
}

void TOutputFile::Commit() {
  if (F->Temporary.empty()) return;
  if (F->Time) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, *F->Time};
    if (::futimens(static_cast<int>(F->Handle.Get()), times) != 0) {
      F->Fail("cannot set the output's time", errno);
    }
  }
  if (::rename(F->Temporary.c_str(), F->Target.c_str()) != 0) {
    F->Fail("cannot replace the output", errno);
  }
  SetPending({});
  F->Temporary.clear();
}

}  // namespace lumera
