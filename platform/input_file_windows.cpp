#include <windows.h>

#include "platform/input_file.h"
#include "platform/system_handle.h"
#include "platform/windows_text.h"

namespace lumera {

bool IsRegularFile(const std::string& path) {
  if (path == kStandardStream) return false;
  const TOwnedHandle file(reinterpret_cast<TSystemHandle>(
      ::CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
  return file.IsOpen() && RegularFileSize(file.Get()).has_value();
}

// Share mode 0 denies every other opener while the input is read.
TSystemHandle OpenWholeInput(const std::string& path) {
  const HANDLE input = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
  if (input == INVALID_HANDLE_VALUE) {
    throw EFOpenError(SystemErrorText(static_cast<int>(::GetLastError())));
  }
  return reinterpret_cast<TSystemHandle>(input);
}

}  // namespace lumera
