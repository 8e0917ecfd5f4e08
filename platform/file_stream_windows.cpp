#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/system_handle.h"
#include "platform/windows_text.h"

namespace lumera {

namespace {

HANDLE HandleOf(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

OVERLAPPED At(int64_t position) {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(position);
  at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(position) >> 32);
  return at;
}

constexpr size_t kLargestTransfer = size_t{1} << 30;

}  // namespace

std::string ExpandPath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return Narrow(full);
}

// Share mode 0 denies every other opener, here or in another process, until the handle
// is closed; CREATE_ALWAYS truncates only once the open has succeeded, so a file that
// another opener holds is never emptied.
TFileStream::TFileStream(const std::string& path, TFileMode mode) {
  const bool create = mode == TFileMode::Create;
  const HANDLE handle =
      ::CreateFileW(Widen(path).c_str(), create ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ, 0,
                    nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    RaiseOpenFailure(path, mode, SystemErrorText(static_cast<int>(::GetLastError())));
  }
  // A pipe or a device has no size and no positions: it is read to its end now.
  if (!create && ::GetFileType(handle) != FILE_TYPE_DISK) {
    const TOwnedHandle input(reinterpret_cast<TSystemHandle>(handle));
    if (const int error = ReadUpTo(input.Get(), FContent, UINT64_MAX); error != 0) {
      throw EInOutError(SystemErrorText(error));
    }
    FSize = static_cast<int64_t>(FContent.size());
    return;
  }
  LARGE_INTEGER size{};
  if (!create && !::GetFileSizeEx(handle, &size)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    RaiseOpenFailure(path, mode, SystemErrorText(static_cast<int>(error)));
  }
  FHandle = reinterpret_cast<intptr_t>(handle);
  FSize = size.QuadPart;
}

TFileStream::~TFileStream() {
  if (FHandle != -1) ::CloseHandle(HandleOf(FHandle));
}

// Positional reads and writes, as on POSIX systems: the position is kept here.
size_t TFileStream::Read(void* buffer, size_t count) {
  if (FHandle == -1) return ReadHeld(buffer, count);
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at = At(FPosition + static_cast<int64_t>(done));
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min(count - done, kLargestTransfer));
    if (!::ReadFile(HandleOf(FHandle), static_cast<char*>(buffer) + done, chunk, &got, &at) ||
        got == 0) {
      break;  // ERROR_HANDLE_EOF at or past the end
    }
    done += got;
  }
  FPosition += static_cast<int64_t>(done);
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  if (FHandle == -1) return 0;  // an input held in memory
  size_t done = 0;
  while (done < count) {
    OVERLAPPED at = At(FPosition + static_cast<int64_t>(done));
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min(count - done, kLargestTransfer));
    if (!::WriteFile(HandleOf(FHandle), static_cast<const char*>(buffer) + done, chunk, &put,
                     &at) ||
        put == 0) {
      break;
    }
    done += put;
  }
  FPosition += static_cast<int64_t>(done);
  FSize = std::max(FSize, FPosition);
  return done;
}

}  // namespace lumera
