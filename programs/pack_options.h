// lumera-pack's command line: its options, then the inputs and outputs they name, in the
// shape that users of the common compressors expect.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "encoder/pack.h"
#include "engine/stream_decode.h"
#include "platform/input_file.h"
#include "programs/command_line.h"
#include "programs/resource_commands.h"

namespace lumera {

// Extract (-x), ListResources and Replace work on the resources of executables.
enum class TCliMode { Compress, Decompress, Test, List, Extract, ListResources, Replace };

inline constexpr const char* kStreamSuffix = ".lum";

enum class TVerbosity { Quiet, Normal, Verbose };

struct TCliOptions {
  TCliMode Mode = TCliMode::Compress;
  bool ToStdout = false;  // -c
  bool Force = false;     // -f
  bool Multiple = false;  // -m
  bool Help = false;
  bool Version = false;
  TVerbosity Verbosity = TVerbosity::Normal;
  int Level = kFastestLevel;
  bool LevelGiven = false;  // with --replace, NEW is then text to pack at Level
  uint64_t MaxOutput = kDefaultMaxOutput;
  uint64_t MaxInput = kDefaultMaxInput;  // of each stream or text read whole
  bool AllowTrailing = false;            // --allow-trailing: an early end is no failure
  std::vector<std::string> Operands;     // the arguments that are not options, in order
  TResourceOptions Resource;             // --name, --id, --type, --language
  bool DecodeExtracted = false;          // -x -d
  std::string Replacement;               // --replace NEW
  bool ForceStream = false;              // --force-stream: NEW need not decode
  bool StripSignature = false;           // --strip-signature
  bool Events = false;                   // --events: INPUT, or NEW, is a list of events
};

// Parses argv as ParseOptions does, with "--" ending the options. Raises EUsage naming an
// unknown option, a missing or bad option argument.
TCliOptions ParseCommandLine(int argc, char** argv);

// One input and where its result goes. Output is empty for -t and -l, which write
// nothing, and for an input whose output takes its default name (see DefaultOutputName).
struct TJob {
  std::string Input;
  std::string Output;
};

// What the operands ask for. stdinIsTerminal decides whether a missing INPUT means
// standard input. Raises EUsage for operands that make no sense together.
std::vector<TJob> PlanJobs(const TCliOptions& options, bool stdinIsTerminal);

// FILE.lum for a FILE to pack, FILE for a FILE.lum to decode, standard output for
// standard input. Raises Exception for a name to decode that does not end with ".lum".
std::string DefaultOutputName(const std::string& input, TCliMode mode);

// The usage text that -h prints.
std::string UsageText();

}  // namespace lumera
