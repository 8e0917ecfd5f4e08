#include "encoder/event_packer.h"

#include <algorithm>

#include "encoder/refusal_reason.h"

namespace lumera {

namespace {

uint64_t OutputOf(const TEventChoice& event) {
  switch (event.Kind) {
    case TEventChoice::TKind::Literal:
      return 1;
    case TEventChoice::TKind::Repeat:
      return event.Length;
    case TEventChoice::TKind::End:
      break;
  }
  return 0;
}

std::string RefusalMessage(size_t index, const std::optional<TEventChoice>& event,
                           const std::string& reason) {
  if (!event) return reason;
  return "event " + std::to_string(index) + " (" + EventText(*event) +
         ") cannot be coded: " + reason;
}

}  // namespace

EEventRefused::EEventRefused(size_t index, std::optional<TEventChoice> event, std::string reason,
                             const char* file, int line)
    : Exception(RefusalMessage(index, event, reason), file, line),
      FIndex(index),
      FEvent(event),
      FReason(std::move(reason)) {}

std::string EventText(const TEventChoice& event) {
  switch (event.Kind) {
    case TEventChoice::TKind::Literal:
      return "literal byte " + std::to_string(event.Byte) +
             (event.Escaped ? " escaped true" : " escaped false") +
             (event.Copy != 0 ? " copy " + std::to_string(event.Copy) : "");
    case TEventChoice::TKind::Repeat:
      return "repeat code " + std::to_string(event.Code) + " len " + std::to_string(event.Length);
    case TEventChoice::TKind::End:
      break;
  }
  return "end";
}

TPackedEvents PackEvents(std::span<const TEventChoice> events,
                         const std::optional<TStreamTail>& tail, uint64_t maxOutput) {
  maxOutput = std::min(maxOutput, kMaxOutputCeiling);
  TStreamPacker packer;
  bool ended = false;
  for (size_t i = 0; i < events.size(); ++i) {
    const TEventChoice& event = events[i];
    if (packer.OutputSize() + OutputOf(event) > maxOutput) {
      throw EEventRefused(
          i, event, "the output would pass its bound of " + std::to_string(maxOutput) + " bytes");
    }
    if (const TRefusal refusal = packer.TryEvent(event); refusal != TRefusal::None) {
      throw EEventRefused(i, event, RefusalText(refusal));
    }
    ended = event.Kind == TEventChoice::TKind::End;
  }
  if (!ended) {
    throw EEventRefused(events.size(), std::nullopt, "the events end without the end marker");
  }
  if (!tail) return {packer.Finish(), TTailOutcome::MadeAnew};
  TFinishedStream finished = packer.Finish(*tail);
  if (finished.TailKept) return {std::move(finished.Bytes), TTailOutcome::Kept};
  // Rare: whether the coder took the tail's bits tells an edited list from a stream whose
  // code value left its share.
  const TDecodedStream decoded = DecodeStream(finished.Bytes, nullptr, maxOutput);
  const bool sameBits = decoded.Tail && decoded.Tail->BitsTaken == tail->BitsTaken;
  return {std::move(finished.Bytes), sameBits ? TTailOutcome::Differs : TTailOutcome::MadeAnew};
}

}  // namespace lumera
