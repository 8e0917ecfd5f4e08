// lumera-pack: packs files into streams that the decompressor decodes, decodes whole
// streams silently, tests and lists them; driven as the common compressors are.
#include <chrono>
#include <cstdio>
#include <functional>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/event_packer.h"
#include "encoder/pack.h"
#include "encoder/stream_packer.h"
#include "engine/stream_decode.h"
#include "explore/byte_text.h"
#include "explore/event_recorder.h"
#include "explore/exploration.h"
#include "lumera_version.h"
#include "platform/exceptions.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/standard_streams.h"
#include "platform/utf8.h"
#include "programs/command_line.h"
#include "programs/event_lines.h"
#include "programs/pack_options.h"
#include "programs/resource_commands.h"

namespace lumera {

namespace {

constexpr const char* kProgram = "lumera-pack";

// "N source bytes left unused": the wording of every run that decodes a stream.
std::string UnusedWarning(const std::string& name, uint64_t unused) {
  return DisplayName(name) + ": warning: " + UnusedSourceText(unused);
}

// The failure's sentence, and for an early end the option that takes the stream.
std::string FailureText(const TDecodeFailure& failure) {
  return FailureSentence(failure) +
         (failure.EndedEarly() ? "; --allow-trailing takes it as it is" : "");
}

// Raises the failure of a stream that does not decode, after the name the user gave it:
// with a hint when the stream is an executable.
[[noreturn]] void RefuseStream(const std::string& name, const std::vector<uint8_t>& stream,
                               const std::string& sentence) {
  const std::string message = DisplayName(name) + ": " + sentence;
  if (auto hint = ExecutableHint(name, stream)) throw EHinted(message, std::move(*hint));
  throw Exception(message);
}

// A stream decoded whole, or else its failure (see RefuseStream).
TDecodedStream Decode(const std::string& name, const std::vector<uint8_t>& stream,
                      uint64_t maxOutput, bool allowTrailing) {
  TDecodedStream decoded = DecodeStream(stream, nullptr, maxOutput);
  if (const auto failure = WholeStreamFailure(decoded, allowTrailing)) {
    RefuseStream(name, stream, FailureText(*failure));
  }
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

// The events of a JSON Lines list, or why they cannot be read, after the name the user
// gave the list.
TEventLines ReadEvents(const std::string& name, const std::vector<uint8_t>& list) {
  try {
    return ReadEventLines({reinterpret_cast<const char*>(list.data()), list.size()});
  } catch (const Exception& e) {
    throw Exception(DisplayName(name) + ": " + e.Message());
  }
}

// What is said of a stream packed from events that does not end as it did.
std::optional<std::string> TailNotice(TTailOutcome outcome, bool tailGiven) {
  switch (outcome) {
    case TTailOutcome::Kept:
      break;
    case TTailOutcome::MadeAnew:
      return tailGiven
                 ? "the events differ from those the summary's tail was taken with, so "
                   "the stream ends with a tail made anew"
                 : "the list has no summary with a tail, so the stream ends with a tail made anew";
    case TTailOutcome::Differs:
      return "the stream differs from the one the events were read from, though it decodes to "
             "the same events: its code value lay outside its entry's share";
  }
  return std::nullopt;
}

// A refusal from inside an executable, said after the name the user gave it.
template <class F>
auto InExecutable(const std::string& name, F action) {
  try {
    return action();
  } catch (const EBadExecutable& e) {
    throw Exception(DisplayName(name) + ": " + e.Message());
  } catch (const EDecodingFailed& e) {
    throw Exception(DisplayName(name) + ": " + FailureText(e.Failure()));
  }
}

// Text as people write it: UTF-8 without control characters but tab, line feed, form
// feed and carriage return.
bool IsPlainText(const std::vector<uint8_t>& bytes) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<uint8_t>(text[at]);
    const size_t length =
        byte < 0x80 ? (IsTextByte(byte) || byte == '\f' ? 1 : 0) : Utf8Length(text.substr(at));
    if (length == 0) return false;
    at += length;
  }
  return !text.empty();
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
      } catch (const EBrokenPipe&) {
        throw;  // the reader is gone: nothing more is wanted
      } catch (const std::bad_alloc&) {
        SayError(kProgram, DisplayName(job.Input) + ": out of memory");
        failed = true;
      } catch (const Exception& e) {
        SayFailure(kProgram, e);
        failed = true;
      }
    }
    WriteListTotal();
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

  // Each run reads and checks its inputs before it looks at its output.
  void Convert(const TJob& job) {
    const auto start = std::chrono::steady_clock::now();
    // Read first, so that an input that cannot be opened is reported as such.
    const std::vector<uint8_t> input = ReadInput(job.Input, FOptions.MaxInput);
    if (job.Output.empty() && job.Input != kStandardStream && !IsRegularFile(job.Input)) {
      throw Exception(DisplayName(job.Input) +
                      ": not a regular file, so there is no default OUTPUT; give one or use -c");
    }
    if (job.Output.empty() && Packing() && job.Input.ends_with(kStreamSuffix) && !FOptions.Force) {
      throw Exception(DisplayName(job.Input) + ": the name ends with " + kStreamSuffix +
                      " already, so it is left alone; -f packs it again, to " + job.Input +
                      kStreamSuffix);
    }
    const std::string output =
        job.Output.empty() ? DefaultOutputName(job.Input, FOptions.Mode) : job.Output;
    TDecodedStream decoded;
    if (!Packing()) decoded = Decode(job.Input, input, FOptions.MaxOutput, FOptions.AllowTrailing);
    std::optional<TEventLines> events;
    if (FOptions.Events) events = ReadEvents(job.Input, input);
    size_t resultBytes = 0;
    std::optional<std::string> notice;
    const TOutputOrigin origin{job.Input == kStandardStream ? "" : job.Input,
                               TDerivation::Converted};
    WriteOutput(
        {job.Input}, output,
        [&] {
          std::vector<uint8_t> result = events      ? PackEventList(job.Input, *events, notice)
                                        : Packing() ? Encode(job.Input, input, FOptions.Level)
                                                    : std::move(decoded.Output);
          resultBytes = result.size();
          return result;
        },
        origin);
    if (notice) Warn(*notice);
    if (decoded.UnusedSourceBytes > 0) Warn(UnusedWarning(job.Input, decoded.UnusedSourceBytes));
    if (FOptions.Verbosity == TVerbosity::Verbose) {
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      const size_t packed = Packing() ? resultBytes : input.size();
      const size_t plain = Packing() ? input.size() : resultBytes;
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.3f s", took.count());
      const std::string sizes = events ? std::to_string(events->Events.size()) + " events -> " +
                                             std::to_string(resultBytes) + " bytes"
                                       : std::to_string(input.size()) + " -> " +
                                             std::to_string(resultBytes) + " bytes (stream " +
                                             Ratio(packed, plain) + " of the decoded size)";
      WriteStandardError(DisplayName(job.Input) + ": " + sizes + ", " + seconds + "\n");
    }
  }

  // The stream of the events read from name, refused with the line of the event that
  // cannot be coded. notice says how the stream ends when it does not end as it did.
  std::vector<uint8_t> PackEventList(const std::string& name, const TEventLines& list,
                                     std::optional<std::string>& notice) const {
    TPackedEvents packed;
    try {
      packed = PackEvents(list.Events, list.Tail, FOptions.MaxOutput);
    } catch (const EEventRefused& e) {
      if (!e.Event()) throw Exception(DisplayName(name) + ": " + e.Reason());
      throw Exception(DisplayName(name) + ": line " + std::to_string(list.Lines[e.Index()]) + ": " +
                      EventText(*e.Event()) + " cannot be coded: " + e.Reason());
    }
    if (const auto said = TailNotice(packed.Tail, list.Tail.has_value())) {
      notice = DisplayName(name) + ": " + *said;
    }
    return std::move(packed.Stream);
  }

  void Test(const TJob& job) {
    const TDecodedStream decoded = Decode(job.Input, ReadInput(job.Input, FOptions.MaxInput),
                                          FOptions.MaxOutput, FOptions.AllowTrailing);
    if (FOptions.Verbosity != TVerbosity::Quiet) {
      WriteStandardError(DisplayName(job.Input) + ": OK (" + std::to_string(decoded.Output.size()) +
                         " decoded bytes)\n");
    }
    if (decoded.UnusedSourceBytes > 0) Warn(UnusedWarning(job.Input, decoded.UnusedSourceBytes));
  }

  void List(const TJob& job) {
    const std::vector<uint8_t> stream = ReadInput(job.Input, FOptions.MaxInput);
    TEventRecorder recorder;
    const TDecodedStream found = DecodeStream(stream, &recorder, FOptions.MaxOutput);
    const TSummary summary = Summarize(recorder.Events());
    const TListRow row{stream.size(),
                       found.Output.size(),
                       summary.Literals.Count,
                       summary.Repeats.Count,
                       found.End ? found.UnusedSourceBytes : 0,
                       found.End ? "yes" : "no"};
    WriteListRow(row, found.End, DisplayName(job.Input));
    FListTotal.Add(row);
    if (found.Failure) RefuseStream(job.Input, stream, FailureSentence(*found.Failure));
    if (found.UnusedSourceBytes > 0) Warn(UnusedWarning(job.Input, found.UnusedSourceBytes));
  }

  // A line of the listing of -l, the header first. The unused bytes show once the end
  // marker is reached.
  struct TListRow {
    uint64_t Stream = 0;
    uint64_t Decoded = 0;
    uint64_t Literals = 0;
    uint64_t Repeats = 0;
    uint64_t Unused = 0;
    const char* End = "-";
    uint64_t Count = 0;  // of the total: the rows added

    void Add(const TListRow& row) {
      Stream += row.Stream;
      Decoded += row.Decoded;
      Literals += row.Literals;
      Repeats += row.Repeats;
      Unused += row.Unused;
      ++Count;
    }
  };

  void WriteListRow(const TListRow& row, bool showUnused, const std::string& name) {
    if (!FListed) {
      WriteStandardOutput("  Stream   Decoded     Ratio  Literals   Repeats  End   Unused  Name\n");
      FListed = true;
    }
    const auto count = [](uint64_t n) { return static_cast<unsigned long long>(n); };
    char text[160];
    std::snprintf(text, sizeof text, "%8llu  %8llu  %8s  %8llu  %8llu  %-3s  %7s  ",
                  count(row.Stream), count(row.Decoded), Ratio(row.Stream, row.Decoded).c_str(),
                  count(row.Literals), count(row.Repeats), row.End,
                  showUnused ? std::to_string(row.Unused).c_str() : "-");
    WriteStandardOutput(text + name + "\n");
  }

  // After several streams, -l ends with their sums, as the common compressors' lists do.
  void WriteListTotal() {
    if (FListTotal.Count < 2) return;
    // Built up in steps: g++ 12 warns wrongly of an overlap in "(" + std::to_string(n).
    std::string name = "(";
    name += std::to_string(FListTotal.Count);
    name += " streams in all)";
    WriteListRow(FListTotal, true, name);
  }

  // The rules for every output, checked once the inputs are: never an input, an existing
  // file only with -f, binary data never to a terminal, and nothing in place unless
  // produce succeeds. The output takes what origin's derivation says from its file.
  template <class F>
  void WriteOutput(const std::vector<std::string>& inputs, const std::string& output, F produce,
                   const TOutputOrigin& origin = {},
                   const std::function<void(std::span<const uint8_t>)>& check = {}) {
    if (output == kStandardStream) RefuseTerminal(IsTerminal(TStandardStream::Output));
    CheckOutputTarget(inputs, output, FOptions.Force);
    TOutputFile file(output, origin);
    RefuseTerminal(file.IsTerminal());
    const std::vector<uint8_t> result = produce();
    file.Write(result);
    // The result is checked as it will be read: from the file, when it is one.
    if (check) check(file.ReadBack().value_or(result));
    file.Commit();
  }

  std::vector<uint8_t> ReadExecutable(const std::string& path) const {
    return ReadInput(path, kExecutableBound, ", the most an executable may hold");
  }

  void Extract(const TJob& job) {
    TExtraction extraction = InExecutable(job.Input, [&] {
      return ExtractResource(ReadExecutable(job.Input), FOptions.Resource, FOptions.DecodeExtracted,
                             FOptions.MaxOutput, FOptions.AllowTrailing);
    });
    const std::string output = job.Output.empty()
                                   ? DefaultExtractName(FOptions.Resource, FOptions.DecodeExtracted)
                                   : job.Output;
    WriteOutput({job.Input}, output, [&] { return std::move(extraction.Bytes); });
    for (const std::string& notice : extraction.Notices) {
      Warn(DisplayName(job.Input) + ": " + notice);
    }
  }

  void ListResources(const TJob& job) {
    const std::string table =
        InExecutable(job.Input, [&] { return ResourceTable(ReadExecutable(job.Input)); });
    if (FOptions.Operands.size() > 1) WriteStandardOutput(DisplayName(job.Input) + ":\n");
    WriteStandardOutput(table);
  }

  // With a level, NEW is text, packed here; with --events, a list of events, packed here
  // too; otherwise it is a stream, which must decode whole unless --force-stream takes it
  // as it is. The new executable must give back the stream, and its text, before it takes
  // OUTPUT's name.
  void Replace(const TJob& job) {
    const std::string& name = FOptions.Replacement;
    const std::vector<uint8_t> given = ReadInput(name, FOptions.MaxInput);
    std::optional<std::string> notice;
    std::vector<uint8_t> stream = given;
    if (FOptions.LevelGiven) stream = Encode(name, given, FOptions.Level);
    if (FOptions.Events) stream = PackEventList(name, ReadEvents(name, given), notice);
    std::optional<std::vector<uint8_t>> text;
    uint64_t unused = 0;  // source bytes after NEW's end marker
    if (FOptions.LevelGiven) {
      text = given;
    } else if (!FOptions.ForceStream) {
      TDecodedStream decoded = DecodeStream(stream, nullptr, FOptions.MaxOutput);
      if (const auto failure = WholeStreamFailure(decoded, FOptions.AllowTrailing)) {
        RefuseNewStream(job, given, FailureText(*failure));
      }
      text = std::move(decoded.Output);
      unused = decoded.UnusedSourceBytes;
    }
    TReplacement replaced = InExecutable(job.Input, [&] {
      return ReplaceStream(ReadExecutable(job.Input), FOptions.Resource, stream,
                           FOptions.StripSignature);
    });
    const auto check = [&](std::span<const uint8_t> written) {
      InExecutable(job.Output, [&] {
        CheckReplaced(written, FOptions.Resource, replaced.Languages, stream, text);
      });
    };
    WriteOutput(
        {job.Input, name}, job.Output, [&] { return std::move(replaced.Executable); },
        {job.Input, TDerivation::Edited}, check);
    if (unused > 0) Warn(UnusedWarning(name, unused));
    if (notice) Warn(*notice);
    for (const std::string& said : replaced.Notices) Warn(DisplayName(job.Input) + ": " + said);
  }

  // NEW of --replace does not decode. Plain text wants a level, which packs it first;
  // anything else may go in as it is with --force-stream.
  [[noreturn]] void RefuseNewStream(const TJob& job, const std::vector<uint8_t>& given,
                                    const std::string& sentence) const {
    const std::string& name = FOptions.Replacement;
    const std::string message = DisplayName(name) + ": " + sentence;
    if (!IsPlainText(given)) throw Exception(message + "; --force-stream puts it in all the same");
    throw EHinted(message, DisplayName(name) +
                               " looks like plain text; add a level to pack it first, as in -9 "
                               "--replace " +
                               CommandWord(name) + " " + CommandWord(job.Input) + " " +
                               CommandWord(job.Output));
  }

  void Warn(const std::string& message) const {
    if (FOptions.Verbosity != TVerbosity::Quiet) SayError(kProgram, message);
  }

  const TCliOptions& FOptions;
  bool FListed = false;  // the listing's header is out
  TListRow FListTotal;   // of the streams that -l listed
};

int RunCommandLine(int argc, char** argv) {
  const bool stdinIsTerminal = IsTerminal(TStandardStream::Input);
  if (argc <= 1 && stdinIsTerminal) {
    WriteStandardError(UsageText());
    return kUsageStatus;
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
  return lumera::RunMain(lumera::kProgram, argc, argv, lumera::RunCommandLine);
}
