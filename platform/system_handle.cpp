#include "platform/system_handle.h"

#include <algorithm>

#include "platform/exceptions.h"

namespace lumera {

int ReadUpTo(TSystemHandle handle, std::vector<uint8_t>& bytes, uint64_t limit) {
  constexpr size_t kChunk = size_t{1} << 16;
  while (bytes.size() < limit) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(kChunk, limit - bytes.size()));
    const size_t had = bytes.size();
    bytes.resize(had + want);
    size_t got = 0;
    const int error = ReadSome(handle, bytes.data() + had, want, got);
    bytes.resize(had + got);
    if (error != 0) return error;
    if (got == 0) break;
  }
  return 0;
}

void RaiseWriteFailure(const std::string& name, int error) {
  const std::string message = name + ": cannot write the output (" + SystemErrorText(error) + ")";
  if (IsBrokenPipe(error)) throw EBrokenPipe(message);
  throw EInOutError(message);
}

}  // namespace lumera
