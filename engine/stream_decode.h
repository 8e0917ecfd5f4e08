// A whole stream decoded in memory, as every caller but the traced tool wants it: the
// programs' -d, -t and -l, the explorer, the resource commands, the library, the fuzzers
// and the tests. Here and in the traced tool's front end, and nowhere else, a decoder is
// wired to its streams.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/decompressor.h"
#include "engine/stream_tail.h"
#include "platform/exceptions.h"
#include "platform/stream.h"

namespace lumera {

// A whole-stream decode bounds what a crafted stream can expand to: by default to this,
// and never past the ceiling, beyond which the 32-bit output offsets of the rings and the
// repeat would wrap.
inline constexpr uint64_t kDefaultMaxOutput = uint64_t{64} << 20;
inline constexpr uint64_t kMaxOutputCeiling = (uint64_t{1} << 31) - 1;
// The class name and message of the failure that ends a decode at its bound.
inline constexpr const char* kOutputLimitClass = "OutputLimit";
std::string OutputBoundMessage(uint64_t maxOutput);

// An end marker decoded with this many source bytes or more never read ends the stream
// early. The encoders use their source up, and the format carries no checksum, so an
// early end is the one sign that a stream was damaged, or that other data follows it;
// fewer bytes could be the padding of a container. Such an end counts as a failure of
// class kEarlyEndClass wherever a whole stream is wanted, unless the caller allows it.
inline constexpr uint64_t kEarlyEndBytes = 4;
inline constexpr const char* kEarlyEndClass = "EarlyEnd";

// Why and where decoding stopped before the end marker, or where the end marker came
// early.
struct TDecodeFailure {
  std::string ClassName;  // the engine's, kOutputLimitClass or kEarlyEndClass
  std::string Message;
  uint64_t OutputBytes = 0;  // bytes output when decoding stopped
  uint64_t SourceByte = 0;   // the source byte holding the next bit not yet taken

  bool PastBound() const { return ClassName == kOutputLimitClass; }
  bool EndedEarly() const { return ClassName == kEarlyEndClass; }
};

struct TDecodedStream {
  std::vector<uint8_t> Output;
  bool End = false;  // the end marker was decoded
  // Source bytes after the end marker's word, which the decoder never read.
  uint64_t UnusedSourceBytes = 0;
  uint64_t BitsTaken = 0;  // by the coder, the initial code value included
  uint32_t Contexts = 0;   // child tables created, out of kContextCapacity
  std::optional<TStreamTail> Tail;  // what follows the end marker, when it was decoded
  std::optional<TDecodeFailure> Failure;
};

// Decodes stream to its end marker, its first failure, or past maxOutput bytes of output
// (a failure of class kOutputLimitClass); maxOutput counts as kMaxOutputCeiling at most.
// observer, when given, sees every step. Never raises for a bad stream.
TDecodedStream DecodeStream(std::span<const uint8_t> stream, TDiagnostics* observer = nullptr,
                            uint64_t maxOutput = kDefaultMaxOutput);

// What keeps decoded from being a whole stream: its failure, or an early end unless
// allowTrailing is set; none when it is whole. An early end's failure is at the source
// byte where the end marker was decoded, with every byte output by then.
std::optional<TDecodeFailure> WholeStreamFailure(const TDecodedStream& decoded,
                                                 bool allowTrailing);

// The failure as the user reads it: "not a valid stream: decoding failed after 12 output
// bytes, at source byte 9 (Find reached the end of TDic.)", or the bound's or the early
// end's sentence.
std::string FailureSentence(const TDecodeFailure& failure);

// "4 source bytes left unused": what every caller says of the bytes after the end marker.
std::string UnusedSourceText(uint64_t unusedBytes);

// A failed whole-stream decode, raised by a caller that cannot go on without the output.
// Its message is the failure's sentence.
class EDecodingFailed : public Exception {
 public:
  explicit EDecodingFailed(TDecodeFailure failure, const char* file = __builtin_FILE(),
                           int line = __builtin_LINE());
  const char* ClassName() const override { return "EDecodingFailed"; }
  const TDecodeFailure& Failure() const { return FFailure; }

 private:
  TDecodeFailure FFailure;
};

// A decompressor wired to a source and an output held in memory, for a caller that drives
// it itself: with a plain stop instead of a bound, or to look inside afterwards.
struct TMemoryDecode {
  explicit TMemoryDecode(std::span<const uint8_t> stream, TDiagnostics* observer = nullptr,
                         uint64_t stopAfter = kNoStop);

  TMemoryStream Source;
  TMemoryStream Output;
  TDecompressor Decoder;
};

}  // namespace lumera
