// What the command lines of lumera-pack and lumera-explain share: the usage error, byte
// counts such as "64M", the name of an input in messages, and how a program ends.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/exceptions.h"

namespace lumera {

// The command line is wrong; the program prints the message, a hint to see --help, and
// exits with status 2.
class EUsage : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EUsage"; }
};

inline constexpr int kUsageStatus = 2;

// A decimal count of bytes with an optional binary suffix K, M or G (either case), at
// most ceiling. Raises EUsage naming option otherwise.
uint64_t ParseByteCount(std::string_view option, std::string_view text, uint64_t ceiling);

// An input as messages name it: the path as given, "standard input" for "-".
std::string DisplayName(const std::string& path);

// "PROGRAM: MESSAGE" on standard error.
void SayError(std::string_view program, std::string_view message);

// Runs a program's body and returns its exit status. A failure that escapes the body ends
// the program with its message on standard error: status 2 with a hint to see --help
// after a usage error, 1 after any other.
int RunProgram(std::string_view program, const std::function<int()>& body);

}  // namespace lumera
