// A stream over a file, held with sharing denied, so that a second opener of the same
// file (in this process or another) fails instead of waiting: on POSIX systems every open
// takes an exclusive, non-blocking lock; on Windows the file is opened with share mode 0.
// Nothing is buffered in user space: a Write is in the file
// when it returns.
//
// An input that is not a regular file (a pipe, a FIFO, a character device) has no size
// and cannot be read at a position, so it is read to its end when it is opened and then
// served from memory; it takes no lock.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stream.h"

namespace lumera {

enum class TFileMode {
  OpenRead,  // an existing file, for reading only
  Create,    // a new file, or an existing one truncated to length 0, for reading and writing
};

class TFileStream : public TStream {
 public:
  // Raises EFOpenError (OpenRead) or EFCreateError (Create) with the full path and the
  // system's reason, or EInOutError when reading a non-regular input fails.
  TFileStream(const std::string& path, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Position() const override { return FPosition; }
  int64_t Size() const override { return FSize; }

 private:
  // Serves a read from FContent.
  size_t ReadHeld(void* buffer, size_t count);

  intptr_t FHandle = -1;  // the system's handle; -1 for an input held in memory
  std::vector<uint8_t> FContent;
  int64_t FPosition = 0;
  int64_t FSize = 0;
};

// The characters that end the folder part of a path. Windows takes "/" as well as "\",
// and "C:" alone names drive C's current folder.
#ifdef _WIN32
inline constexpr std::string_view kPathDelimiters = "\\/:";
#else
inline constexpr std::string_view kPathDelimiters = "/";
#endif

// Raises EFOpenError (OpenRead) or EFCreateError (Create): "Cannot open file" or "Cannot
// create file", the full path in quotes, then reason, the system's text.
[[noreturn]] void RaiseOpenFailure(const std::string& path, TFileMode mode,
                                   const std::string& reason);

// path made absolute against workingDir and normalized as text: "." components dropped,
// each ".." resolved against the component before it (at the root it stays there),
// repeated "/" collapsed. Symbolic links are not resolved.
std::string FullPath(const std::string& path, const std::string& workingDir);

// FullPath against the process's working directory.
std::string ExpandPath(const std::string& path);

}  // namespace lumera
