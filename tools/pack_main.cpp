// lumera-pack: packs files into streams that the decompressor decodes, decodes whole
// streams silently, tests and lists them; driven as the common compressors are.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "explore/exploration.h"
#include "lumera_version.h"
#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "tools/cli_options.h"
#include "tools/output_file.h"
#include "tools/pack.h"
#include "tools/resource_commands.h"
#include "tools/stream_packer.h"
#include "tools/unpack.h"

namespace lumera {

namespace {

constexpr const char* kProgram = "lumera-pack";

// Messages go to standard error as they are; if that fails too, nothing is left to tell.
void Say(const std::string& text) {
  std::string_view rest = text;
  while (!rest.empty()) {
    const ssize_t put = ::write(STDERR_FILENO, rest.data(), rest.size());
    if (put <= 0) return;
    rest.remove_prefix(static_cast<size_t>(put));
  }
}

void SayError(const std::string& message) {
  Say(std::string(kProgram) + ": " + message + "\n");
}

// What standard output carries (help, version, the listing) must arrive: a failed write
// is a failure of the run.
void WriteStandardOutput(const std::string& text) {
  std::string_view rest = text;
  while (!rest.empty()) {
    const ssize_t put = ::write(STDOUT_FILENO, rest.data(), rest.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0)
      throw Exception("cannot write to standard output (" + SystemErrorText(errno) + ")");
    rest.remove_prefix(static_cast<size_t>(put));
  }
}

std::string DisplayName(const std::string& path) {
  return path == kStandardStream ? "standard input" : path;
}

std::vector<uint8_t> ReadInput(const std::string& path) {
  try {
    if (path == kStandardStream) return ReadToEnd(STDIN_FILENO);
    TFileStream file(path, TFileMode::OpenRead);
    std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
    if (file.Read(bytes.data(), bytes.size()) != bytes.size()) {
      throw EInOutError("The file ended before its size.");
    }
    return bytes;
  } catch (const Exception& e) {
    throw Exception(DisplayName(path) + ": cannot read the input (" + e.Message() + ")");
  }
}

// Where decoding stopped, in the user's words, then the engine's message. The explorer's
// figures and Unpack's are the same, so both runs of the program read alike.
std::string StoppedText(const std::string& name, bool pastBound, uint64_t outputBytes,
                        uint64_t sourceByte, const std::string& message) {
  const std::string what = pastBound ? "the decoded output passes --max-output: decoding stopped"
                                     : "not a valid stream: decoding failed";
  return DisplayName(name) + ": " + what + " after " + std::to_string(outputBytes) +
         " output bytes, at source byte " + std::to_string(sourceByte) + " (" + message + ")";
}

std::vector<uint8_t> Decode(const std::string& name, const std::vector<uint8_t>& stream,
                            uint64_t maxOutput, bool& leftOver) {
  try {
    return Unpack(stream, leftOver, maxOutput);
  } catch (const EDecodingStopped& e) {
    throw Exception(StoppedText(name, e.PastBound(), e.OutputBytes(), e.SourceByte(), e.Message()));
  }
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
  } catch (const EDecodingStopped& e) {
    throw Exception(StoppedText(name, e.PastBound(), e.OutputBytes(), e.SourceByte(), e.Message()));
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
        SayError(DisplayName(job.Input) + ": out of memory");
        failed = true;
      } catch (const Exception& e) {
        SayError(e.Message());
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
      std::vector<uint8_t> result = Packing()
                                        ? Encode(job.Input, input, FOptions.Level)
                                        : Decode(job.Input, input, FOptions.MaxOutput, leftOver);
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
      Say(DisplayName(job.Input) + ": " + std::to_string(inputBytes) + " -> " +
          std::to_string(resultBytes) + " bytes (stream " + Ratio(packed, plain) +
          " of the decoded size), " + seconds + "\n");
    }
  }

  void Test(const TJob& job) {
    bool leftOver = false;
    const std::vector<uint8_t> decoded =
        Decode(job.Input, ReadInput(job.Input), FOptions.MaxOutput, leftOver);
    if (FOptions.Verbosity != TVerbosity::Quiet) {
      Say(DisplayName(job.Input) + ": OK (" + std::to_string(decoded.size()) + " decoded bytes)\n");
    }
    if (leftOver) Warn(DisplayName(job.Input) + ": warning: source bytes left unused");
  }

  void List(const TJob& job) {
    const std::vector<uint8_t> stream = ReadInput(job.Input);
    const TExploration found = Explore(stream, FOptions.MaxOutput);
    const TSummary summary = Summarize(found.Events);
    if (!FListed) {
      WriteStandardOutput("  Stream   Decoded     Ratio  Literals   Repeats  End   Unused  Name\n");
      FListed = true;
    }
    char row[160];
    std::snprintf(row, sizeof row, "%8llu  %8llu  %8s  %8llu  %8llu  %-3s  %7s  ",
                  static_cast<unsigned long long>(stream.size()),
                  static_cast<unsigned long long>(found.Output.size()),
                  Ratio(stream.size(), found.Output.size()).c_str(),
                  static_cast<unsigned long long>(summary.Literals.Count),
                  static_cast<unsigned long long>(summary.Repeats.Count), found.End ? "yes" : "no",
                  found.End ? std::to_string(UnusedSourceBytes(found)).c_str() : "-");
    WriteStandardOutput(row + DisplayName(job.Input) + "\n");
    if (found.Failure) {
      const TExploreFailure& failure = *found.Failure;
      throw Exception(StoppedText(job.Input, failure.ClassName == kOutputLimitClass, failure.Out,
                                  failure.SourceByte, failure.Message));
    }
  }

  // The rules for every output: never the input, an existing file only with -f, binary
  // data never to a terminal, and nothing in place unless produce succeeds.
  template <class F>
  void WriteOutput(const std::string& input, const std::string& output, F produce) {
    if (output == kStandardStream) RefuseTerminal(::isatty(STDOUT_FILENO) == 1);
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
    if (FOptions.Operands.size() > 1) WriteStandardOutput(DisplayName(job.Input) + ":\n");
    WriteStandardOutput(table);
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

  // The bit reader takes whole 32-bit words, and only when a request needs one, so the
  // bytes it read are the bits it took rounded up to a word.
  static uint64_t UnusedSourceBytes(const TExploration& found) {
    const uint64_t read = (found.BitsTaken + 31) / 32 * 4;
    return found.SourceBytes > read ? found.SourceBytes - read : 0;
  }

  void Warn(const std::string& message) const {
    if (FOptions.Verbosity != TVerbosity::Quiet) SayError(message);
  }

  const TCliOptions& FOptions;
  bool FListed = false;  // the listing's header is out
};

int RunCommandLine(int argc, char** argv) {
  const bool stdinIsTerminal = ::isatty(STDIN_FILENO) == 1;
  if (argc <= 1 && stdinIsTerminal) {
    Say(UsageText());
    return 2;
  }
  const TCliOptions options = ParseCommandLine(argc, argv);
  if (options.Help) {
    WriteStandardOutput(UsageText());
    return 0;
  }
  if (options.Version) {
    WriteStandardOutput(std::string(kProgram) + " " + kVersion + "\n");
    return 0;
  }
  return TRun(options).Run(PlanJobs(options, stdinIsTerminal));
}

}  // namespace

}  // namespace lumera

int main(int argc, char** argv) {
  // A closed pipe on standard output must be a reported failure, not a silent death.
  std::signal(SIGPIPE, SIG_IGN);
  try {
    return lumera::RunCommandLine(argc, argv);
  } catch (const lumera::EUsage& e) {
    lumera::SayError(e.Message());
    lumera::Say(std::string("Try '") + lumera::kProgram + " --help' for more information.\n");
    return 2;
  } catch (const lumera::Exception& e) {
    lumera::SayError(e.Message());
  } catch (const std::bad_alloc&) {
    lumera::SayError("out of memory");
  }
  return 1;
}
