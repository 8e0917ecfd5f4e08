#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_handle.h"

namespace lumera {

namespace {

int Descriptor(TSystemHandle handle) {
  return static_cast<int>(handle);
}

}  // namespace

TSystemHandle StandardHandle(TStandardStream stream) {
  switch (stream) {
    case TStandardStream::Input:
      return STDIN_FILENO;
    case TStandardStream::Output:
      return STDOUT_FILENO;
    case TStandardStream::Error:
      break;
  }
  return STDERR_FILENO;
}

bool IsTerminalHandle(TSystemHandle handle) {
  return ::isatty(Descriptor(handle)) == 1;
}

int WriteAll(TSystemHandle handle, const void* data, size_t size) {
  const auto* rest = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = ::write(Descriptor(handle), rest, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    if (put == 0) return EIO;
    rest += put;
    size -= static_cast<size_t>(put);
  }
  return 0;
}

std::optional<uint64_t> RegularFileSize(TSystemHandle handle) {
  struct stat info {};
  if (::fstat(Descriptor(handle), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

bool IsBrokenPipe(int error) {
  return error == EPIPE;
}

int ReadSome(TSystemHandle handle, void* buffer, size_t size, size_t& got) {
  for (;;) {
    const ssize_t read = ::read(Descriptor(handle), buffer, size);
    got = read > 0 ? static_cast<size_t>(read) : 0;
    if (read >= 0) return 0;
    if (errno != EINTR) return errno;
  }
}

int LockExclusive(TSystemHandle handle) {
  return ::flock(Descriptor(handle), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

void TOwnedHandle::Close() {
  if (FHandle > STDERR_FILENO) ::close(Descriptor(FHandle));
  FHandle = kNoHandle;
}

}  // namespace lumera
