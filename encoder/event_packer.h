// Packs a list of events exactly as given, one choice after the other: a literal's byte
// and whether it escapes its context, a repeat's offset code and length, the end marker.
// This is how a stream is edited event by event, and how any stream that decodes to its
// end marker is written again from its events: with its tail, byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "encoder/stream_packer.h"
#include "engine/stream_decode.h"
#include "engine/stream_tail.h"
#include "platform/exceptions.h"

namespace lumera {

// How the packed stream ends.
enum class TTailOutcome : uint8_t {
  Kept,      // with the tail's code value, unused bits and bytes: the stream as it was
  MadeAnew,  // with a flush of its own: there was no tail, or the events were edited
  // With a flush of its own, although the events took the coder just as many bits as
  // the tail's: the tail's code value lies outside the range our coder is left with. The
  // stream decodes to the same events but differs from the one they were read from.
  Differs,
};

struct TPackedEvents {
  std::vector<uint8_t> Stream;
  TTailOutcome Tail = TTailOutcome::MadeAnew;
};

// An event of the list cannot be coded at its place. Index() is its place in the list,
// or the list's size when the end marker is missing.
class EEventRefused : public Exception {
 public:
  EEventRefused(size_t index, std::optional<TEventChoice> event, std::string reason,
                const char* file = __builtin_FILE(), int line = __builtin_LINE());
  const char* ClassName() const override { return "EEventRefused"; }
  size_t Index() const { return FIndex; }
  const std::optional<TEventChoice>& Event() const { return FEvent; }
  const std::string& Reason() const { return FReason; }

 private:
  size_t FIndex;
  std::optional<TEventChoice> FEvent;
  std::string FReason;
};

// The stream of exactly these events, ended with tail when it still fits the coder's
// state. Raises EEventRefused, having written nothing, for an event the format or the
// decoder refuses at its place, an event after the end marker, a list without one, and
// an event that would take the output past maxOutput bytes (kMaxOutputCeiling at most).
TPackedEvents PackEvents(std::span<const TEventChoice> events,
                         const std::optional<TStreamTail>& tail,
                         uint64_t maxOutput = kDefaultMaxOutput);

// The event as a refusal names it: "literal 97 escaped", "repeat code 3 len 300", "end".
std::string EventText(const TEventChoice& event);

}  // namespace lumera
