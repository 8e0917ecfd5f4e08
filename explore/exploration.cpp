#include "explore/exploration.h"

#include <algorithm>

#include "platform/exceptions.h"
#include "platform/stream.h"

namespace lumera {

namespace {

void Add(TKindTotals& totals, const TEvent& event) {
  ++totals.Count;
  totals.Bytes += EventBytes(event);
  totals.Bits += event.Bits;
  totals.Info += event.Info;
}

void Collect(TExploration& result, const TDecompressor& decoder, const TEventRecorder& recorder,
             const TMemoryStream& output) {
  result.Output = output.Bytes();
  result.Events = recorder.Events();
  result.Contexts = decoder.FDictionary ? decoder.FDictionary->FCount : 0;
  result.MaxTotal = recorder.MaxTotal();
  result.OverloadedHits = recorder.OverloadedHits();
  result.BitsTaken = decoder.SourceBitsTaken();
  result.End = decoder.FDone;
  result.LeftOver = recorder.LeftOver();
}

}  // namespace

TExploration Explore(const std::vector<uint8_t>& stream, uint64_t maxOutput) {
  TExploration result;
  result.SourceBytes = stream.size();
  TEventRecorder recorder;
  TMemoryStream source(stream);
  TMemoryStream output;
  // One byte past the bound stops the loop, so that an output of exactly maxOutput bytes
  // can still reach its end marker.
  TDecompressor decoder(&recorder, std::min(maxOutput, kMaxOutputCeiling) + 1);
  decoder.FSource = &source;
  decoder.FDest = &output;
  try {
    decoder.Decompress();
  } catch (const Exception& e) {
    result.Failure = TExploreFailure{e.ClassName(), e.Message(), recorder.OutputBytes(),
                                     decoder.SourceByteReached()};
  }
  Collect(result, decoder, recorder, output);
  if (!result.Failure && !result.End) {
    result.Failure = TExploreFailure{kOutputLimitClass, OutputBoundMessage(maxOutput),
                                     recorder.OutputBytes(), decoder.SourceByteReached()};
  }
  return result;
}

TSummary Summarize(const std::vector<TEvent>& events) {
  TSummary summary;
  for (const TEvent& event : events) {
    summary.Bits += event.Bits;
    switch (event.Kind) {
      case TEventKind::Literal:
        Add(summary.Literals, event);
        if (event.Escaped) Add(summary.Escaped, event);
        Add(summary.Depths[std::min<uint8_t>(event.Depth, 4)], event);
        break;
      case TEventKind::Repeat:
        Add(summary.Repeats, event);
        break;
      case TEventKind::End:
        Add(summary.Ends, event);
        break;
    }
  }
  return summary;
}

size_t EventAt(const std::vector<TEvent>& events, uint64_t offset) {
  // Events are in output order; the last one starting at or before offset is the only
  // candidate, since an event of no bytes shares its start with the next.
  const auto after = std::upper_bound(events.begin(), events.end(), offset,
                                      [](uint64_t at, const TEvent& e) { return at < e.Out; });
  if (after == events.begin()) return events.size();
  const TEvent& candidate = *(after - 1);
  if (offset - candidate.Out >= EventBytes(candidate)) return events.size();
  return static_cast<size_t>(after - 1 - events.begin());
}

const char* EventKindName(TEventKind kind) {
  switch (kind) {
    case TEventKind::Literal:
      return "literal";
    case TEventKind::Repeat:
      return "repeat";
    case TEventKind::End:
      break;
  }
  return "end";
}

}  // namespace lumera
