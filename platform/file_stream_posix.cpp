#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/system_handle.h"

namespace lumera {

namespace {

// What stands in the way of using an open handle as mode asks, or an empty text. Locks
// come before the truncate, so that a file another opener holds is never emptied by a
// create that is going to fail.
std::string Refusal(int handle, TFileMode mode, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return SystemErrorText(EISDIR);
  if (mode == TFileMode::OpenRead && !S_ISREG(info.st_mode)) return {};
  if (const int error = LockExclusive(handle); error != 0) return LockRefusalText(error);
  if (mode == TFileMode::Create && ::ftruncate(handle, 0) != 0) return SystemErrorText(errno);
  return {};
}

// Opens without truncating, then checks, locks and truncates as Refusal says.
int OpenLocked(const std::string& path, TFileMode mode, struct stat& info) {
  const int flags = mode == TFileMode::Create ? O_RDWR | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC;
  const int handle = ::open(path.c_str(), flags, 0666);
  if (handle < 0) RaiseOpenFailure(path, mode, SystemErrorText(errno));
  std::string reason =
      ::fstat(handle, &info) != 0 ? SystemErrorText(errno) : Refusal(handle, mode, info);
  if (!reason.empty()) {
    ::close(handle);
    RaiseOpenFailure(path, mode, reason);
  }
  return handle;
}

}  // namespace

std::string ExpandPath(const std::string& path) {
  char directory[PATH_MAX];
  const bool known = ::getcwd(directory, sizeof directory) != nullptr;
  if (!known && (path.empty() || path.front() != '/')) return path;
  return FullPath(path, known ? directory : "/");
}

TFileStream::TFileStream(const std::string& path, TFileMode mode) {
  struct stat info {};
  const int handle = OpenLocked(path, mode, info);
  if (mode == TFileMode::OpenRead && !S_ISREG(info.st_mode)) {
    const int error = ReadUpTo(handle, FContent, UINT64_MAX);
    ::close(handle);
    if (error != 0) throw EInOutError(SystemErrorText(error));
    FSize = static_cast<int64_t>(FContent.size());
    return;
  }
  FHandle = handle;
  FSize = mode == TFileMode::Create ? 0 : info.st_size;  // info predates the truncate
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(static_cast<int>(FHandle));
}

// Positional reads and writes: the position is kept here, so moving it and asking for it
// cost no system call. The size is known because nobody else can write the locked file.
size_t TFileStream::Read(void* buffer, size_t count) {
  if (FHandle < 0) return ReadHeld(buffer, count);
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(static_cast<int>(FHandle), static_cast<char*>(buffer) + done,
                                count - done, FPosition + static_cast<int64_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  FPosition += static_cast<int64_t>(done);
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  if (FHandle < 0) return 0;  // an input held in memory
  size_t done = 0;
  while (done < count) {
    const ssize_t put = ::pwrite(static_cast<int>(FHandle), static_cast<const char*>(buffer) + done,
                                 count - done, FPosition + static_cast<int64_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  FPosition += static_cast<int64_t>(done);
  FSize = std::max(FSize, FPosition);
  return done;
}

}  // namespace lumera
