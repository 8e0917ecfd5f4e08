#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/input_file.h"
#include "platform/system_handle.h"

namespace lumera {

EInputTooLarge::EInputTooLarge(uint64_t bound, const char* file, int line)
    : Exception("The input holds more than " + std::to_string(bound) + " bytes.", file, line),
      FBound(bound) {}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return path != kStandardStream && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::vector<uint8_t> ReadWholeInput(const std::string& path, uint64_t bound) {
  TOwnedHandle input(StandardHandle(TStandardStream::Input));
  if (path != kStandardStream) {
    input.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!input.IsOpen()) throw EFOpenError(SystemErrorText(errno));
    struct stat status {};
    if (::fstat(static_cast<int>(input.Get()), &status) == 0 && S_ISREG(status.st_mode)) {
      if (const int error = LockExclusive(input.Get()); error != 0) {
        throw EFOpenError(LockRefusalText(error));
      }
    }
  }
  std::vector<uint8_t> bytes;
  struct stat info {};
  if (::fstat(static_cast<int>(input.Get()), &info) == 0 && S_ISREG(info.st_mode) &&
      static_cast<uint64_t>(info.st_size) <= bound) {
    bytes.reserve(static_cast<size_t>(info.st_size) + 1);
  }
  // One byte past the bound tells a longer input from one of exactly bound bytes.
  const uint64_t limit = bound == UINT64_MAX ? bound : bound + 1;
  if (const int error = ReadUpTo(input.Get(), bytes, limit); error != 0) {
    throw EInOutError(SystemErrorText(error));
  }
  if (bytes.size() > bound) throw EInputTooLarge(bound);
  return bytes;
}

}  // namespace lumera
