#include "programs/pack_options.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace lumera {

namespace {

constexpr const char* kUsage =
    "usage: lumera-pack [OPTIONS] [INPUT [OUTPUT]]\n"
    "Packs INPUT into a stream, by default INPUT.lum, or decodes one with -d.\n"
    "INPUT or OUTPUT '-' is standard input or standard output; with no INPUT, standard\n"
    "input is read when it is not a terminal.\n"
    "\n"
    "  -z, --compress      pack (the default)\n"
    "  -d, --decompress, --uncompress\n"
    "                      decode a whole stream; FILE.lum gives FILE\n"
    "  -t, --test          decode each INPUT in memory and report; write nothing\n"
    "  -l, --list          list each INPUT's sizes, ratio, events and end\n"
    "  -c, --stdout, --to-stdout\n"
    "                      write to standard output\n"
    "  -f, --force         overwrite an existing OUTPUT\n"
    "  -m, --multiple      several INPUTs, each to its default name\n"
    "  -1 ... -9           compression level: 1 is the fast greedy parse (the default), 9\n"
    "                      weighs every choice by its cost; 2 to 8 are the same as 9\n"
    "      --best          the same as -9\n"
    "      --events        INPUT (with --replace, NEW) is a list of events, the JSON Lines\n"
    "                      of lumera-explain --json, packed as it stands\n"
    "      --max-output N  decode at most N bytes (suffix K, M or G; default 64M,\n"
    "                      at most 2147483647)\n"
    "      --max-input N   read at most N bytes of each stream or text (default 64M, at\n"
    "                      most 2147483647); executables are read up to 1G\n"
    "  -q, --quiet         report errors only\n"
    "  -v, --verbose       also report sizes and times\n"
    "  -x                  extract the stream in a resource of the executable INPUT;\n"
    "                      OUTPUT defaults to IDR_LUMERA.lum, with -d decoded to .xml\n"
    "      --name NAME     the resource's name (default IDR_LUMERA), or --id N\n"
    "      --type T        its type: a number, RCDATA (the default), ICON, ... or a name\n"
    "      --lang N        its language (default: the first in the file)\n"
    "      --list-resources  list every resource of each executable INPUT\n"
    "      --replace NEW   write INPUT, an executable, to OUTPUT with the stream NEW as\n"
    "                      the resource, growing the file if need be; NEW must decode to\n"
    "                      its end marker; with a level, NEW is text, packed first\n"
    "      --force-stream  with --replace, take NEW without decoding it\n"
    "      --strip-signature  with --replace, remove a signature instead of refusing\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "  --                  end the options: what follows is an operand\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure, 2 on a usage error; 141 when the reader\n"
    "of standard output went away.\n";

// Codes of the long options that have no short form.
enum : int {
  kBestOption = 256,
  kMaxOutputOption,
  kNameOption,
  kIdOption,
  kTypeOption,
  kLangOption,
  kListResourcesOption,
  kReplaceOption,
  kStripSignatureOption,
  kMaxInputOption,
  kForceStreamOption,
  kEventsOption
};

constexpr TOptionSpec kOptions[] = {
    {"compress", 'z', false, 'z'},
    {"decompress", 'd', false, 'd'},
    {"uncompress", 0, false, 'd'},
    {"test", 't', false, 't'},
    {"list", 'l', false, 'l'},
    {"stdout", 'c', false, 'c'},
    {"to-stdout", 0, false, 'c'},
    {"force", 'f', false, 'f'},
    {"multiple", 'm', false, 'm'},
    {"best", 0, false, kBestOption},
    {"events", 0, false, kEventsOption},
    {"max-output", 0, true, kMaxOutputOption},
    {"max-input", 0, true, kMaxInputOption},
    {"force-stream", 0, false, kForceStreamOption},
    {"name", 0, true, kNameOption},
    {"id", 0, true, kIdOption},
    {"type", 0, true, kTypeOption},
    {"lang", 0, true, kLangOption},
    {"list-resources", 0, false, kListResourcesOption},
    {"replace", 0, true, kReplaceOption},
    {"strip-signature", 0, false, kStripSignatureOption},
    {"quiet", 'q', false, 'q'},
    {"verbose", 'v', false, 'v'},
    {"help", 'h', false, 'h'},
    {"version", 'V', false, 'V'},
    {nullptr, 'x', false, 'x'},
    {nullptr, '1', false, '1'},
    {nullptr, '2', false, '2'},
    {nullptr, '3', false, '3'},
    {nullptr, '4', false, '4'},
    {nullptr, '5', false, '5'},
    {nullptr, '6', false, '6'},
    {nullptr, '7', false, '7'},
    {nullptr, '8', false, '8'},
    {nullptr, '9', false, '9'},
};

// --id and --lang: a resource's numbers are 16 bits.
uint32_t ParseResourceNumber(const char* option, std::string_view text) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end || value > 0xFFFF) {
    throw EUsage(std::string(option) + " wants a number from 0 to 65535, not '" +
                 std::string(text) + "'");
  }
  return value;
}

// The options with a value that select or replace a resource. Returns whether code was one.
bool ApplyResourceOption(TCliOptions& options, int code, const std::string& value) {
  switch (code) {
    case kNameOption:
      options.Resource.Name = value;
      return true;
    case kIdOption:
      options.Resource.Id = ParseResourceNumber("--id", value);
      return true;
    case kTypeOption:
      options.Resource.Type = value;
      return true;
    case kLangOption:
      options.Resource.Language = ParseResourceNumber("--lang", value);
      return true;
    case kReplaceOption:
      options.Mode = TCliMode::Replace;
      options.Replacement = value;
      return true;
  }
  return false;
}

// -x combines with -d, so the mode is settled once every option is read.
void SettleResourceMode(TCliOptions& options, bool extract) {
  const TCliMode mode = options.Mode;
  const bool packing = mode == TCliMode::Compress || mode == TCliMode::Decompress;
  if (extract && !packing) {
    throw EUsage("-x goes with -d only, not with -t, -l, --list-resources or --replace");
  }
  if (extract) {
    options.DecodeExtracted = mode == TCliMode::Decompress;
    options.Mode = TCliMode::Extract;
  }
  const TResourceOptions& selection = options.Resource;
  if (selection.Name && selection.Id) throw EUsage("--name and --id cannot both be given");
  const bool selects = selection.Name || selection.Id || selection.Type || selection.Language;
  if (selects && options.Mode != TCliMode::Extract && options.Mode != TCliMode::Replace) {
    throw EUsage("--name, --id, --type and --lang go with -x or --replace");
  }
  if (options.StripSignature && options.Mode != TCliMode::Replace) {
    throw EUsage("--strip-signature goes with --replace");
  }
  if (options.ForceStream && options.LevelGiven && options.Mode == TCliMode::Replace) {
    throw EUsage("--force-stream and a level cannot be used together: a level packs NEW as text");
  }
}

// The options that choose what to do, or where to write, as the user knows them: --replace
// cannot go with any of them.
const char* ModeOptionName(int code) {
  switch (code) {
    case 'z':
      return "-z";
    case 'd':
      return "-d";
    case 't':
      return "-t";
    case 'l':
      return "-l";
    case 'c':
      return "-c";
    case 'x':
      return "-x";
    case kListResourcesOption:
      return "--list-resources";
  }
  return nullptr;
}

// A list of events is packed as it stands, as INPUT or as NEW of --replace.
void SettleEvents(const TCliOptions& options) {
  if (!options.Events) return;
  if (options.Mode != TCliMode::Compress && options.Mode != TCliMode::Replace) {
    throw EUsage(
        "--events goes with packing or --replace, not with -d, -t, -l, -x or "
        "--list-resources");
  }
  if (options.LevelGiven || options.ForceStream) {
    throw EUsage(std::string("--events and ") +
                 (options.LevelGiven ? "a level" : "--force-stream") +
                 " cannot be used together: the events are packed as they stand");
  }
}

// Standard input has one content: it can be one input only.
void RequireStandardInputOnce(const std::vector<std::string>& inputs) {
  if (std::count(inputs.begin(), inputs.end(), kStandardStream) > 1) {
    throw EUsage("standard input ('-') can be read only once");
  }
}

void Apply(TCliOptions& options, int code) {
  switch (code) {
    case 'z':
      options.Mode = TCliMode::Compress;
      break;
    case 'd':
      options.Mode = TCliMode::Decompress;
      break;
    case 't':
      options.Mode = TCliMode::Test;
      break;
    case 'l':
      options.Mode = TCliMode::List;
      break;
    case 'c':
      options.ToStdout = true;
      break;
    case 'f':
      options.Force = true;
      break;
    case 'm':
      options.Multiple = true;
      break;
    case 'q':
      options.Verbosity = TVerbosity::Quiet;
      break;
    case 'v':
      options.Verbosity = TVerbosity::Verbose;
      break;
    case 'h':
      options.Help = true;
      break;
    case 'V':
      options.Version = true;
      break;
    case kListResourcesOption:
      options.Mode = TCliMode::ListResources;
      break;
    case kStripSignatureOption:
      options.StripSignature = true;
      break;
    case kEventsOption:
      options.Events = true;
      break;
    case kBestOption:
      options.Level = kSmallestLevel;
      options.LevelGiven = true;
      break;
    default:
      options.Level = code - '0';
      options.LevelGiven = true;
      break;  // '1' to '9'
  }
}

// -x reads EXE [OUTPUT], --replace EXE OUTPUT; -c stands for the OUTPUT.
std::vector<TJob> ResourceJob(const TCliOptions& options) {
  const std::vector<std::string>& operands = options.Operands;
  const bool replace = options.Mode == TCliMode::Replace;
  const size_t given = operands.size() + (options.ToStdout ? 1 : 0);
  if (operands.empty() || given > 2 || (replace && given < 2)) {
    throw EUsage(replace ? "--replace wants an executable and an OUTPUT"
                         : "-x wants an executable and at most an OUTPUT");
  }
  if (operands.size() == 2 && options.ToStdout) {
    throw EUsage("-c and an OUTPUT cannot both be given");
  }
  if (replace) RequireStandardInputOnce({operands[0], options.Replacement});
  if (options.ToStdout) return {{operands[0], kStandardStream}};
  return {{operands[0], operands.size() == 2 ? operands[1] : std::string()}};
}

std::vector<TJob> SingleJob(const TCliOptions& options, bool stdinIsTerminal) {
  const std::vector<std::string>& operands = options.Operands;
  if (operands.size() > 2) {
    throw EUsage("too many operands; use -m to give several inputs");
  }
  if (operands.size() == 2 && options.ToStdout) {
    throw EUsage("-c and an OUTPUT cannot both be given");
  }
  if (operands.empty() && stdinIsTerminal) {
    throw EUsage("no INPUT, and standard input is a terminal");
  }
  const std::string input = operands.empty() ? kStandardStream : operands[0];
  if (options.ToStdout) return {{input, kStandardStream}};
  return {{input, operands.size() == 2 ? operands[1] : std::string()}};
}

}  // namespace

TCliOptions ParseCommandLine(int argc, char** argv) {
  const TParsedCommandLine parsed = ReadCommandLine(argc, argv, kOptions);
  TCliOptions options;
  bool extract = false;
  const char* modeGiven = nullptr;  // the first option that --replace cannot go with
  bool replaceGiven = false;
  for (const auto& [code, value] : parsed.Options) {
    if (const char* name = ModeOptionName(code); name != nullptr && modeGiven == nullptr) {
      modeGiven = name;
    }
    replaceGiven = replaceGiven || code == kReplaceOption;
    if (code == kMaxOutputOption) {
      options.MaxOutput = ParseByteCount("--max-output", value, kMaxOutputCeiling);
    } else if (code == kMaxInputOption) {
      options.MaxInput = ParseByteCount("--max-input", value, kMaxInputCeiling);
    } else if (code == kForceStreamOption) {
      options.ForceStream = true;
    } else if (code == 'x') {
      extract = true;
    } else if (!ApplyResourceOption(options, code, value)) {
      Apply(options, code);
    }
  }
  options.Operands = parsed.Operands;
  if (replaceGiven && modeGiven != nullptr) {
    throw EUsage(std::string("--replace and ") + modeGiven + " cannot be used together");
  }
  SettleResourceMode(options, extract);
  SettleEvents(options);
  return options;
}

std::vector<TJob> PlanJobs(const TCliOptions& options, bool stdinIsTerminal) {
  if (options.Mode == TCliMode::Extract || options.Mode == TCliMode::Replace) {
    return ResourceJob(options);
  }
  const bool writes = options.Mode == TCliMode::Compress || options.Mode == TCliMode::Decompress;
  if (writes && !options.Multiple) return SingleJob(options, stdinIsTerminal);
  if (writes && options.ToStdout) {
    throw EUsage("-c cannot be used with -m: streams cannot be concatenated");
  }
  RequireStandardInputOnce(options.Operands);
  std::vector<TJob> jobs;
  for (const std::string& operand : options.Operands) jobs.push_back({operand, {}});
  if (jobs.empty() && stdinIsTerminal) {
    throw EUsage("no INPUT, and standard input is a terminal");
  }
  if (jobs.empty()) jobs.push_back({kStandardStream, {}});
  return jobs;
}

std::string DefaultOutputName(const std::string& input, TCliMode mode) {
  if (input == kStandardStream) return kStandardStream;
  if (mode == TCliMode::Compress) return input + kStreamSuffix;
  const std::string_view suffix = kStreamSuffix;
  if (input.size() <= suffix.size() || !input.ends_with(suffix)) {
    throw Exception(input + ": the name does not end with " + std::string(suffix) +
                    ", so there is no default OUTPUT; give one");
  }
  return input.substr(0, input.size() - suffix.size());
}

std::string UsageText() {
  return kUsage;
}

}  // namespace lumera
