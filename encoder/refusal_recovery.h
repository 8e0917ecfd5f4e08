// What a parse does when the format refuses the choice it wants.
//
// Read me first: an event can find no share of the coder's range. The end marker is the
// match table's escape, whose weight stays 1: once that table's total passes 0x8000, it
// has no share whenever the range at the end falls below the total. A byte value never
// seen has weight 1 in the root: once the root's total passes the range, likewise. A
// parse codes every step through CodeStep, which on a refusal first takes the cheapest
// other choice at that position that has a share. When none has, the packer takes back
// its last events, up to kMostTakenBack of them, and codes their bytes another way (a
// repeat as literals, a shorter repeat, another offset code), since whether the event
// fits depends on the range they leave. The ways are tried depth first, the cheapest
// first, a bounded number of them. A refusal no way was found around travels back to
// Pack as a TRefused, which raises it as ETooLarge only once every budget price is tried.
#pragma once

#include <cstddef>
#include <cstdint>

#include "encoder/refusal_reason.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"

namespace lumera {

// One choice of a parse: a literal, a repeat of Length bytes with an offset code, or the
// end marker.
struct TParseStep {
  static constexpr int kLiteral = -1;
  static constexpr int kEnd = -2;
  int Code = kLiteral;
  uint32_t Length = 1;

  static constexpr TParseStep End() { return {kEnd, 0}; }
  bool IsLiteral() const { return Code == kLiteral; }
  bool IsEnd() const { return Code == kEnd; }
};

// How many events a parse backs up over at most.
inline constexpr size_t kMostTakenBack = 24;
// How many ways of coding the taken-back bytes are tried for the n-th event taken back:
// n times this.
inline constexpr int kWaysPerEventBack = 64;

// What CodeStep did with a step.
struct TCodedStep {
  // The step itself was coded, a repeat of kLongestRepeat bytes perhaps as one of
  // kEscapeLength bytes, since its copy goes on that far: one repeat then does the work of
  // 257. Otherwise the position was coded another way, or not at all.
  bool AsPlanned = true;
  double Bits = 0;   // for a literal coded as planned, what it cost
  TRefused Refused;  // the refusal no way was found around, the packer then unusable
};

// Codes step at the packer's position, the only way a parse codes one; when the format
// refuses it, codes the cheapest choice there that fits instead (none for the end marker),
// and when none fits, backs up.
TCodedStep CodeStep(TInput input, TStreamPacker& packer, TParseStep step);

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

}  // namespace lumera
