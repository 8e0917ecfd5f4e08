#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"

namespace lumera {

namespace {

[[noreturn]] void RaiseOpenFailure(const std::string& path, TFileMode mode, int error) {
  std::string message = mode == TFileMode::Create ? "Cannot create file \"" : "Cannot open file \"";
  message.append(ExpandPath(path)).append("\". ").append(SystemErrorText(error));
  if (mode == TFileMode::Create) throw EFCreateError(message);
  throw EFOpenError(message);
}

// Opens without truncating, locks, and only then truncates, so that a file another
// opener holds is never emptied by a create that is going to fail.
int OpenLocked(const std::string& path, TFileMode mode) {
  const int flags = mode == TFileMode::Create ? O_RDWR | O_CREAT | O_CLOEXEC : O_RDONLY | O_CLOEXEC;
  const int handle = ::open(path.c_str(), flags, 0666);
  if (handle < 0) RaiseOpenFailure(path, mode, errno);
  int error = 0;
  struct stat info {};
  if (::fstat(handle, &info) != 0) {
    error = errno;
  } else if (S_ISDIR(info.st_mode)) {
    error = EISDIR;
  } else if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
    error = errno;
  } else if (mode == TFileMode::Create && ::ftruncate(handle, 0) != 0) {
    error = errno;
  }
  if (error != 0) {
    ::close(handle);
    RaiseOpenFailure(path, mode, error);
  }
  return handle;
}

}  // namespace

std::string FullPath(const std::string& path, const std::string& workingDir) {
  const std::string joined = !path.empty() && path.front() == '/' ? path : workingDir + "/" + path;
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string full;
  for (std::string_view part : parts) full.append("/").append(part);
  return full.empty() ? "/" : full;
}

std::string ExpandPath(const std::string& path) {
  char directory[PATH_MAX];
  const bool known = ::getcwd(directory, sizeof directory) != nullptr;
  if (!known && (path.empty() || path.front() != '/')) return path;
  return FullPath(path, known ? directory : "/");
}

TFileStream::TFileStream(const std::string& path, TFileMode mode)
    : FHandle(OpenLocked(path, mode)) {
  struct stat info {};
  FSize = ::fstat(FHandle, &info) == 0 ? info.st_size : 0;
}

TFileStream::~TFileStream() {
  ::close(FHandle);
}

// Positional reads and writes: the position is kept here, so moving it and asking for it
// cost no system call. The size is known because nobody else can write the locked file.
size_t TFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(FHandle, static_cast<char*>(buffer) + done, count - done,
                                FPosition + static_cast<int64_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  FPosition += static_cast<int64_t>(done);
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t put = ::pwrite(FHandle, static_cast<const char*>(buffer) + done, count - done,
                                 FPosition + static_cast<int64_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  FPosition += static_cast<int64_t>(done);
  FSize = std::max(FSize, FPosition);
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::Beginning ? 0 : FPosition;
  if (offset < -base) throw EInOutError(SystemErrorText(EINVAL));
  FPosition = base + offset;
  return FPosition;
}

}  // namespace lumera
