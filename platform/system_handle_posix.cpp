#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
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

int ReadUpTo(TSystemHandle handle, std::vector<uint8_t>& bytes, uint64_t limit) {
  constexpr size_t kChunk = size_t{1} << 16;
  while (bytes.size() < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, limit - bytes.size()));
    const size_t had = bytes.size();
    bytes.resize(had + want);
    const ssize_t got = ::read(Descriptor(handle), bytes.data() + had, want);
    bytes.resize(had + (got > 0 ? static_cast<size_t>(got) : 0));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
  }
  return 0;
}

int LockExclusive(TSystemHandle handle) {
  return ::flock(Descriptor(handle), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

void TOwnedHandle::Close() {
  if (FHandle > STDERR_FILENO) ::close(Descriptor(FHandle));
  FHandle = kNoHandle;
}

}  // namespace lumera
