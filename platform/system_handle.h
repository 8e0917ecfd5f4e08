// Read me first: the platform's own units pass the operating system's open files among
// themselves as TSystemHandle, an integer wide enough for a POSIX descriptor and for a
// Windows HANDLE alike. Nothing outside platform/ includes this header; the programs see
// files only through TFileStream, the input reader, TOutputFile and the standard streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/standard_streams.h"

namespace lumera {

using TSystemHandle = intptr_t;
inline constexpr TSystemHandle kNoHandle = -1;

TSystemHandle StandardHandle(TStandardStream stream);

// Whether handle is a terminal (on Windows, a console).
bool IsTerminalHandle(TSystemHandle handle);

// Writes all of data, going on after interruptions and short writes; a Windows console
// gets it as UTF-16, so that UTF-8 text shows as it reads. Returns 0, or the system's
// error number of the write that failed.
int WriteAll(TSystemHandle handle, const void* data, size_t size);

// Reads what handle has, up to size bytes, into buffer, going on after interruptions;
// got is 0 at the end. Returns 0, or the system's error number.
int ReadSome(TSystemHandle handle, void* buffer, size_t size, size_t& got);

// Raises what a failed write to a file named name says: EBrokenPipe when the reader of a
// pipe went away, otherwise EInOutError; both read "NAME: cannot write the output (REASON)".
[[noreturn]] void RaiseWriteFailure(const std::string& name, int error);

// Whether error is what a write reports when the reader of its pipe has gone away.
bool IsBrokenPipe(int error);

// Appends what handle delivers, read sequentially, until its end or until bytes holds
// limit bytes, whichever comes first. Returns 0, or the system's error number.
int ReadUpTo(TSystemHandle handle, std::vector<uint8_t>& bytes, uint64_t limit);

// Takes the exclusive, non-blocking lock with which every open denies sharing on POSIX
// systems. Returns 0, or the error number that LockRefusalText turns into words. Windows
// needs no lock: there an open with share mode 0 denies sharing by itself.
int LockExclusive(TSystemHandle handle);

// The size of the regular file that handle has open; nothing for a pipe, a device or a
// folder.
std::optional<uint64_t> RegularFileSize(TSystemHandle handle);

// Opens the input at path (not "-") for ReadWholeInput, with sharing denied when it is a
// regular file. Raises EFOpenError with the system's text as the message.
TSystemHandle OpenWholeInput(const std::string& path);

// An open handle, closed when this goes out of scope. The standard streams are never
// closed.
class TOwnedHandle {
 public:
  explicit TOwnedHandle(TSystemHandle handle = kNoHandle) : FHandle(handle) {}
  ~TOwnedHandle() { Close(); }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;

  TSystemHandle Get() const { return FHandle; }
  bool IsOpen() const { return FHandle != kNoHandle; }
  void Reset(TSystemHandle handle) {
    Close();
    FHandle = handle;
  }
  void Close();
  // Gives the handle up without closing it.
  TSystemHandle Release() {
    const TSystemHandle handle = FHandle;
    FHandle = kNoHandle;
    return handle;
  }

 private:
  TSystemHandle FHandle;
};

}  // namespace lumera
