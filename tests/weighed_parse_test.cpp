#include "encoder/weighed_parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "encoder/budget_prices.h"
#include "encoder/pack.h"
#include "encoder/refusal_recovery.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"
#include "engine/decompressor.h"
#include "engine/stream_decode.h"
#include "stepped_decode.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

using testing::TSteppedDecode;

// The decoder narrows the range to floor(weight * range / total) at each step and pulls
// bits to bring it back, so over a stream the bits it pulls follow the sum of
// log2(total / weight) from above, within the one bit the last range may still hold plus
// what the rounding loses, a small fraction of a bit per step while totals stay far
// below the range.
TEST(WeighedParse, ThePricesFollowTheBitsTheDecoderPulls) {
  std::string text;
  for (int i = 0; i < 12; ++i) {
    text += "<entry code=\"" + std::to_string(i * 7 % 10) + "\" name=\"n" + std::to_string(i) +
            "\"/>\n";
  }
  const Bytes input = ToBytes(text);
  TRepeatSources sources(input);
  TStreamPacker packer;
  TWeighedParser parser(input, packer);

  // A script that mixes literals, repeats of every kind of code and short lengths.
  struct TPriced {
    TParseStep Step;
    double Bits;
  };
  std::vector<TPriced> script;
  std::vector<TMatch> matches;
  int repeats = 0;
  for (size_t pos = 0; pos < input.size();) {
    sources.FindMatches(pos, packer.Mirror().FPositions, packer.OutputSize(), matches);
    TParseStep step;
    if (!matches.empty() && pos % 3 != 0) {
      const TMatch& match = matches[pos % matches.size()];
      step = {match.Code, pos % 4 == 1 ? 1 : match.Length};
      ++repeats;
    }
    const double bits = parser.StepCost(pos, step);
    const double packerBits = step.IsLiteral() ? packer.LiteralCost(input[pos])
                                               : packer.RepeatCost(step.Code, step.Length);
    EXPECT_NEAR(bits, packerBits, 1e-3) << "at " << pos;
    if (step.IsLiteral()) {
      packer.Literal(input[pos]);
    } else {
      packer.Repeat(static_cast<uint8_t>(step.Code), step.Length);
    }
    script.push_back({step, bits});
    pos += step.Length;
  }
  ASSERT_GT(repeats, 20);
  ASSERT_EQ(packer.Output(), input);
  packer.EndMarker();

  TSteppedDecode decode(packer.Finish());
  double priced = 0;
  uint64_t pulled = 0;
  size_t events = 0;
  for (const TPriced& event : script) {
    pulled += decode.Event();
    priced += event.Bits;
    ++events;
    // At most four decoding steps an event.
    EXPECT_GE(static_cast<double>(pulled), priced - 1.0) << "after event " << events;
    EXPECT_LE(static_cast<double>(pulled), priced + 1.0 + 0.05 * 4 * events)
        << "after event " << events;
  }
  EXPECT_EQ(decode.Output(), input);
}

void ExpectCopies(const std::vector<TMatch>& found, const std::vector<TMatch>& expected,
                  const std::string& where) {
  ASSERT_EQ(found.size(), expected.size()) << where;
  for (size_t i = 0; i < found.size(); ++i) {
    EXPECT_EQ(found[i].Code, expected[i].Code) << where;
    EXPECT_EQ(found[i].Length, expected[i].Length) << where;
  }
}

// Code costs with many ties and no order, as an adaptive table has.
const TCostArray::TCosts kTiedCosts = [] {
  TCostArray::TCosts costs{};
  for (size_t code = 0; code < costs.size(); ++code) costs[code] = static_cast<float>(code * 7 % 5);
  return costs;
}();

// Of every copy in code order, the code 0 copy, then those no other copy beats by costing
// less and reaching at least as far, or costing the same with a lower code; longest first.
std::vector<TMatch> Unbeaten(const std::vector<TMatch>& copies, const TCostArray::TCosts& costs) {
  std::vector<TMatch> kept;
  for (const TMatch& copy : copies) {
    if (copy.Code == 0) kept.push_back(copy);
  }
  std::vector<TMatch> unbeaten;
  for (const TMatch& copy : copies) {
    if (copy.Code == 0) continue;
    const bool beaten = std::any_of(copies.begin(), copies.end(), [&](const TMatch& other) {
      const bool cheaper = costs[other.Code] < costs[copy.Code] ||
                           (costs[other.Code] == costs[copy.Code] && other.Code < copy.Code);
      return other.Code != 0 && cheaper && other.Length >= copy.Length;
    });
    if (!beaten) unbeaten.push_back(copy);
  }
  std::sort(unbeaten.begin(), unbeaten.end(),
            [](const TMatch& a, const TMatch& b) { return a.Length > b.Length; });
  kept.insert(kept.end(), unbeaten.begin(), unbeaten.end());
  return kept;
}

// A price on the budgets makes the parse spend fewer units of them: fewer repeats, each
// of which takes one of the offset-code table's total, the higher the price. Words drawn
// at random make many short repeats that are barely worth their bits.
TEST(WeighedParse, APriceOnTheBudgetsCodesFewerRepeats) {
  const char* const words[] = {"alpha", "beta", "gamma", "delta",  "epsilon", "zeta", "eta",
                               "theta", "iota", "kappa", "lambda", "mu",      "nu",   "xi"};
  std::string text;
  uint32_t seed = 7;
  for (int i = 0; i < 600; ++i) {
    seed = seed * 1103515245u + 12345u;
    text += words[(seed >> 16) % std::size(words)] + std::string(" ");
  }
  const Bytes input = ToBytes(text);
  uint32_t lastTotal = UINT32_MAX;
  for (float unit : {0.0f, 2.0f, 8.0f}) {
    TStreamPacker packer(input);
    EXPECT_FALSE(TWeighedParser(input, packer, {unit}).Run()) << "at " << unit << " bits a unit";
    packer.EndMarker();
    const uint32_t total = packer.Mirror().FMatchDic->FTotal;
    EXPECT_LT(total, lastTotal) << "at " << unit << " bits a unit";
    lastTotal = total;
    EXPECT_EQ(DecodeStream(packer.Finish()).Output, input) << "at " << unit << " bits a unit";
  }
}

// A literal coded in a table whose total nears 0x10000 is charged for it on top of its
// bits, so that the parse turns to repeats before the table is full; below the onset it
// is priced at its bits alone.
TEST(WeighedParse, ALiteralIntoANearlyFullTableCostsMore) {
  const Bytes input(0xE001, 'a');
  TStreamPacker packer;
  TWeighedParser parser(input, packer);
  for (size_t pos = 0; pos + 1 < input.size(); ++pos) {
    const bool probe = pos == 0x8000 || pos + 2 == input.size();
    if (probe) {
      const uint32_t total = packer.Models().ContextAt(input, pos).FTotal;
      const float charge = FullTablePrice(total);
      EXPECT_EQ(charge > 0, total > kFullTableOnset) << "at " << pos;
      EXPECT_NEAR(parser.StepCost(pos, TParseStep{}), packer.LiteralCost('a') + charge, 1e-3)
          << "at " << pos;
    }
    packer.Literal('a');
  }
  EXPECT_GT(FullTablePrice(packer.Models().ContextAt(input, input.size() - 1).FTotal), 4.0f);
}

// The offset codes read off the input must be the ones the decoder's rings give, also
// once a value's ring has gone round (more than 256 occurrences), when the search looks
// ahead of the coded position by any distance, and after the packer took events back;
// and of them, the search for unbeaten copies must keep exactly those no other beats.
TEST(WeighedParse, RepeatSourcesAgreeWithTheDecodersRings) {
  std::string laps;
  for (int i = 0; i < 300; ++i) laps += (i % 7 == 0) ? "ba" : "a";
  struct TCase {
    std::string Text;
    size_t Ahead;  // how far the search looks past the coded position
    size_t Back;   // how many events the coder takes back at each eighth position
  };
  const std::string tags = "<a><b>x</b><b>y</b></a><a><b>x</b></a>";
  for (const TCase& c :
       {TCase{"abracadabra, abracadabra!", 0, 0}, TCase{laps, 0, 0}, TCase{laps, 7, 0},
        TCase{laps, 290, 0}, TCase{laps, 3, 5}, TCase{tags, 0, 0}, TCase{tags, 9, 2}}) {
    const Bytes input = ToBytes(c.Text);
    TRepeatSources sources(input);
    TStreamPacker packer;   // at each position
    TStreamPacker lagging;  // behind it
    std::vector<TMatch> found;
    for (size_t pos = 0; pos < input.size(); ++pos) {
      std::vector<TMatch> expected;
      if (pos > 0) {
        auto expect = [&](uint32_t code, size_t from) {
          if (input[from] == input[pos]) {
            expected.push_back({static_cast<uint8_t>(code), MatchLength(input, from, pos)});
          }
        };
        expect(0, 0);
        const TBytePositions& ring = packer.Mirror().FPositions[input[pos - 1]];
        for (uint32_t code = 2; code <= ring.Next; ++code) {
          expect(code, ring.Pos[ring.Next - code] + size_t{1});
        }
      }
      if (c.Back > 0 && pos % 8 == 7) {
        for (size_t i = 0; i < c.Back && lagging.Undoable() > 0; ++i) lagging.TakeBack();
      }
      while (lagging.OutputSize() + c.Ahead < pos) lagging.Literal(input[lagging.OutputSize()]);
      sources.FindMatches(pos, lagging.Mirror().FPositions, lagging.OutputSize(), found);
      ExpectCopies(found, expected, c.Text + " at " + std::to_string(pos));
      sources.FindUnbeaten(pos, lagging.Mirror().FPositions, lagging.OutputSize(), kTiedCosts,
                           found);
      ExpectCopies(found, Unbeaten(expected, kTiedCosts),
                   c.Text + " unbeaten at " + std::to_string(pos));
      packer.Literal(input[pos]);
    }
  }
}

// Once a length table's total passes the range, a length never used before has no share;
// a shorter copy that can be coded is taken instead of refusing the input.
TEST(WeighedParse, AnUncodableChoiceGivesWayToTheCheapestThatFits) {
  TStreamPacker packer;
  packer.Literal('a');
  packer.Literal('b');
  // Code 0 copies "ab" from the start; its length table fills up with length 2.
  constexpr int kRepeats = 65000;
  for (int i = 0; i < kRepeats; ++i) packer.Repeat(0, 2);
  Bytes input = packer.Output();
  const size_t pos = input.size();
  input.insert(input.end(), 16, 0);
  for (size_t i = pos; i < input.size(); ++i) input[i] = input[i - 2];

  ASSERT_FALSE(packer.CanRepeat(0, 16));
  EXPECT_THROW(packer.Repeat(0, 16), ETooLarge);
  EXPECT_EQ(packer.Output().size(), pos);  // the refused repeat coded nothing

  // Asked for the refused repeat, CodeStep codes the cheapest choice that fits instead.
  bool first = true;
  while (packer.OutputSize() < input.size()) {
    const uint32_t left = static_cast<uint32_t>(input.size() - packer.OutputSize());
    const TCodedStep coded = CodeStep(input, packer, {0, left});
    EXPECT_FALSE(coded.Refused);
    if (first) {
      EXPECT_FALSE(coded.AsPlanned);
    }
    first = false;
  }
  EXPECT_EQ(packer.Output(), input);
  // The match table's total is past the range too, so the end marker, whose weight stays
  // 1, has no share either: the stream is decoded with a stop after the input's bytes.
  EXPECT_THROW(packer.EndMarker(), ETooLarge);
  TMemoryDecode decode(packer.Finish(), nullptr, input.size());
  decode.Decoder.Decompress();
  EXPECT_EQ(decode.Output.Bytes(), input);
}

// CodeStep, the one way a parse codes a step, says what it did: coded the step as planned
// (a repeat of 255 bytes stretched to 65535 when its copy goes on that far), coded the
// position another way, or found no way at all, with the reason and the input offset.
TEST(WeighedParse, CodeStepSaysWhatBecameOfTheStep) {
  Bytes run(100000);
  for (size_t i = 0; i < run.size(); ++i) run[i] = i % 2 == 0 ? 'a' : 'b';
  // "ab", then the end marker's table filled until it has no share, and nothing to take
  // back.
  auto endless = [](TStreamPacker& packer) {
    for (int i = 0; i < 40000; ++i) packer.Repeat(0, 2);
    for (int i = 0; packer.CanEnd(); ++i) packer.Literal(i % 2 == 0 ? 'a' : 'b');
    packer.SetUndoLimit(0);
  };
  struct TCase {
    const char* Name;
    size_t InputSize;
    std::function<void(TStreamPacker&)> Before;  // after "ab"
    TParseStep Step;
    bool AsPlanned;
    size_t Coded;  // output bytes the step added
    TRefusal Refused;
  };
  const TCase cases[] = {
      {"a literal", run.size(), [](TStreamPacker&) {}, {}, true, 1, TRefusal::None},
      {"a repeat stretched",
       run.size(),
       [](TStreamPacker&) {},
       {0, 255},
       true,
       65535,
       TRefusal::None},
      {"a repeat whose copy stops short",
       400,
       [](TStreamPacker&) {},
       {0, 255},
       true,
       255,
       TRefusal::None},
      {"an end marker without a share", run.size(), endless, TParseStep::End(), false, 0,
       TRefusal::EndMarkerNoShare},
  };
  for (const TCase& c : cases) {
    const TInput input = TInput(run).first(c.InputSize);
    TStreamPacker packer;
    packer.Literal('a');
    packer.Literal('b');
    c.Before(packer);
    const size_t pos = packer.OutputSize();
    const TCodedStep coded = CodeStep(input, packer, c.Step);
    EXPECT_EQ(coded.AsPlanned, c.AsPlanned) << c.Name;
    EXPECT_EQ(coded.Refused.Reason, c.Refused) << c.Name;
    if (coded.Refused) {
      EXPECT_EQ(coded.Refused.InputOffset, pos) << c.Name;
      continue;
    }
    EXPECT_EQ(packer.OutputSize(), pos + c.Coded) << c.Name;
    EXPECT_EQ(coded.Bits > 0, c.Step.IsLiteral() && c.AsPlanned) << c.Name;
  }
}

// Events taken back leave no trace: after coding a detour and taking it back, with the
// events before it, and coding those events again, the stream and every model it uses
// later are as if the detour had never been. Each case ends on what a take-back must put
// back: tables that grew, child tables spawned, overlapping copies, rings gone round.
TEST(WeighedParse, TakingEventsBackLeavesTheStreamAsIfNeverCoded) {
  struct TStep {
    int Code;  // TParseStep::kLiteral or an offset code
    uint32_t Length;
    uint8_t Byte;
  };
  auto literals = [](const std::string& text) {
    std::vector<TStep> steps;
    for (char c : text) steps.push_back({TParseStep::kLiteral, 1, static_cast<uint8_t>(c)});
    return steps;
  };
  std::string tree;
  for (int i = 0; i < 40; ++i) tree += "<k v=\"" + std::to_string(i % 7) + "\"/>";
  std::string laps(600, 'x');
  for (size_t i = 0; i < laps.size(); i += 5) laps[i] = 'y';
  struct TCase {
    const char* Name;
    std::vector<TStep> Before;
    std::vector<TStep> Again;  // coded, taken back with the detour, and coded again
    std::vector<TStep> Detour;
  };
  const std::vector<TStep> manyLaps{{2, 3, 0}};  // after "xyzxyz", the ring of z's first slot
  std::vector<TStep> copies = literals("abcab");
  copies.push_back({0, 200, 0});
  copies.push_back({3, 7, 0});
  const TCase cases[] = {
      {"contexts that spawn", literals(tree), literals(tree.substr(0, 20)), literals("Qz<k")},
      {"overlapping copies", literals("abc"), copies, {{0, 3, 0}, {2, 1, 0}}},
      {"rings gone round", literals(laps), literals("xyxxxxy"), literals(laps.substr(0, 300))},
      {"the end marker's neighbours", literals("hello"), {{0, 4, 0}}, literals("\xff\xfe")},
      {"a copy of many laps", literals("xyzxyz"), manyLaps, {{0, kEscapeLength, 0}}},
  };
  const std::vector<TStep> after = literals("<k v=\"3\"/>abc\xff");
  for (const TCase& c : cases) {
    auto code = [](TStreamPacker& packer, const std::vector<TStep>& steps) {
      for (const TStep& step : steps) {
        if (step.Code == TParseStep::kLiteral) {
          packer.Literal(step.Byte);
        } else {
          packer.Repeat(static_cast<uint8_t>(step.Code), step.Length);
        }
      }
    };
    TStreamPacker straight;
    for (const auto* steps : {&c.Before, &c.Again, &after}) code(straight, *steps);
    straight.EndMarker();

    TStreamPacker detoured;
    detoured.SetUndoLimit(c.Again.size() + c.Detour.size());
    code(detoured, c.Before);
    code(detoured, c.Again);
    code(detoured, c.Detour);
    ASSERT_EQ(detoured.Undoable(), c.Again.size() + c.Detour.size()) << c.Name;
    for (size_t i = 0; i < c.Again.size() + c.Detour.size(); ++i) detoured.TakeBack();
    code(detoured, c.Again);
    code(detoured, after);
    detoured.EndMarker();
    EXPECT_EQ(detoured.Output(), straight.Output()) << c.Name;
    EXPECT_EQ(detoured.Finish(), straight.Finish()) << c.Name;
  }
}

// Once the match table's total passes 0x8000, the end marker (weight 1) has no share
// whenever the range at the end falls below the total. Backing up over the last events
// and coding them another way finds a range that lets it through.
TEST(WeighedParse, TheEndMarkerBacksUpUntilItFits) {
  TStreamPacker packer;
  packer.SetUndoLimit(kMostTakenBack);
  for (char c : std::string("ab")) packer.Literal(static_cast<uint8_t>(c));
  for (int i = 0; i < 40000; ++i) packer.Repeat(0, 2);
  // Known bytes: a byte new to the root would need the whole range itself.
  for (int i = 0; packer.CanEnd(); ++i) packer.Literal(i % 2 == 0 ? 'a' : 'b');
  try {
    packer.EndMarker();
    ADD_FAILURE() << "the end marker was coded";
  } catch (const ETooLarge& e) {
    EXPECT_EQ(e.Reason(), "the end marker's share of the range would be 0");
  }
  const Bytes input = packer.Output();
  const TCodedStep coded = CodeStep(input, packer, TParseStep::End());
  EXPECT_FALSE(coded.Refused);
  EXPECT_FALSE(coded.AsPlanned);
  EXPECT_EQ(packer.Output(), input);
  const TDecodedStream decoded = DecodeStream(packer.Finish());
  EXPECT_TRUE(decoded.End);
  EXPECT_EQ(decoded.Output, input);
}

}  // namespace
}  // namespace lumera
