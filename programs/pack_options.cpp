#include "programs/pack_options.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>
#include <string_view>

#include "programs/option_table.h"

namespace lumera {

namespace {

constexpr const char* kUsageHead =
    "usage: lumera-pack [OPTIONS] [INPUT [OUTPUT]]\n"
    "Packs INPUT into a stream, by default INPUT.lum, or decodes one with -d.\n"
    "INPUT or OUTPUT '-' is standard input or standard output; with no INPUT, standard\n"
    "input is read when it is not a terminal.\n"
    "\n";

constexpr const char* kUsageTail =
    "\n"
    "Exit status: 0 on success, 1 on a failure, 2 on a usage error; 141 when the reader\n"
    "of standard output went away.\n";

// What the options set, and what the checks after them need to know.
struct TPackCommandLine {
  TCliOptions Options;
  bool Extract = false;  // -x, which combines with -d
  bool ReplaceGiven = false;
  std::string ModeGiven;  // the first option that --replace cannot go with
};

// --id and --language: a resource's numbers are 16 bits.
std::function<void(const TGiven&)> SetsResourceNumber(std::optional<uint32_t>& number) {
  return [&number](const TGiven& given) {
    uint32_t value = 0;
    const std::string& text = given.Value;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value > 0xFFFF) {
      throw EUsage(std::string(given.Name) + " wants a number from 0 to 65535, not '" + text + "'");
    }
    number = value;
  };
}

std::function<void(const TGiven&)> SetsText(std::optional<std::string>& text) {
  return [&text](const TGiven& given) { text = given.Value; };
}

// The options that choose what to do, or where to write: --replace cannot go with any of
// them, so the first one given is noted.
std::function<void(const TGiven&)> Chooses(TPackCommandLine& line,
                                           const std::function<void()>& choose) {
  return [&line, choose](const TGiven& given) {
    if (line.ModeGiven.empty()) line.ModeGiven = given.Name;
    choose();
  };
}

std::function<void(const TGiven&)> ChoosesMode(TPackCommandLine& line, TCliMode mode) {
  return Chooses(line, [&line, mode] { line.Options.Mode = mode; });
}

std::vector<TOptionRow> PackRows(TPackCommandLine& line) {
  TCliOptions& options = line.Options;
  TResourceOptions& resource = options.Resource;
  const auto level = [&options](const TGiven& given) {
    options.Level = given.Name == "--best" ? kSmallestLevel : given.Name[1] - '0';
    options.LevelGiven = true;
  };
  return {
      {{"-z", "--compress"}, "", "pack (the default)", ChoosesMode(line, TCliMode::Compress)},
      {{"-d", "--decompress", "--uncompress"},
       "",
       "decode a whole stream; FILE.lum gives FILE",
       ChoosesMode(line, TCliMode::Decompress)},
      {{"-t", "--test"},
       "",
       "decode each INPUT in memory and report; write nothing",
       ChoosesMode(line, TCliMode::Test)},
      {{"-l", "--list"},
       "",
       "list each INPUT's sizes, ratio, events and end",
       ChoosesMode(line, TCliMode::List)},
      {{"-c", "--stdout", "--to-stdout"},
       "",
       "write to standard output",
       Chooses(line, [&options] { options.ToStdout = true; })},
      {{"-f", "--force"},
       "",
       "overwrite an existing OUTPUT; pack a FILE.lum again to FILE.lum.lum",
       Sets(options.Force)},
      {{"-k", "--keep"}, "", "keep the inputs, as is always done", [](const TGiven&) {}},
      {{"-m", "--multiple"},
       "",
       "several INPUTs, each to its default name",
       Sets(options.Multiple)},
      {{"-1", "-2", "-3", "-4", "-5", "-6", "-7", "-8", "-9"},
       "",
       "compression level: 1 is the fast greedy parse (the default), 9 weighs every choice by "
       "its cost; 2 to 8 are the same as 9",
       level,
       "-1 ... -9"},
      {{"--best"}, "", "the same as -9", level},
      {{"--events"},
       "",
       "INPUT (with --replace, NEW) is a list of events, the JSON Lines of lumera-explain "
       "--json, packed as it stands",
       Sets(options.Events)},
      {{"--max-output"},
       "N",
       "decode at most N bytes (suffix K, M or G; default 64M, at most 2147483647)",
       SetsByteCount(options.MaxOutput, kMaxOutputCeiling)},
      {{"--max-input"},
       "N",
       "read at most N bytes of each stream or text (default 64M, at most 2147483647); "
       "executables are read up to 1G",
       SetsByteCount(options.MaxInput, kMaxInputCeiling)},
      {{"--allow-trailing"},
       "",
       "take a stream whose end marker comes with 4 or more source bytes after it, which "
       "otherwise counts as damaged",
       Sets(options.AllowTrailing)},
      {{"-q", "--quiet"},
       "",
       "report errors only",
       [&options](const TGiven&) { options.Verbosity = TVerbosity::Quiet; }},
      {{"-v", "--verbose"},
       "",
       "also report sizes and times",
       [&options](const TGiven&) { options.Verbosity = TVerbosity::Verbose; }},
      {{"-x"},
       "",
       "extract the stream in a resource of the executable INPUT; OUTPUT defaults to "
       "IDR_LUMERA.lum, with -d decoded to .xml",
       Chooses(line, [&line] { line.Extract = true; })},
      {{"--name"},
       "NAME",
       "the resource's name (default IDR_LUMERA), or --id N",
       SetsText(resource.Name)},
      {{"--id"}, "N", "the resource's number, instead of a name", SetsResourceNumber(resource.Id)},
      {{"--type"},
       "T",
       "its type: a number, RCDATA (the default), ICON, ... or a name",
       SetsText(resource.Type)},
      {{"--language", "--lang"},
       "N",
       "its language (default: the first in the file)",
       SetsResourceNumber(resource.Language)},
      {{"--all-languages"},
       "",
       "with --replace, put NEW in each language of the resource",
       Sets(resource.AllLanguages)},
      {{"--list-resources"},
       "",
       "list every resource of each executable INPUT",
       ChoosesMode(line, TCliMode::ListResources)},
      {{"--replace"},
       "NEW",
       "write INPUT, an executable, to OUTPUT with the stream NEW as the resource, growing the "
       "file if need be; NEW must decode to its end marker; with a level, NEW is text, packed "
       "first",
       [&line](const TGiven& given) {
         line.ReplaceGiven = true;
         line.Options.Mode = TCliMode::Replace;
         line.Options.Replacement = given.Value;
       }},
      {{"--force-stream"},
       "",
       "with --replace, take NEW without decoding it",
       Sets(options.ForceStream)},
      {{"--strip-signature"},
       "",
       "with --replace, remove a signature instead of refusing",
       Sets(options.StripSignature)},
      HelpRow(options.Help),
      VersionRow(options.Version),
  };
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
    throw EUsage("--name, --id, --type and --language go with -x or --replace");
  }
  if (selection.AllLanguages && options.Mode != TCliMode::Replace) {
    throw EUsage("--all-languages goes with --replace");
  }
  if (selection.AllLanguages && selection.Language) {
    throw EUsage("--language and --all-languages cannot both be given");
  }
  if (options.StripSignature && options.Mode != TCliMode::Replace) {
    throw EUsage("--strip-signature goes with --replace");
  }
  if (options.ForceStream && options.LevelGiven && options.Mode == TCliMode::Replace) {
    throw EUsage("--force-stream and a level cannot be used together: a level packs NEW as text");
  }
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
  TPackCommandLine line;
  line.Options.Operands = ParseWithTable(argc, argv, PackRows(line));
  if (line.ReplaceGiven && !line.ModeGiven.empty()) {
    throw EUsage("--replace and " + line.ModeGiven + " cannot be used together");
  }
  SettleResourceMode(line.Options, line.Extract);
  SettleEvents(line.Options);
  return line.Options;
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
  TPackCommandLine unused;
  return kUsageHead + OptionsHelp(PackRows(unused)) +
         HelpLine("--", "end the options: what follows is an operand") + kUsageTail;
}

}  // namespace lumera
