#include "platform/input_file.h"

#include <optional>

#include "platform/system_handle.h"

namespace lumera {

EInputTooLarge::EInputTooLarge(uint64_t bound, const char* file, int line)
    : Exception("The input holds more than " + std::to_string(bound) + " bytes.", file, line),
      FBound(bound) {}

std::vector<uint8_t> ReadWholeInput(const std::string& path, uint64_t bound) {
  const TOwnedHandle input(path == kStandardStream ? StandardHandle(TStandardStream::Input)
                                                   : OpenWholeInput(path));
  std::vector<uint8_t> bytes;
  if (const std::optional<uint64_t> size = RegularFileSize(input.Get()); size && *size <= bound) {
    bytes.reserve(static_cast<size_t>(*size) + 1);
  }
  // One byte past the bound tells a longer input from one of exactly bound bytes.
  const uint64_t limit = bound == UINT64_MAX ? bound : bound + 1;
  if (const int error = ReadUpTo(input.Get(), bytes, limit); error != 0) {
    throw EInOutError(SystemErrorText(error));
  }
  if (bytes.size() > bound) throw EInputTooLarge(bound);
  return bytes;
}

}  // namespace lumera
