#include "explore/exploration.h"

#include <algorithm>

namespace lumera {

namespace {

void Add(TKindTotals& totals, const TEvent& event) {
  ++totals.Count;
  totals.Bytes += EventBytes(event);
  totals.Bits += event.Bits;
  totals.Info += event.Info;
}

}  // namespace

TExploration Explore(std::span<const uint8_t> stream, uint64_t maxOutput) {
  TEventRecorder recorder;
  TDecodedStream decoded = DecodeStream(stream, &recorder, maxOutput);
  TExploration result;
  result.SourceBytes = stream.size();
  result.Output = std::move(decoded.Output);
  result.Events = recorder.Events();
  result.Contexts = decoded.Contexts;
  result.MaxTotal = recorder.MaxTotal();
  result.OverloadedHits = recorder.OverloadedHits();
  result.BitsTaken = decoded.BitsTaken;
  result.End = decoded.End;
  result.LeftOver = recorder.LeftOver();
  result.UnusedSourceBytes = decoded.UnusedSourceBytes;
  result.Tail = std::move(decoded.Tail);
  result.Failure = std::move(decoded.Failure);
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
