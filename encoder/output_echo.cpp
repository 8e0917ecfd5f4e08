#include "encoder/output_echo.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>


namespace lumera {

size_t TOutputEcho::Read(void* buffer, size_t count) {
  if (FPosition >= FSize) return 0;
  const size_t delivered = std::min(count, FSize - FPosition);
  std::memcpy(buffer, Data() + FPosition, delivered);
  FPosition += delivered;
  return delivered;
}

size_t TOutputEcho::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (FPosition != FSize) throw std::logic_error("the mirror's output is only appended to");
  if (FEchoes) {
    if (FSize + count > FExpected.size() ||
        std::memcmp(FExpected.data() + FSize, buffer, count) != 0) {
      throw std::logic_error("the mirror wrote other bytes than the input's");
    }
  } else {
    FOwn.insert(FOwn.end(), static_cast<const uint8_t*>(buffer),
                static_cast<const uint8_t*>(buffer) + count);
  }
  FSize += count;
  FPosition = FSize;
  return count;
}

int64_t TOutputEcho::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(Position(), offset, origin);
  return Position();
}

void TOutputEcho::Truncate(size_t size) {
  FSize = std::min(FSize, size);
  if (!FEchoes) FOwn.resize(FSize);
  FPosition = FSize;
}

std::span<const uint8_t> TOutputEcho::Bytes() const {
  return {Data(), FSize};
}

}  // namespace lumera
