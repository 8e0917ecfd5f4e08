// lumera-explain: every event of a whole stream, as a listing, as JSON Lines or as a
// heat-map page, optionally checked against a known decoding.
#include <cstdio>
#include <exception>
#include <optional>
#include <ostream>
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
    "usage: lumera-explain [--json | --html PAGE [-f]] [--against FILE] [--max-output N]\n"
    "                      [--max-input N] STREAM\n"
    "Shows every event of a stream: each literal, repeat and the end marker, with its bits.\n"
    "STREAM - reads standard input.\n"
    "\n"
    "  (default)           a listing on standard output: one line per event, then a summary\n"
    "      --json          JSON Lines on standard output, one object per event\n"
    "      --html PAGE     a self-contained heat-map page in PAGE (- for standard output)\n"
    "  -f, --force         replace an existing PAGE\n"
    "      --against FILE  compare the decoded output with FILE; exit status 3 if they differ\n"
    "      --max-output N  stop after N decoded bytes (suffix K, M or G; default 64M,\n"
    "                      at most 2147483647)\n"
    "      --max-input N   read at most N bytes of STREAM and FILE (default 64M, at most\n"
    "                      2147483647)\n"
    "  -h, --help          show this text\n"
    "  -V, --version       show the version\n"
    "  --                  end the options: what follows is STREAM\n"
    "\n"
    "Exit status: 0 done, 1 failure (also a stream that fails to decode), 2 usage error,\n"
    "3 the output differs from the --against FILE, 141 the reader of standard output went\n"
    "away.\n";

constexpr int kDiffers = 3;

enum class TFormat { Listing, Json, Page };

struct TOptions {
  TFormat Format = TFormat::Listing;
  std::string Page;
  std::optional<std::string> Against;
  uint64_t MaxOutput = kDefaultMaxOutput;
  uint64_t MaxInput = kDefaultMaxInput;
  bool Force = false;
  std::string Stream;
  bool Help = false;
  bool Version = false;
};

enum TLongOnly { kJson = 256, kHtml, kAgainst, kMaxOutput, kMaxInput };

void SetFormat(TOptions& options, TFormat format) {
  if (options.Format != TFormat::Listing && options.Format != format) {
    throw EUsage("--json and --html cannot be used together");
  }
  options.Format = format;
}

TOptions ParseOptions(int argc, char** argv) {
  static constexpr TOptionSpec kOptions[] = {
      {"help", 'h', false, 'h'},
      {"version", 'V', false, 'V'},
      {"force", 'f', false, 'f'},
      {"json", 0, false, kJson},
      {"html", 0, true, kHtml},
      {"against", 0, true, kAgainst},
      {"max-output", 0, true, kMaxOutput},
      {"max-input", 0, true, kMaxInput},
  };
  const TParsedCommandLine parsed = ReadCommandLine(argc, argv, kOptions);
  TOptions options;
  for (const auto& [code, value] : parsed.Options) {
    switch (code) {
      case 'f':
        options.Force = true;
        break;
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
        options.Page = value;
        break;
      case kAgainst:
        options.Against = value;
        break;
      case kMaxOutput:
        options.MaxOutput = ParseByteCount("--max-output", value, kMaxOutputCeiling);
        break;
      case kMaxInput:
        options.MaxInput = ParseByteCount("--max-input", value, kMaxInputCeiling);
        break;
    }
  }
  if (options.Help || options.Version) return options;
  const std::vector<std::string>& operands = parsed.Operands;
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

// Writes what write puts out to out, a chunk at a time, and raises its first failure.
template <class F>
void WriteThrough(TOutputFile& out, F write) {
  TOutputFileBuffer buffer(out);
  std::ostream stream(&buffer);
  write(stream);
  buffer.Finish();
}

// The page goes to its own file, which is put in place only once the whole page is there
// and the verdict, which the one who asked for it reads on the console, is out.
void WritePageFile(const TOptions& options, const TExploration& run, const TComparison* against) {
  std::vector<std::string> inputs = {options.Stream};
  if (options.Against) inputs.push_back(*options.Against);
  CheckOutputTarget(inputs, options.Page, options.Force);
  TOutputFile file(options.Page);
  WriteThrough(file, [&](std::ostream& out) { WriteReport(out, options, run, against); });
  if (against) WriteStandardOutput(VerdictText(*against, run.Events) + "\n");
  file.Commit();
}

int Run(const TOptions& options) {
  // Both inputs are read before the work starts, so that a missing file fails at once.
  const std::vector<uint8_t> stream = ReadInput(options.Stream, options.MaxInput);
  const std::optional<std::vector<uint8_t>> known =
      options.Against ? std::optional(ReadInput(*options.Against, options.MaxInput)) : std::nullopt;
  const TExploration run = Explore(stream, options.MaxOutput);
  std::optional<TComparison> against;
  if (known) against = Compare(run, *known, DisplayName(*options.Against));
  const TComparison* verdict = against ? &*against : nullptr;
  if (options.Format == TFormat::Page && options.Page != kStandardStream) {
    WritePageFile(options, run, verdict);
  } else {
    TOutputFile out(kStandardStream);
    WriteThrough(out, [&](std::ostream& report) { WriteReport(report, options, run, verdict); });
  }
  if (run.Failure) {
    SayError(kProgram, DisplayName(options.Stream) + ": " + FailureSentence(*run.Failure));
    return 1;
  }
  return against && against->Verdict != TVerdict::Matches ? kDiffers : 0;
}

int Main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  if (options.Help) {
    WriteStandardOutput(kUsage);
  } else if (options.Version) {
    WriteStandardOutput(std::string(kProgram) + " " + kVersion + "\n");
  } else {
    return Run(options);
  }
  return 0;
}

}  // namespace
}  // namespace lumera

int main(int argc, char** argv) {
  return lumera::RunMain(lumera::kProgram, argc, argv, lumera::Main);
}
