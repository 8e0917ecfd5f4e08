#include "programs/pack_options.h"

#include <getopt.h>

#include <algorithm>
#include <charconv>
#include <climits>
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
    "  -d, --decompress    decode a whole stream; FILE.lum gives FILE\n"
    "  -t, --test          decode each INPUT in memory and report; write nothing\n"
    "  -l, --list          list each INPUT's sizes, ratio, events and end\n"
    "  -c, --stdout        write to standard output\n"
    "  -f, --force         overwrite an existing OUTPUT\n"
    "  -m, --multiple      several INPUTs, each to its default name\n"
    "  -1 ... -9           compression level: 1 is the fast greedy parse (the default), 9\n"
    "                      weighs every choice by its cost; 2 to 8 are the same as 9\n"
    "      --best          the same as -9\n"
    "      --max-output N  decode at most N bytes (suffix K, M or G; default 64M,\n"
    "                      at most 2147483647)\n"
    "  -q, --quiet         report errors only\n"
    "  -v, --verbose       also report sizes and times\n"
    "  -x                  extract the stream in a resource of the executable INPUT;\n"
    "                      OUTPUT defaults to IDR_LUMERA.lum, with -d decoded to .xml\n"
    "      --name NAME     the resource's name (default IDR_LUMERA), or --id N\n"
    "      --type T        its type: a number, RCDATA (the default), ICON, ... or a name\n"
    "      --lang N        its language (default: the first in the file)\n"
    "      --list-resources  list every resource of each executable INPUT\n"
    "      --replace NEW   write INPUT, an executable, to OUTPUT with the stream NEW in\n"
    "                      place of the resource; NEW must fit the old one's room\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "\n"
    "Exit status: 0 on success, 1 on a failure, 2 on a usage error.\n";

// Codes of the long options that have no short form.
enum : int {
  kBestOption = 256,
  kMaxOutputOption,
  kNameOption,
  kIdOption,
  kTypeOption,
  kLangOption,
  kListResourcesOption,
  kReplaceOption
};

constexpr option kLongOptions[] = {
    {"compress", no_argument, nullptr, 'z'},
    {"decompress", no_argument, nullptr, 'd'},
    {"uncompress", no_argument, nullptr, 'd'},
    {"test", no_argument, nullptr, 't'},
    {"list", no_argument, nullptr, 'l'},
    {"stdout", no_argument, nullptr, 'c'},
    {"to-stdout", no_argument, nullptr, 'c'},
    {"force", no_argument, nullptr, 'f'},
    {"multiple", no_argument, nullptr, 'm'},
    {"best", no_argument, nullptr, kBestOption},
    {"max-output", required_argument, nullptr, kMaxOutputOption},
    {"name", required_argument, nullptr, kNameOption},
    {"id", required_argument, nullptr, kIdOption},
    {"type", required_argument, nullptr, kTypeOption},
    {"lang", required_argument, nullptr, kLangOption},
    {"list-resources", no_argument, nullptr, kListResourcesOption},
    {"replace", required_argument, nullptr, kReplaceOption},
    {"quiet", no_argument, nullptr, 'q'},
    {"verbose", no_argument, nullptr, 'v'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The leading ':' makes a missing argument report ':' apart from an unknown option '?';
// the leading '+' would stop at the first operand, so it is left out: options may follow
// operands, as users of the common compressors expect.
constexpr const char* kShortOptions = ":123456789cdfhlmqtvVxz";

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
bool ApplyResourceOption(TCliOptions& options, int code, const char* value) {
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
}

// "--name=value" where --name takes no value: getopt_long then reports the long option's
// short code in optopt, which must not be taken for a short option the user gave.
bool IsValueForFlag(std::string_view written) {
  const size_t equals = written.find('=');
  if (!written.starts_with("--") || equals == std::string_view::npos) return false;
  const std::string_view name = written.substr(2, equals - 2);
  for (const option& known : kLongOptions) {
    if (known.name != nullptr && name == known.name) return known.has_arg == no_argument;
  }
  return false;
}

// What getopt_long refused, in the user's words.
std::string RefusalText(int code, char** argv) {
  const std::string_view written = argv[optind - 1];
  if (IsValueForFlag(written)) {
    return "option '" + std::string(written.substr(0, written.find('='))) + "' takes no argument";
  }
  // A short option leaves its character in optopt; a long one leaves 0, or a code of its
  // own past the characters.
  const bool shortOption = optopt > 0 && optopt <= UCHAR_MAX;
  const std::string option = shortOption ? std::string("-") + static_cast<char>(optopt)
                                         : std::string(written.substr(0, written.find('=')));
  if (code == ':') return "option '" + option + "' needs an argument";
  return "unknown option '" + option + "'";
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
    case kBestOption:
      options.Level = kSmallestLevel;
      break;
    default:
      options.Level = code - '0';
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
  TCliOptions options;
  opterr = 0;
  optind = 0;  // a full reset, so that a second parse in one process starts afresh
  bool extract = false;
  for (;;) {
    optopt = 0;
    const int code = ::getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
    if (code == -1) break;
    if (code == '?' || code == ':') throw EUsage(RefusalText(code, argv));
    if (code == kMaxOutputOption) {
      options.MaxOutput = ParseByteCount("--max-output", optarg, kMaxOutputCeiling);
    } else if (code == 'x') {
      extract = true;
    } else if (!ApplyResourceOption(options, code, optarg)) {
      Apply(options, code);
    }
  }
  options.Operands.assign(argv + optind, argv + argc);
  SettleResourceMode(options, extract);
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
