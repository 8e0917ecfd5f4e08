#include <windows.h>

#include "platform/exceptions.h"
#include "platform/windows_text.h"

namespace lumera {

const int kNegativeSeek = ERROR_NEGATIVE_SEEK;

// The system's own words in the user's language, such as "The process cannot access the
// file because it is being used by another process" for a sharing violation.
std::string SystemErrorText(int error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text =
      length == 0 ? "System error " + std::to_string(error) : Narrow({buffer, length});
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == ' ' || text.back() == '.' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.pop_back();
  }
  return text;
}

}  // namespace lumera
