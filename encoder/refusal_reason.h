// Why an event cannot be coded at its place. Every refusal of the packer, from a parse
// that runs out of room or from a list of events that asks for the impossible, is one of
// these; nothing is coded for a refused event.
#pragma once

#include <cstdint>

namespace lumera {

enum class TRefusal : uint8_t {
  None,
  // The format's budgets: a table's total and the share of the coder's range.
  RootTotalFull,
  TableTotalFull,
  EndMarkerNoShare,
  EntryNoShare,
  // Choices the decoder cannot take.
  LiteralNotHeld,    // a literal not escaped, whose context table lacks its byte
  CopyNotHeld,       // a literal naming a copy of its byte that its table lacks
  EscapeFromRoot,    // a literal escaped where the walk reached the root itself
  ContextTableFull,  // an escaped literal whose context table has no room to add it
  InvalidOffset,     // a repeat whose offset code names no output to copy from
  LengthUncodable,   // a repeat length other than 0 to 255 and 65535
  AfterEnd,          // any event after the end marker
};

// The reason in words, as the user reads it after "cannot be coded: ".
const char* RefusalText(TRefusal refusal);

// A refusal that no way around was found for, and the offset of the input byte whose
// event it refused; a Reason of None when there was none.
struct TRefused {
  TRefusal Reason = TRefusal::None;
  uint64_t InputOffset = 0;

  explicit operator bool() const { return Reason != TRefusal::None; }
};

}  // namespace lumera
