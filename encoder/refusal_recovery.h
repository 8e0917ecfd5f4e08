// What a parse does when the format refuses the choice it wants.
//
// Read me first: an event can find no share of the coder's range. The end marker is the
// match table's escape, whose weight stays 1: once that table's total passes 0x8000, it
// has no share whenever the range at the end falls below the total. A byte value never
// seen has weight 1 in the root: once the root's total passes the range, likewise. A
// parse first takes the cheapest other choice at that position that has a share. When
// none has, the packer takes back its last events, up to kMostTakenBack of them,
// and codes their bytes another way (a repeat as literals, a shorter repeat, another
// offset code), since whether the event fits depends on the range they leave. The ways
// are tried depth first, the cheapest first, a bounded number of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"

namespace lumera {

// One choice of a parse: a literal, or a repeat of Length bytes with an offset code.
struct TParseStep {
  static constexpr int kLiteral = -1;
  int Code = kLiteral;
  uint32_t Length = 1;

  bool IsLiteral() const { return Code == kLiteral; }
};

// How many events a parse backs up over at most.
inline constexpr size_t kMostTakenBack = 24;
// How many ways of coding the taken-back bytes are tried for the n-th event taken back:
// n times this.
inline constexpr int kWaysPerEventBack = 64;

// Codes one step at pos, the packer's output size; false when the format cannot carry it,
// with nothing coded.
bool TryStep(TStreamPacker& packer, TInput input, size_t pos, TParseStep step);

// A repeat of kLongestRepeat bytes, the longest the length table names, is coded as one
// of kEscapeLength bytes, the length table's escape, when its copy goes on that far: one
// repeat then does the work of 257. False, with nothing coded, for any other step, and
// when the copy stops short or the format cannot carry it.
bool TryEscapeLength(TStreamPacker& packer, TInput input, size_t pos, TParseStep step);

// Every literal or repeat at the packer's position that ends at most limit bytes later,
// cheapest first by the models as they stand.
std::vector<TParseStep> ChoicesByPrice(TInput input, size_t limit, TStreamPacker& packer);

// Codes input at the packer's position with the cheapest choice the format can carry
// there; raises ETooLarge when none can be coded, with nothing coded.
void CodeCheapestChoice(TInput input, TStreamPacker& packer);

// CodeCheapestChoice, backing up when no choice can be coded; raises the first ETooLarge
// when no way was found.
void CodeAnyChoice(TInput input, TStreamPacker& packer);

// The end marker, backing up when it has no share; raises the first ETooLarge when no
// way was found.
void EndWithBackUp(TInput input, TStreamPacker& packer);

// Read me first: the root's escape must keep room. Every repeat and the end marker pass
// through the root's escape, and its weight grows only by the repeats coded. On a text
// with few repeats the root's total outgrows the escape: once it passes 0x8000 times the
// escape's weight, the escape no longer fits every range, and no way of recoding the last
// events may bring the end marker through. So before that point the parses code a repeat,
// even a short and costly one, wherever one fits: each doubles the room or more.
// True when the root's escape has less room than that, with a margin.
bool RootEscapeShort(const TStreamPacker& packer);
// When the root's escape is short, codes the cheapest repeat the format can carry at the
// packer's position, if any; returns whether it coded one.
bool WidenRootEscape(TInput input, TStreamPacker& packer);

// Codes the pending event by calling code, which returns false when the event cannot be
// coded now, having coded nothing. When it cannot, takes back events and recodes the
// bytes of input they covered until code succeeds. Returns false, with the packer in an
// unspecified state, when no way was found.
bool CodeWithBackUp(TInput input, TStreamPacker& packer,
                    const std::function<bool()>& code);

}  // namespace lumera
