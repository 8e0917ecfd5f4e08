// The encoder: whole-buffer packing, as lumera-pack offers it. Start here.
//
// The encoder, in plain words
// ---------------------------
// A stream is written by a silent decoder of our own (TStreamPacker's mirror, held in
// encoder/model_view.h, the one unit that reads the decoder object's fields). Each event, a
// literal, a repeat or the end marker, is coded against the very tables the decoder will
// hold at that point, by the range encoder (range_encoder.h); then the engine's own update
// changes the models, exactly as it does when decoding. So the encoder never guesses the
// models: it holds them.
//
// Two levels choose the events (levels 2 to 8 are aliases of level 9):
// - Level 1, the greedy parse (greedy_parse.h): at each position the longest copy the
//   decoder's rings can name, when it costs less than the literals it replaces at their
//   running average; otherwise a literal.
// - Level 9, the weighed parse (weighed_parse.h): over a window of up to 256 positions, a
//   dynamic programme finds the cheapest way of coding its bytes as literals and repeats,
//   then codes the start of that way and plans the next window from there.
//
// A step is priced in bits under the models as they stand: log2(total / weight) summed
// over the tables it is decoded from (coding_cost.h), the context's escape and the root
// for a literal the context lacks, the escapes, the offset code and the length for a
// repeat. The format's budgets that never renew, the root's and the match table's totals,
// are priced too (budget_prices.h): free at first, and only when the free parse is refused
// is the text packed again with a price on every unit, rising until it is carried.
//
// The journal (packer_journal.h) listens to the engine's update and notes what each change
// overwrites, so that the latest events can be taken back, models, rings, output and coder
// alike. Backing up is what lets a parse get past a refusal that depends on the range
// earlier events left: an event can find no share of the coder's range (the end marker,
// whose weight stays 1, once its table's total passes the range), or a table's total would
// reach 0x10000.
//
// A refusal is found before anything is coded: the packer tries each event as a whole and
// says why it cannot be coded, as one TRefusal (refusal_reason.h). Every parse codes its
// steps through CodeStep (refusal_recovery.h), which takes the cheapest other choice that
// fits, and backs up when none does. A refusal no way was found around travels back as a
// TRefused, a reason and an input offset; Pack raises it as ETooLarge once the budget
// prices are tried.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lumera {

inline constexpr int kFastestLevel = 1;
inline constexpr int kSmallestLevel = 9;

// A stream that decodes to exactly input, then the end marker. level runs from
// kFastestLevel (the greedy parse) to kSmallestLevel (the parse that weighs every choice
// by its cost under the models); levels 2 to 8 are aliases of level 9. Raises Exception
// for a level outside 1..9 and ETooLarge when the format cannot carry input.
std::vector<uint8_t> Pack(std::span<const uint8_t> input, int level = kFastestLevel);

}  // namespace lumera
