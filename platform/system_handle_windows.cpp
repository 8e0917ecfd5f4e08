#include <windows.h>

#include <algorithm>

#include "platform/system_handle.h"
#include "platform/windows_text.h"

namespace lumera {

namespace {

HANDLE Native(TSystemHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

constexpr DWORD kStandardHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

int WriteConsole(HANDLE console, const void* data, size_t size) {
  const std::wstring wide = Widen({static_cast<const char*>(data), size});
  for (size_t done = 0; done < wide.size();) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 1 << 20));
    if (!::WriteConsoleW(console, wide.data() + done, chunk, &put, nullptr)) {
      return static_cast<int>(::GetLastError());
    }
    done += put;
  }
  return 0;
}

}  // namespace

TSystemHandle StandardHandle(TStandardStream stream) {
  return reinterpret_cast<TSystemHandle>(
      ::GetStdHandle(kStandardHandles[static_cast<int>(stream)]));
}

bool IsTerminalHandle(TSystemHandle handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(Native(handle), &mode) != 0;
}

int WriteAll(TSystemHandle handle, const void* data, size_t size) {
  if (IsTerminalHandle(handle)) return WriteConsole(Native(handle), data, size);
  const auto* rest = static_cast<const char*>(data);
  while (size > 0) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 30));
    if (!::WriteFile(Native(handle), rest, chunk, &put, nullptr)) {
      return static_cast<int>(::GetLastError());
    }
    if (put == 0) return ERROR_WRITE_FAULT;
    rest += put;
    size -= put;
  }
  return 0;
}

std::optional<uint64_t> RegularFileSize(TSystemHandle handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(Native(handle)) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(Native(handle), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
}

// ERROR_NO_DATA is "The pipe is being closed".
bool IsBrokenPipe(int error) {
  return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE;
}

// A pipe whose writer has gone reports ERROR_BROKEN_PIPE: that is its end.
int ReadSome(TSystemHandle handle, void* buffer, size_t size, size_t& got) {
  DWORD read = 0;
  const bool done = ::ReadFile(Native(handle), buffer,
                               static_cast<DWORD>(std::min<size_t>(size, 1 << 30)), &read, nullptr);
  got = read;
  const DWORD error = done ? 0 : ::GetLastError();
  return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : static_cast<int>(error);
}

void TOwnedHandle::Close() {
  const bool standard = std::any_of(std::begin(kStandardHandles), std::end(kStandardHandles),
                                    [this](DWORD which) { return Native(FHandle) == ::GetStdHandle(which); });
  if (FHandle != kNoHandle && !standard) ::CloseHandle(Native(FHandle));
  FHandle = kNoHandle;
}

}  // namespace lumera
