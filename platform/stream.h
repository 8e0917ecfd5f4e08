// Byte streams: the engine reads its source and writes (and reads back) its output
// through this interface, so the same decoder can work on files or on memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumera {

enum class TSeekOrigin { Beginning, Current };

class TStream {
 public:
  virtual ~TStream() = default;
  // Both return the number of bytes moved; a read at the end, or one that fails,
  // delivers fewer bytes than asked (possibly none).
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Returns the new position. Moving before the start raises EInOutError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Position() const = 0;
  virtual int64_t Size() const = 0;
};

// Where a seek from position lands; raises EInOutError before the start.
size_t SeekTarget(int64_t position, int64_t offset, TSeekOrigin origin);

// A stream over a growable byte buffer. Writing past the end extends it.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Position() const override { return static_cast<int64_t>(FPosition); }
  int64_t Size() const override { return static_cast<int64_t>(FBytes.size()); }

  const std::vector<uint8_t>& Bytes() const { return FBytes; }

 private:
  std::vector<uint8_t> FBytes;
  size_t FPosition = 0;
};

}  // namespace lumera
