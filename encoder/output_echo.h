// The output that the packer's mirror decoder writes and reads back. When the packer
// codes a known input, the output is that input's prefix, so it is not stored again: the
// stream only counts, and checks each byte written against the input. Without an input
// (scripted streams), it keeps the bytes it is given.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/stream.h"

namespace lumera {

class TOutputEcho : public TStream {
 public:
  TOutputEcho() = default;
  explicit TOutputEcho(std::span<const uint8_t> expected) : FExpected(expected), FEchoes(true) {}

  size_t Read(void* buffer, size_t count) override;
  // Raises std::logic_error for a byte that differs from the expected input.
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Position() const override { return static_cast<int64_t>(FPosition); }
  int64_t Size() const override { return static_cast<int64_t>(FSize); }

  // Forgets every byte from size on; the position goes to the end.
  void Truncate(size_t size);
  std::span<const uint8_t> Bytes() const;

 private:
  const uint8_t* Data() const { return FEchoes ? FExpected.data() : FOwn.data(); }

  std::span<const uint8_t> FExpected;
  bool FEchoes = false;
  std::vector<uint8_t> FOwn;
  size_t FSize = 0;
  size_t FPosition = 0;
};

}  // namespace lumera
