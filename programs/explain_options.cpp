#include "programs/explain_options.h"

#include <vector>

#include "platform/input_file.h"
#include "programs/option_table.h"

namespace lumera {

namespace {

constexpr const char* kUsageHead =
    "usage: lumera-explain [--json | --html PAGE [-f]] [--against FILE] [--max-output N]\n"
    "                      [--max-input N] STREAM\n"
    "Shows every event of a stream: each literal, repeat and the end marker, with its bits.\n"
    "STREAM - reads standard input.\n"
    "\n";

constexpr const char* kUsageTail =
    "\n"
    "Exit status: 0 done, 1 failure (also a stream that fails to decode), 2 usage error,\n"
    "3 the output differs from the --against FILE, 141 the reader of standard output went\n"
    "away.\n";

std::function<void(const TGiven&)> SetsFormat(TExplainOptions& options, TExplainFormat format) {
  return [&options, format](const TGiven& given) {
    if (options.Format != TExplainFormat::Listing && options.Format != format) {
      throw EUsage("--json and --html cannot be used together");
    }
    options.Format = format;
    if (format == TExplainFormat::Page) options.Page = given.Value;
  };
}

std::vector<TOptionRow> ExplainRows(TExplainOptions& options) {
  return {
      {{"--json"},
       "",
       "JSON Lines on standard output, one object per event",
       SetsFormat(options, TExplainFormat::Json)},
      {{"--html"},
       "PAGE",
       "a self-contained heat-map page in PAGE (- for standard output)",
       SetsFormat(options, TExplainFormat::Page)},
      {{"-f", "--force"}, "", "replace an existing PAGE", Sets(options.Force)},
      {{"--against"},
       "FILE",
       "compare the decoded output with FILE; exit status 3 if they differ",
       [&options](const TGiven& given) { options.Against = given.Value; }},
      {{"--max-output"},
       "N",
       "stop after N decoded bytes (suffix K, M or G; default 64M, at most 2147483647)",
       SetsByteCount(options.MaxOutput, kMaxOutputCeiling)},
      {{"--max-input"},
       "N",
       "read at most N bytes of STREAM and FILE (default 64M, at most 2147483647)",
       SetsByteCount(options.MaxInput, kMaxInputCeiling)},
      HelpRow(options.Help),
      VersionRow(options.Version),
  };
}

}  // namespace

TExplainOptions ParseExplainCommandLine(int argc, char** argv) {
  TExplainOptions options;
  const std::vector<std::string> operands = ParseWithTable(argc, argv, ExplainRows(options));
  if (options.Help || options.Version) return options;
  if (operands.empty()) throw EUsage("no STREAM given");
  if (operands.size() > 1) {
    throw EUsage("one STREAM at a time; unexpected '" + operands[1] + "'");
  }
  options.Stream = operands[0];
  if (options.Stream == kStandardStream && options.Against == kStandardStream) {
    throw EUsage(
        "standard input ('-') can be read only once: it cannot be both STREAM and "
        "the --against FILE");
  }
  return options;
}

std::string ExplainUsageText() {
  TExplainOptions unused;
  return kUsageHead +
         HelpLine("(default)", "a listing on standard output: one line per event, then a summary") +
         OptionsHelp(ExplainRows(unused)) +
         HelpLine("--", "end the options: what follows is STREAM") + kUsageTail;
}

}  // namespace lumera
