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
#include "programs/explain_options.h"

namespace lumera {
namespace {

constexpr const char* kProgram = "lumera-explain";

constexpr int kDiffers = 3;

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

void WriteReport(std::ostream& out, const TExplainOptions& options, const TExploration& run,
                 const TComparison* against) {
  switch (options.Format) {
    case TExplainFormat::Listing:
      WriteListing(out, run, against);
      break;
    case TExplainFormat::Json:
      WriteJsonLines(out, run, against);
      break;
    case TExplainFormat::Page:
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
void WritePageFile(const TExplainOptions& options, const TExploration& run,
                   const TComparison* against) {
  std::vector<std::string> inputs = {options.Stream};
  if (options.Against) inputs.push_back(*options.Against);
  CheckOutputTarget(inputs, options.Page, options.Force);
  TOutputFile file(options.Page);
  WriteThrough(file, [&](std::ostream& out) { WriteReport(out, options, run, against); });
  if (against) WriteStandardOutput(VerdictText(*against, run.Events) + "\n");
  file.Commit();
}

int Run(const TExplainOptions& options) {
  // Both inputs are read before the work starts, so that a missing file fails at once.
  const std::vector<uint8_t> stream = ReadInput(options.Stream, options.MaxInput);
  const std::optional<std::vector<uint8_t>> known =
      options.Against ? std::optional(ReadInput(*options.Against, options.MaxInput)) : std::nullopt;
  const TExploration run = Explore(stream, options.MaxOutput);
  std::optional<TComparison> against;
  if (known) against = Compare(run, *known, DisplayName(*options.Against));
  const TComparison* verdict = against ? &*against : nullptr;
  if (options.Format == TExplainFormat::Page && options.Page != kStandardStream) {
    WritePageFile(options, run, verdict);
  } else {
    TOutputFile out(kStandardStream);
    WriteThrough(out, [&](std::ostream& report) { WriteReport(report, options, run, verdict); });
  }
  if (run.Failure) {
    SayError(kProgram, DisplayName(options.Stream) + ": " + FailureSentence(*run.Failure));
    if (const auto hint = ExecutableHint(options.Stream, stream)) SayHint(kProgram, *hint);
    return 1;
  }
  return against && against->Verdict != TVerdict::Matches ? kDiffers : 0;
}

int Main(int argc, char** argv) {
  const TExplainOptions options = ParseExplainCommandLine(argc, argv);
  if (options.Help) {
    WriteStandardOutput(ExplainUsageText());
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
