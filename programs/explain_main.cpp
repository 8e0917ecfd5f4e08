// lumera-explain: every event of a whole stream, as a listing, as JSON Lines or as a
// heat-map page, optionally checked against a known decoding.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <iostream>
#include <optional>
#include <streambuf>
#include <string>
#include <vector>

#include "explore/comparison.h"
#include "explore/exploration.h"
#include "explore/heat_map.h"
#include "explore/json_lines.h"
#include "explore/listing.h"
#include "lumera_version.h"
#include "platform/exceptions.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/standard_streams.h"
#include "programs/command_line.h"

namespace lumera {
namespace {

constexpr const char* kProgram = "lumera-explain";

constexpr const char* kUsage =
    "usage: lumera-explain [--json | --html PAGE] [--against FILE] [--max-output N] STREAM\n"
    "Shows every event of a stream: each literal, repeat and the end marker, with its bits.\n"
    "STREAM - reads standard input.\n"
    "\n"
    "  (default)           a listing on standard output: one line per event, then a summary\n"
    "      --json          JSON Lines on standard output, one object per event\n"
    "      --html PAGE     a self-contained heat-map page in PAGE (- for standard output)\n"
    "      --against FILE  compare the decoded output with FILE; exit status 3 if they differ\n"
    "      --max-output N  stop after N decoded bytes (default 67108864, at most 2147483647)\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "\n"
    "Exit status: 0 done, 1 failure (also a stream that fails to decode), 2 usage error,\n"
    "3 the output differs from the --against FILE.\n";

constexpr int kDiffers = 3;

enum class TFormat { Listing, Json, Page };

struct TOptions {
  TFormat Format = TFormat::Listing;
  std::string Page;
  std::optional<std::string> Against;
  uint64_t MaxOutput = kDefaultMaxOutput;
  std::string Stream;
  bool Help = false;
  bool Version = false;
};

enum TLongOnly { kJson = 256, kHtml, kAgainst, kMaxOutput };

// The option as the user wrote it, for a message about it: a long one from its argument
// (without any "=value"), a short one from the letter getopt reports.
std::string OptionGiven(const char* argument, int letter) {
  const std::string given = argument;
  if (given.starts_with("--")) return given.substr(0, given.find('='));
  return std::string("-") + static_cast<char>(letter);
}

void SetFormat(TOptions& options, TFormat format) {
  if (options.Format != TFormat::Listing && options.Format != format) {
    throw EUsage("--json and --html cannot be used together");
  }
  options.Format = format;
}

TOptions ParseOptions(int argc, char** argv) {
  static const option kLong[] = {{"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},
                                 {"json", no_argument, nullptr, kJson},
                                 {"html", required_argument, nullptr, kHtml},
                                 {"against", required_argument, nullptr, kAgainst},
                                 {"max-output", required_argument, nullptr, kMaxOutput},
                                 {nullptr, 0, nullptr, 0}};
  TOptions options;
  opterr = 0;  // the messages below name the option in the user's words
  optind = 1;
  for (int c; (c = getopt_long(argc, argv, ":hV", kLong, nullptr)) != -1;) {
    switch (c) {
      case 'h':
        options.Help = true;
        break;
      case 'V':
        options.Version = true;
        break;
      case kJson:
        SetFormat(options, TFormat::Json);
        break;
      case kHtml:
        SetFormat(options, TFormat::Page);
        options.Page = optarg;
        break;
      case kAgainst:
        options.Against = optarg;
        break;
      case kMaxOutput:
        options.MaxOutput = ParseByteCount("--max-output", optarg, kMaxOutputCeiling);
        break;
      case ':':
        throw EUsage("option '" + OptionGiven(argv[optind - 1], optopt) + "' needs an argument");
      default:
        throw EUsage("unknown option '" + OptionGiven(argv[optind - 1], optopt) + "'");
    }
  }
  if (options.Help || options.Version) return options;
  if (optind >= argc) throw EUsage("no STREAM given");
  if (argc - optind > 1)
    throw EUsage("one STREAM at a time; unexpected '" + std::string(argv[optind + 1]) + "'");
  options.Stream = argv[optind];
  if (options.Stream == "-" && options.Against == "-") {
    throw EUsage("standard input cannot be both STREAM and the --against FILE");
  }
  return options;
}

// The whole of a file, a pipe or standard input ("-"), read to its end: a pipe has no
// size to go by.
std::vector<uint8_t> ReadInput(const std::string& path) {
  try {
    return ReadWholeInput(path, UINT64_MAX);
  } catch (const EFOpenError& e) {
    throw Exception("cannot open " + DisplayName(path) + ": " + e.Message());
  } catch (const EInOutError& e) {
    // A folder, or a device that fails, opens but cannot be read.
    throw Exception("cannot read " + DisplayName(path) + ": " + e.Message());
  }
}

// Hands what a writer puts out to an output file, a chunk at a time. A stream swallows
// what its buffer raises, so the first failure is kept for Finish to raise.
class TOutputFileBuffer : public std::streambuf {
 public:
  explicit TOutputFileBuffer(TOutputFile& file) : FFile(file) {
    setp(FChunk.data(), FChunk.data() + FChunk.size());
  }
  // Writes what is left and raises the first failure, if any.
  void Finish() {
    sync();
    if (FFailure) std::rethrow_exception(FFailure);
  }

 protected:
  int_type overflow(int_type c) override {
    if (sync() != 0) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) sputc(traits_type::to_char_type(c));
    return traits_type::not_eof(c);
  }
  int sync() override {
    if (FFailure) return -1;
    try {
      FFile.Write(
          {reinterpret_cast<const uint8_t*>(pbase()), static_cast<size_t>(pptr() - pbase())});
    } catch (...) {
      FFailure = std::current_exception();
      return -1;
    }
    setp(FChunk.data(), FChunk.data() + FChunk.size());
    return 0;
  }

 private:
  TOutputFile& FFile;
  std::vector<char> FChunk = std::vector<char>(size_t{1} << 16);
  std::exception_ptr FFailure;
};

void WriteReport(std::ostream& out, const TOptions& options, const TExploration& run,
                 const TComparison* against) {
  switch (options.Format) {
    case TFormat::Listing:
      WriteListing(out, run, against);
      break;
    case TFormat::Json:
      WriteJsonLines(out, run, against);
      break;
    case TFormat::Page:
      WritePage(out, run, against, DisplayName(options.Stream));
      break;
  }
}

void RequireWritten(std::ostream& out, const std::string& where) {
  out.flush();
  if (!out) throw EInOutError("cannot write " + where + ": " + SystemErrorText(errno));
}

// The page goes to its own file, which is put in place only once the whole page is there.
void WritePageFile(const TOptions& options, const TExploration& run, const TComparison* against) {
  TOutputFile file(options.Page);
  TOutputFileBuffer buffer(file);
  std::ostream page(&buffer);
  WriteReport(page, options, run, against);
  buffer.Finish();
  file.Commit();
}

int Run(const TOptions& options) {
  const std::vector<uint8_t> stream = ReadInput(options.Stream);
  // Both inputs are read before the work starts, so that a missing file fails at once.
  const std::optional<std::vector<uint8_t>> known =
      options.Against ? std::optional(ReadInput(*options.Against)) : std::nullopt;
  const TExploration run = Explore(stream, options.MaxOutput);
  std::optional<TComparison> against;
  if (known) against = Compare(run, *known, DisplayName(*options.Against));
  const TComparison* verdict = against ? &*against : nullptr;
  if (options.Format == TFormat::Page && options.Page != "-") {
    WritePageFile(options, run, verdict);
    // The page holds the verdict too, but the one who asked for it reads the console.
    if (verdict) std::cout << VerdictText(*verdict, run.Events) << '\n';
  } else {
    WriteReport(std::cout, options, run, verdict);
  }
  RequireWritten(std::cout, "standard output");
  if (run.Failure) {
    SayError(kProgram, DisplayName(options.Stream) + ": " + FailureSentence(*run.Failure));
    return 1;
  }
  return against && against->Verdict != TVerdict::Matches ? kDiffers : 0;
}

int Main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  if (options.Help) {
    std::cout << kUsage;
  } else if (options.Version) {
    std::cout << kProgram << ' ' << kVersion << '\n';
  } else {
    return Run(options);
  }
  RequireWritten(std::cout, "standard output");
  return 0;
}

}  // namespace
}  // namespace lumera

int main(int argc, char** argv) {
  lumera::IgnoreBrokenPipeSignal();
  lumera::PrepareStandardStreams();
  std::ios::sync_with_stdio(false);
  lumera::TArgv args(argc, argv);
  return lumera::RunProgram(lumera::kProgram, [&] { return lumera::Main(args.Count(), args.Values()); });
}
