#include "platform/stream.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"

namespace lumera {

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (FPosition >= FBytes.size()) return 0;
  const size_t delivered = std::min(count, FBytes.size() - FPosition);
  std::memcpy(buffer, FBytes.data() + FPosition, delivered);
  FPosition += delivered;
  return delivered;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (FBytes.size() < FPosition + count) FBytes.resize(FPosition + count);
  std::memcpy(FBytes.data() + FPosition, buffer, count);
  FPosition += count;
  return count;
}

size_t SeekTarget(int64_t position, int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::Beginning ? 0 : position;
  if (offset < -base) throw EInOutError("Seek before the start of a stream.");
  return static_cast<size_t>(base + offset);
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(Position(), offset, origin);
  return Position();
}

}  // namespace lumera
