// A whole stream decoded in memory with the event recorder attached: the events, the
// output and how the decoding ended, ready for the listing, JSON and page writers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/stream_decode.h"
#include "explore/event_recorder.h"

namespace lumera {

struct TExploration {
  uint64_t SourceBytes = 0;
  std::vector<uint8_t> Output;
  std::vector<TEvent> Events;
  uint32_t Contexts = 0;  // child tables created, out of kContextCapacity
  uint32_t MaxTotal = 0;
  uint64_t OverloadedHits = 0;
  uint64_t BitsTaken = 0;  // by the coder, the initial code value included
  bool End = false;        // the end marker was decoded
  bool LeftOver = false;   // the end came before the source was used up
  uint64_t UnusedSourceBytes = 0;
  std::optional<TStreamTail> Tail;  // what follows the end marker, when it was reached
  std::optional<TDecodeFailure> Failure;
};

// Decodes stream to its end marker, its first failure, or past maxOutput bytes of
// output (a failure of class kOutputLimitClass). Never raises for a bad stream.
TExploration Explore(std::span<const uint8_t> stream, uint64_t maxOutput = kDefaultMaxOutput);

// Totals over events, as the listing's and the JSON's summaries give them.
struct TKindTotals {
  uint64_t Count = 0;
  uint64_t Bytes = 0;
  uint64_t Bits = 0;
  double Info = 0;
};

struct TSummary {
  TKindTotals Literals;
  TKindTotals Escaped;  // the literals among them that came from the root
  TKindTotals Repeats;
  TKindTotals Ends;
  TKindTotals Depths[5];  // literals by the depth their step began with
  uint64_t Bits = 0;      // the sum of the events' bits
};

TSummary Summarize(const std::vector<TEvent>& events);

// The index of the event that wrote the output byte at offset, or events.size() when no
// event did (the offset lies past the output).
size_t EventAt(const std::vector<TEvent>& events, uint64_t offset);

// "literal", "repeat" or "end": the kind's name in every output.
const char* EventKindName(TEventKind kind);

}  // namespace lumera
