// Read me first: the platform's own units pass the operating system's open files among
// themselves as TSystemHandle, an integer wide enough for a POSIX descriptor and for a
// Windows HANDLE alike. Nothing outside platform/ includes this header; the programs see
// files only through TFileStream, the input reader, TOutputFile and the standard streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/standard_streams.h"

namespace lumera {

using TSystemHandle = intptr_t;
inline constexpr TSystemHandle kNoHandle = -1;

TSystemHandle StandardHandle(TStandardStream stream);

// Writes all of data, going on after interruptions and short writes. Returns 0, or the
// system's error number of the write that failed.
int WriteAll(TSystemHandle handle, const void* data, size_t size);

// Raises what a failed write to a file named name says: EBrokenPipe when the reader of a
// pipe went away, otherwise EInOutError; both read "NAME: cannot write the output (REASON)".
[[noreturn]] void RaiseWriteFailure(const std::string& name, int error);

// Appends what handle delivers, read sequentially, until its end or until bytes holds
// limit bytes, whichever comes first. Returns 0, or the system's error number.
int ReadUpTo(TSystemHandle handle, std::vector<uint8_t>& bytes, uint64_t limit);

// Takes the exclusive, non-blocking lock with which every open denies sharing. Returns 0,
// or the error number that LockRefusalText turns into words.
int LockExclusive(TSystemHandle handle);

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

 private:
  TSystemHandle FHandle;
};

}  // namespace lumera
