#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/input_file.h"
#include "platform/system_handle.h"

namespace lumera {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return path != kStandardStream && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TSystemHandle OpenWholeInput(const std::string& path) {
  TOwnedHandle input(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!input.IsOpen()) throw EFOpenError(SystemErrorText(errno));
  struct stat info {};
  if (::fstat(static_cast<int>(input.Get()), &info) == 0 && S_ISREG(info.st_mode)) {
    if (const int error = LockExclusive(input.Get()); error != 0) {
      throw EFOpenError(LockRefusalText(error));
    }
  }
  return input.Release();
}

}  // namespace lumera
