// lumera-explain's command line: the report's format, the known text to compare with, the
// bounds, and the one STREAM.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/stream_decode.h"
#include "programs/command_line.h"

namespace lumera {

enum class TExplainFormat { Listing, Json, Page };

struct TExplainOptions {
  TExplainFormat Format = TExplainFormat::Listing;
  std::string Page;                   // --html PAGE
  std::optional<std::string> Against;  // --against FILE
  uint64_t MaxOutput = kDefaultMaxOutput;
  uint64_t MaxInput = kDefaultMaxInput;
  bool Force = false;  // -f
  std::string Stream;
  bool Help = false;
  bool Version = false;
};

// Parses argv as ParseOptions does, with "--" ending the options. Raises EUsage naming an
// unknown option, a missing or bad option argument, or operands that make no sense.
TExplainOptions ParseExplainCommandLine(int argc, char** argv);

// The usage text that -h prints.
std::string ExplainUsageText();

}  // namespace lumera
