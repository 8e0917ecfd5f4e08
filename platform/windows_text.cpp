#include "platform/windows_text.h"

#include <windows.h>

#include <algorithm>

namespace lumera {

std::wstring Widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  std::wstring wide(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size,
                                                              nullptr, 0)),
                    L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
  return wide;
}

std::string Narrow(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  std::string utf8(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size,
                                                             nullptr, 0, nullptr, nullptr)),
                   '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
  return utf8;
}

unsigned long WriteStandardHandle(unsigned long which, std::string_view text) {
  const HANDLE handle = ::GetStdHandle(which);
  constexpr size_t kChunk = 1 << 20;
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    const std::wstring wide = Widen(text);
    for (size_t done = 0; done < wide.size();) {
      DWORD put = 0;
      const DWORD chunk = static_cast<DWORD>(std::min(wide.size() - done, kChunk));
      if (!::WriteConsoleW(handle, wide.data() + done, chunk, &put, nullptr)) return ::GetLastError();
      done += put;
    }
    return 0;
  }
  while (!text.empty()) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min(text.size(), kChunk));
    if (!::WriteFile(handle, text.data(), chunk, &put, nullptr)) return ::GetLastError();
    if (put == 0) return ERROR_WRITE_FAULT;
    text.remove_prefix(put);
  }
  return 0;
}

}  // namespace lumera
