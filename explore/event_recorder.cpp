#include "explore/event_recorder.h"

#include <algorithm>
#include <cmath>

#include "engine/frequency_table.h"
#include "engine/symbol_decoder.h"

namespace lumera {

uint64_t EventBytes(const TEvent& event) {
  switch (event.Kind) {
    case TEventKind::Literal:
      return 1;
    case TEventKind::Repeat:
      return event.Len;
    case TEventKind::End:
      break;
  }
  return 0;
}

void TEventRecorder::StepStarted(const TStepStart& step) {
  if (!FOpen) {
    FPending = TEvent{};
    FPending.Out = FOutputBytes;
    FPending.Depth = step.Role.Kind == TTableKind::Context ? step.Role.Depth : 0;
    FOpen = true;
  }
  FRole = step.Role;
  FTable = step.Table;
}

void TEventRecorder::EntryFound(const TStepEntry& found) {
  // Taken before the hit: the cost under the model the entry was decoded with.
  const auto weight = static_cast<uint16_t>(found.Entry);
  FPending.Info += std::log2(static_cast<double>(found.Total) / weight);
  if (FRole.Kind != TTableKind::Context) return;
  if (IsEscape(found.Entry)) {
    FPending.Escaped = true;
  } else if (found.Table != nullptr) {
    FPending.Copy = found.Table->CopyAt(found.Index);
  }
}

void TEventRecorder::StepFinished(uint8_t bitsNeeded, bool overloaded) {
  FPending.Bits += bitsNeeded;
  if (FTable != nullptr) FMaxTotal = std::max(FMaxTotal, FTable->FTotal);
  if (overloaded) ++FOverloadedHits;
}

void TEventRecorder::ByteOutput(uint8_t byte, uint64_t offset) {
  FOutputBytes = offset + 1;
  // Bytes with no steps under way are a repeat's copy.
  if (!FOpen) return;
  FPending.Byte = byte;
  Close(TEventKind::Literal);
}

void TEventRecorder::RepeatStarted(uint16_t code, uint32_t from, uint32_t length) {
  FPending.Code = static_cast<uint8_t>(code);
  FPending.From = from;
  FPending.Len = length;
  // Escapes on the way to the match table do not make a repeat an escaped literal.
  FPending.Escaped = false;
  Close(TEventKind::Repeat);
}

void TEventRecorder::EndMarker() {
  FPending.Escaped = false;
  Close(TEventKind::End);
}

void TEventRecorder::Close(TEventKind kind) {
  FPending.Kind = kind;
  FEvents.push_back(FPending);
  FOpen = false;
}

}  // namespace lumera
