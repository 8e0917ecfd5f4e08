#include "programs/command_line.h"

#include <algorithm>
#include <cctype>
#include <new>

#include "platform/input_file.h"
#include "platform/process.h"
#include "platform/standard_streams.h"
#include "resource/resources.h"

namespace lumera {

uint64_t ParseByteCount(std::string_view option, std::string_view text, uint64_t ceiling) {
  uint64_t value = 0;
  size_t pos = 0;
  for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
    // Held just past the ceiling once there, so that no count of digits can wrap it.
    value = std::min(value * 10 + static_cast<uint64_t>(text[pos] - '0'), ceiling + 1);
  }
  const std::string_view suffix = text.substr(pos);
  int shift = -1;
  if (suffix.empty()) shift = 0;
  if (suffix == "K" || suffix == "k") shift = 10;
  if (suffix == "M" || suffix == "m") shift = 20;
  if (suffix == "G" || suffix == "g") shift = 30;
  if (pos == 0 || shift < 0) {
    throw EUsage(std::string(option) + " wants a byte count such as 1048576 or 64M, not '" +
                 std::string(text) + "'");
  }
  if (value > (ceiling >> shift)) {
    throw EUsage(std::string(option) + " " + std::string(text) + " is past the ceiling of " +
                 std::to_string(ceiling) + " bytes");
  }
  return value << shift;
}

std::string DisplayName(const std::string& path) {
  return path == kStandardStream ? "standard input" : path;
}

std::vector<uint8_t> ReadInput(const std::string& path, uint64_t bound,
                               std::string_view aboutBound) {
  const std::string name = DisplayName(path);
  try {
    return ReadWholeInput(path, bound);
  } catch (const EFOpenError& e) {
    throw Exception(name + ": cannot open the input (" + e.Message() + ")");
  } catch (const EInputTooLarge& e) {
    throw Exception(name + ": longer than " + std::to_string(e.Bound()) + " bytes" +
                    std::string(aboutBound));
  } catch (const EInOutError& e) {
    throw Exception(name + ": cannot read the input (" + e.Message() + ")");
  }
}

TParsedCommandLine ReadCommandLine(int argc, char** argv, std::span<const TOptionEntry> options) {
  try {
    TParsedCommandLine parsed = ParseOptions(argc, argv, options);
    parsed.Operands = ExpandWildcards(std::move(parsed.Operands));
    return parsed;
  } catch (const EBadOption& e) {
    throw EUsage(e.Message());
  }
}

void SayError(std::string_view program, std::string_view message) {
  WriteStandardError(std::string(program) + ": " + std::string(message) + "\n");
}

void SayHint(std::string_view program, std::string_view hint) {
  SayError(program, "hint: " + std::string(hint));
}

void SayFailure(std::string_view program, const Exception& failure) {
  SayError(program, failure.Message());
  if (const auto* hinted = dynamic_cast<const EHinted*>(&failure)) SayHint(program, hinted->Hint());
}

std::string CommandWord(const std::string& path) {
  const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("._-/\\:+").find(c) != std::string_view::npos;
  });
  return plain ? path : "\"" + path + "\"";
}

std::optional<std::string> ExecutableHint(const std::string& path, std::span<const uint8_t> bytes) {
  if (!IsExecutable(bytes)) return std::nullopt;
  return DisplayName(path) + " is an executable; take its stream out with lumera-pack -x " +
         CommandWord(path);
}

int RunProgram(std::string_view program, const std::function<int()>& body) {
  try {
    return body();
  } catch (const EBrokenPipe&) {
    return kBrokenPipeStatus;
  } catch (const EUsage& e) {
    SayError(program, e.Message());
    WriteStandardError("Try '" + std::string(program) + " --help' for more information.\n");
    return kUsageStatus;
  } catch (const Exception& e) {
    SayFailure(program, e);
  } catch (const std::bad_alloc&) {
    SayError(program, "out of memory");
  }
  return 1;
}

int RunMain(std::string_view program, int argc, char** argv,
            const std::function<int(int, char**)>& body) {
  IgnoreBrokenPipeSignal();
  PrepareStandardStreams();
  TArgv args(argc, argv);
  return RunProgram(program, [&] { return body(args.Count(), args.Values()); });
}

}  // namespace lumera
