// lumera-pack: packs files into streams that the decompressor decodes, decodes whole
// streams silently, tests and lists them; driven as the common compressors are.
#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "encoder/pack.h"
#include "encoder/stream_packer.h"
#include "engine/stream_decode.h"
#include "explore/event_recorder.h"
#include "explore/exploration.h"
#include "lumera_version.h"
#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/standard_streams.h"
#include "programs/command_line.h"
#include "programs/pack_options.h"
#include "programs/resource_commands.h"

namespace lumera {

namespace {

constexpr const char* kProgram = "lumera-pack";

// What standard output carries (help, version, the listing) must arrive: a failed write
// is a failure of the run.
void WriteListing(const std::string& text) {
  try {
    WriteStandardOutput(text);
  } catch (const EInOutError& e) {
    throw Exception("cannot write to standard output (" + e.Message() + ")");
  }
}

std::vector<uint8_t> ReadInput(const std::string& path) {
  try {
    return ReadWholeInput(path, UINT64_MAX);
  } catch (const EFOpenError& e) {
    throw Exception(DisplayName(path) + ": cannot read the input (Cannot open file \"" +
                    ExpandPath(path) + "\". " + e.Message() + ")");
  } catch (const Exception& e) {
    throw Exception(DisplayName(path) + ": cannot read the input (" + e.Message() + ")");
  }
}

// A stream decoded whole, or the failure's sentence after the name the user gave it.
TDecodedStream Decode(const std::string& name, const std::vector<uint8_t>& stream,
                      uint64_t maxOutput) {
  TDecodedStream decoded = DecodeStream(stream, nullptr, maxOutput);
  if (decoded.Failure)
    throw Exception(DisplayName(name) + ": " + FailureSentence(*decoded.Failure));
  return decoded;
}

std::vector<uint8_t> Encode(const std::string& name, const std::vector<uint8_t>& input, int level) {
  try {
    return Pack(input, level);
  } catch (const ETooLarge& e) {
    throw Exception(DisplayName(name) + ": too large for the format at input offset " +
                    std::to_string(e.InputOffset()) + ": " + e.Reason());
  }
}

// A refusal from inside an executable, said after the name the user gave it.
template <class F>
auto InExecutable(const std::string& name, F action) {
  try {
    return action();
  } catch (const EBadExecutable& e) {
    throw Exception(DisplayName(name) + ": " + e.Message());
  } catch (const EDecodingFailed& e) {
    throw Exception(DisplayName(name) + ": " + e.Message());
  }
}

// The stream's share of the decoded size, as a percentage.
std::string Ratio(uint64_t streamBytes, uint64_t decodedBytes) {
  if (decodedBytes == 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f%%",
                100.0 * static_cast<double>(streamBytes) / static_cast<double>(decodedBytes));
  return text;
}

class TRun {
 public:
  explicit TRun(const TCliOptions& options) : FOptions(options) {}

  // Each job fails alone; the status says whether any did.
  int Run(const std::vector<TJob>& jobs) {
    bool failed = false;
    for (const TJob& job : jobs) {
      try {
        RunJob(job);
      } catch (const std::bad_alloc&) {
        SayError(kProgram, DisplayName(job.Input) + ": out of memory");
        failed = true;
      } catch (const Exception& e) {
        SayError(kProgram, e.Message());
        failed = true;
      }
    }
    return failed ? 1 : 0;
  }

 private:
  void RunJob(const TJob& job) {
    switch (FOptions.Mode) {
      case TCliMode::Compress:
      case TCliMode::Decompress:
        Convert(job);
        break;
      case TCliMode::Test:
        Test(job);
        break;
      case TCliMode::List:
        List(job);
        break;
      case TCliMode::Extract:
        Extract(job);
        break;
      case TCliMode::ListResources:
        ListResources(job);
        break;
      case TCliMode::Replace:
        Replace(job);
        break;
    }
  }

  bool Packing() const { return FOptions.Mode == TCliMode::Compress; }

  bool WritesBinary() const {
    const TCliMode mode = FOptions.Mode;
    return Packing() || mode == TCliMode::Replace ||
           (mode == TCliMode::Extract && !FOptions.DecodeExtracted);
  }

  void RefuseTerminal(bool terminal) const {
    if (WritesBinary() && terminal) {
      throw Exception(
          "compressed data is not written to a terminal, where it would only garble the "
          "screen; redirect standard output or give an OUTPUT");
    }
  }

  void Convert(const TJob& job) {
    const std::string output =
        job.Output.empty() ? DefaultOutputName(job.Input, FOptions.Mode) : job.Output;
    const auto start = std::chrono::steady_clock::now();
    size_t inputBytes = 0;
    size_t resultBytes = 0;
    bool leftOver = false;
    WriteOutput(job.Input, output, [&] {
      const std::vector<uint8_t> input = ReadInput(job.Input);
      std::vector<uint8_t> result;
      if (Packing()) {
        result = Encode(job.Input, input, FOptions.Level);
      } else {
        TDecodedStream decoded = Decode(job.Input, input, FOptions.MaxOutput);
        leftOver = decoded.UnusedSourceBytes > 0;
        result = std::move(decoded.Output);
      }
      inputBytes = input.size();
      resultBytes = result.size();
      return result;
    });
    if (leftOver) {
      Warn(DisplayName(job.Input) +
           ": warning: data extracted successfully but not the whole source stream has been "
           "used.");
    }
    if (FOptions.Verbosity == TVerbosity::Verbose) {
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      const size_t packed = Packing() ? resultBytes : inputBytes;
      const size_t plain = Packing() ? inputBytes : resultBytes;
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.3f s", took.count());
      WriteStandardError(DisplayName(job.Input) + ": " + std::to_string(inputBytes) + " -> " +
                         std::to_string(resultBytes) + " bytes (stream " + Ratio(packed, plain) +
                         " of the decoded size), " + seconds + "\n");
    }
  }

  void Test(const TJob& job) {
    const TDecodedStream decoded = Decode(job.Input, ReadInput(job.Input), FOptions.MaxOutput);
    if (FOptions.Verbosity != TVerbosity::Quiet) {
      WriteStandardError(DisplayName(job.Input) + ": OK (" + std::to_string(decoded.Output.size()) +
                         " decoded bytes)\n");
    }
    if (decoded.UnusedSourceBytes > 0)
      Warn(DisplayName(job.Input) + ": warning: source bytes left unused");
  }

  void List(const TJob& job) {
    const std::vector<uint8_t> stream = ReadInput(job.Input);
    TEventRecorder recorder;
    const TDecodedStream found = DecodeStream(stream, &recorder, FOptions.MaxOutput);
    const TSummary summary = Summarize(recorder.Events());
    if (!FListed) {
      WriteListing("  Stream   Decoded     Ratio  Literals   Repeats  End   Unused  Name\n");
      FListed = true;
    }
    char row[160];
    std::snprintf(row, sizeof row, "%8llu  %8llu  %8s  %8llu  %8llu  %-3s  %7s  ",
                  static_cast<unsigned long long>(stream.size()),
                  static_cast<unsigned long long>(found.Output.size()),
                  Ratio(stream.size(), found.Output.size()).c_str(),
                  static_cast<unsigned long long>(summary.Literals.Count),
                  static_cast<unsigned long long>(summary.Repeats.Count), found.End ? "yes" : "no",
                  found.End ? std::to_string(found.UnusedSourceBytes).c_str() : "-");
    WriteListing(row + DisplayName(job.Input) + "\n");
    if (found.Failure) {
      throw Exception(DisplayName(job.Input) + ": " + FailureSentence(*found.Failure));
    }
  }

  // The rules for every output: never the input, an existing file only with -f, binary
  // data never to a terminal, and nothing in place unless produce succeeds.
  template <class F>
  void WriteOutput(const std::string& input, const std::string& output, F produce) {
    if (output == kStandardStream) RefuseTerminal(IsTerminal(TStandardStream::Output));
    CheckOutputTarget(input, output, FOptions.Force);
    TOutputFile file(output);
    RefuseTerminal(file.IsTerminal());
    file.Write(produce());
    file.Commit();
  }

  void Extract(const TJob& job) {
    const std::string output = job.Output.empty()
                                   ? DefaultExtractName(FOptions.Resource, FOptions.DecodeExtracted)
                                   : job.Output;
    std::vector<std::string> notices;
    WriteOutput(job.Input, output, [&] {
      TExtraction extraction = InExecutable(job.Input, [&] {
        return ExtractResource(ReadInput(job.Input), FOptions.Resource, FOptions.DecodeExtracted,
                               FOptions.MaxOutput);
      });
      notices = std::move(extraction.Notices);
      return std::move(extraction.Bytes);
    });
    for (const std::string& notice : notices) Warn(DisplayName(job.Input) + ": " + notice);
  }

  void ListResources(const TJob& job) {
    const std::string table =
        InExecutable(job.Input, [&] { return ResourceTable(ReadInput(job.Input)); });
    if (FOptions.Operands.size() > 1) WriteListing(DisplayName(job.Input) + ":\n");
    WriteListing(table);
  }

  void Replace(const TJob& job) {
    CheckOutputTarget(FOptions.Replacement, job.Output, true);
    WriteOutput(job.Input, job.Output, [&] {
      const std::vector<uint8_t> stream = ReadInput(FOptions.Replacement);
      return InExecutable(job.Input, [&] {
        return ReplaceStream(ReadInput(job.Input), FOptions.Resource, stream);
      });
    });
  }

  void Warn(const std::string& message) const {
    if (FOptions.Verbosity != TVerbosity::Quiet) SayError(kProgram, message);
  }

  const TCliOptions& FOptions;
  bool FListed = false;  // the listing's header is out
};

int RunCommandLine(int argc, char** argv) {
  const bool stdinIsTerminal = IsTerminal(TStandardStream::Input);
  if (argc <= 1 && stdinIsTerminal) {
    WriteStandardError(UsageText());
    return kUsageStatus;
  }
  const TCliOptions options = ParseCommandLine(argc, argv);
  if (options.Help) {
    WriteListing(UsageText());
    return 0;
  }
  if (options.Version) {
    WriteListing(std::string(kProgram) + " " + kVersion + "\n");
    return 0;
  }
  return TRun(options).Run(PlanJobs(options, stdinIsTerminal));
}

}  // namespace

}  // namespace lumera

int main(int argc, char** argv) {
  lumera::IgnoreBrokenPipeSignal();
  lumera::PrepareStandardStreams();
  lumera::TArgv args(argc, argv);
  return lumera::RunProgram(lumera::kProgram, [&] {
    return lumera::RunCommandLine(args.Count(), args.Values());
  });
}
