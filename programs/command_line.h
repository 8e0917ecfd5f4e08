// What the command lines of lumera-pack and lumera-explain share: the usage error, byte
// counts such as "64M", the name of an input in messages, and how a program ends.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/exceptions.h"
#include "platform/option_parser.h"

namespace lumera {

// The command line is wrong; the program prints the message, a hint to see --help, and
// exits with status 2.
class EUsage : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EUsage"; }
};

// A failure, and on a line of its own after it, what the user may do instead.
class EHinted : public Exception {
 public:
  EHinted(std::string message, std::string hint)
      : Exception(std::move(message)), FHint(std::move(hint)) {}
  const char* ClassName() const override { return "EHinted"; }
  const std::string& Hint() const { return FHint; }

 private:
  std::string FHint;
};

inline constexpr int kUsageStatus = 2;
// What a shell shows for a program killed by SIGPIPE: the status of a program whose
// reader went away.
inline constexpr int kBrokenPipeStatus = 141;

// How much of an input is read, by default and at most, and of an executable.
inline constexpr uint64_t kDefaultMaxInput = uint64_t{64} << 20;
inline constexpr uint64_t kMaxInputCeiling = (uint64_t{1} << 31) - 1;
inline constexpr uint64_t kExecutableBound = uint64_t{1} << 30;

// A decimal count of bytes with an optional binary suffix K, M or G (either case), at
// most ceiling. Raises EUsage naming option otherwise.
uint64_t ParseByteCount(std::string_view option, std::string_view text, uint64_t ceiling);

// An input as messages name it: the path as given, "standard input" for "-".
std::string DisplayName(const std::string& path);

// The whole of an input ("-": standard input), at most bound bytes. A failure names the
// input; an input past the bound is refused with aboutBound after the bound, which says
// what sets it.
std::vector<uint8_t> ReadInput(const std::string& path, uint64_t bound,
                               std::string_view aboutBound = "; --max-input sets the bound");

// The options and operands of argv, with the operands' wildcards expanded where the
// shell leaves that to the program (see ExpandWildcards), or a usage error naming the
// option that is unknown, needs a value or takes none.
TParsedCommandLine ReadCommandLine(int argc, char** argv, std::span<const TOptionEntry> options);

// "PROGRAM: MESSAGE" on standard error.
void SayError(std::string_view program, std::string_view message);

// "PROGRAM: hint: HINT" on standard error, the line after a failure's message.
void SayHint(std::string_view program, std::string_view hint);

// SayError of the failure's message, then for EHinted its SayHint.
void SayFailure(std::string_view program, const Exception& failure);

// A path as a command to suggest writes it: in double quotes when it holds more than
// letters, digits and the characters of plain paths.
std::string CommandWord(const std::string& path);

// For a stream that does not decode: when bytes are an executable, the hint to take its
// stream out with lumera-pack -x.
std::optional<std::string> ExecutableHint(const std::string& path, std::span<const uint8_t> bytes);

// Runs a program's body and returns its exit status. A failure that escapes the body ends
// the program with its message on standard error: status 2 with a hint to see --help
// after a usage error, 1 after any other. A closed pipe on standard output ends it
// quietly with kBrokenPipeStatus.
int RunProgram(std::string_view program, const std::function<int()>& body);

// A program's whole main(): a closed pipe is an error to report rather than a signal,
// the standard streams are prepared, and body gets the command line as the system gave
// it, in UTF-8 on every system, under RunProgram.
int RunMain(std::string_view program, int argc, char** argv,
            const std::function<int(int, char**)>& body);

}  // namespace lumera
