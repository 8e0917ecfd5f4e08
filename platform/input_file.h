// Inputs that the programs read whole: a file, a pipe, a device, or standard input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace lumera {

// The name by which a program's user means standard input or standard output.
inline constexpr const char* kStandardStream = "-";

// An input holds more than the bound it was read with.
class EInputTooLarge : public Exception {
 public:
  EInputTooLarge(uint64_t bound, const char* file = __builtin_FILE(), int line = __builtin_LINE());
  const char* ClassName() const override { return "EInputTooLarge"; }
  uint64_t Bound() const { return FBound; }

 private:
  uint64_t FBound;
};

// Everything the input at path holds, read sequentially to its end, so that pipes and
// devices without a size are read as files are; "-" is standard input. A regular file is
// held with sharing denied while it is read. Raises EFOpenError when the input cannot be
// opened and EInOutError when reading fails, each with the system's text as the message,
// and EInputTooLarge, having read at most one byte past it, for an input longer than bound.
std::vector<uint8_t> ReadWholeInput(const std::string& path, uint64_t bound);

// Whether path names a regular file, following links; false for "-", pipes, devices and
// paths that name nothing.
bool IsRegularFile(const std::string& path);

}  // namespace lumera
