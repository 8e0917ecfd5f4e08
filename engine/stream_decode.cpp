#include "engine/stream_decode.h"

#include <algorithm>

namespace lumera {

std::string OutputBoundMessage(uint64_t maxOutput) {
  return "The decoded output exceeds the bound of " + std::to_string(maxOutput) + " bytes.";
}

EDecodingFailed::EDecodingFailed(TDecodeFailure failure, const char* file, int line)
    : Exception(FailureSentence(failure), file, line), FFailure(std::move(failure)) {}

TMemoryDecode::TMemoryDecode(std::span<const uint8_t> stream, TDiagnostics* observer,
                             uint64_t stopAfter)
    : Source(std::vector<uint8_t>(stream.begin(), stream.end())), Decoder(observer, stopAfter) {
  Decoder.FSource = &Source;
  Decoder.FDest = &Output;
}

TDecodedStream DecodeStream(std::span<const uint8_t> stream, TDiagnostics* observer,
                            uint64_t maxOutput) {
  maxOutput = std::min(maxOutput, kMaxOutputCeiling);
  // One byte past the bound stops the loop, so that an output of exactly maxOutput bytes
  // can still reach its end marker.
  TMemoryDecode decode(stream, observer, maxOutput + 1);
  TDecompressor& decoder = decode.Decoder;
  TDecodedStream result;
  try {
    decoder.Decompress();
  } catch (const Exception& e) {
    result.Failure = TDecodeFailure{e.ClassName(), e.Message(), decode.Output.Bytes().size(),
                                    decoder.SourceByteReached()};
  }
  result.End = decoder.FDone;
  if (!result.Failure && !result.End) {
    result.Failure = TDecodeFailure{kOutputLimitClass, OutputBoundMessage(maxOutput),
                                    decode.Output.Bytes().size(), decoder.SourceByteReached()};
  }
  if (result.End) {
    result.Tail = TakeStreamTail(decoder);
    result.UnusedSourceBytes =
        static_cast<uint64_t>(decode.Source.Size() - decode.Source.Position());
  }
  result.BitsTaken = decoder.SourceBitsTaken();
  result.Contexts = decoder.FDictionary ? decoder.FDictionary->FCount : 0;
  result.Output = decode.Output.Bytes();
  return result;
}

std::optional<TDecodeFailure> WholeStreamFailure(const TDecodedStream& decoded,
                                                 bool allowTrailing) {
  if (decoded.Failure) return decoded.Failure;
  if (allowTrailing || !decoded.End || decoded.UnusedSourceBytes < kEarlyEndBytes) {
    return std::nullopt;
  }
  std::string unused = UnusedSourceText(decoded.UnusedSourceBytes) + ".";
  return TDecodeFailure{kEarlyEndClass, std::move(unused), decoded.Output.size(),
                        decoded.BitsTaken / 8};
}

std::string UnusedSourceText(uint64_t unusedBytes) {
  return std::to_string(unusedBytes) + (unusedBytes == 1 ? " source byte" : " source bytes") +
         " left unused";
}

std::string FailureSentence(const TDecodeFailure& failure) {
  const std::string what =
      failure.PastBound()    ? "the decoded output passes its bound: decoding stopped"
      : failure.EndedEarly() ? "the stream is damaged, or other data follows it: its end marker "
                               "came"
                             : "not a valid stream: decoding failed";
  return what + " after " + std::to_string(failure.OutputBytes) + " output bytes, at source byte " +
         std::to_string(failure.SourceByte) + " (" + failure.Message + ")";
}

}  // namespace lumera
