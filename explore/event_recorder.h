// The explorer's view of a stream: one event for each main-loop step that decodes, a
// literal, a repeat or the end marker, with what it cost. A copy step adds no event;
// its bytes belong to the repeat that started it.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/diagnostics.h"

namespace lumera {

enum class TEventKind : uint8_t { Literal, Repeat, End };

struct TEvent {
  TEventKind Kind = TEventKind::Literal;
  uint64_t Out = 0;   // bytes output before the event: the offset of its first byte
  uint8_t Depth = 0;  // of the context table the step began with; 0 is the root
  uint32_t Bits = 0;  // source bits its decoding steps pulled (the sum of BitsNeeded)
  double Info = 0;    // its information content under the model, in bits
  // A literal:
  uint8_t Byte = 0;
  bool Escaped = false;  // the context table yielded the escape; the byte came from the root
  // Not escaped, from a table that holds the byte more than once: which copy (0 the first).
  uint16_t Copy = 0;
  // A repeat:
  uint8_t Code = 0;
  uint32_t From = 0;  // output offset of the first byte copied (0 for code 0)
  uint32_t Len = 0;   // as decoded: 0 to 255, or 65535
};

// Bytes an event put out: 1 for a literal, the length for a repeat, none for the end.
uint64_t EventBytes(const TEvent& event);

// Collects the events of one decoding. A step that fails leaves no event behind: only
// events whose decoding completed are in Events().
class TEventRecorder : public TDiagnostics {
 public:
  void StepStarted(const TStepStart& step) override;
  void EntryFound(const TStepEntry& found) override;
  void StepFinished(uint8_t bitsNeeded, bool overloaded) override;
  void ByteOutput(uint8_t byte, uint64_t offset) override;
  void RepeatStarted(uint16_t code, uint32_t from, uint32_t length) override;
  void EndMarker() override;
  void SourceLeftOver() override { FLeftOver = true; }

  const std::vector<TEvent>& Events() const { return FEvents; }
  // The largest total any table reached, and the hits made at a total of 0x2000 or more.
  uint32_t MaxTotal() const { return FMaxTotal; }
  uint64_t OverloadedHits() const { return FOverloadedHits; }
  bool LeftOver() const { return FLeftOver; }

 private:
  void Close(TEventKind kind);

  std::vector<TEvent> FEvents;
  TEvent FPending;
  bool FOpen = false;  // steps of an event not yet closed have been seen
  TTableRole FRole;    // of the step under way
  const TDic* FTable = nullptr;
  uint64_t FOutputBytes = 0;
  uint32_t FMaxTotal = 0;
  uint64_t FOverloadedHits = 0;
  bool FLeftOver = false;
};

}  // namespace lumera
