#include "encoder/weighed_parse.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoder/pack.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"
#include "engine/decompressor.h"
#include "engine/stream_decode.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// A decoder that is driven one event at a time, so that the bits each event pulls can
// be read off.
class TSteppedDecode {
 public:
  explicit TSteppedDecode(Bytes stream) : FDecode(std::move(stream)) {
    TDecompressor& d = FDecode.Decoder;
    d.Prepare();
    d.FBits = std::make_unique<TContext>(FDecode.Source);
    uint8_t head[4];
    FDecode.Source.Read(head, 4);
    d.FCode =
        (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) | head[3];
  }

  // Decodes one literal or one repeat with its copy; returns the bits it pulled.
  uint64_t Event() {
    TDecompressor& d = FDecode.Decoder;
    const uint64_t before = d.SourceBitsTaken();
    d.DecodeLiteral();
    if (d.FRepeatLen > 0) d.CopyRepeat();
    return d.SourceBitsTaken() - before;
  }
  const Bytes& Output() const { return FDecode.Output.Bytes(); }

 private:
  TMemoryDecode FDecode;
};

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
  const TRepeatSources sources(input);
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
    sources.FindMatches(pos, matches);
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

// The offset codes read off the input alone must be the ones the decoder's rings give,
// also once a value's ring has gone round (more than 256 occurrences).
TEST(WeighedParse, RepeatSourcesAgreeWithTheDecodersRings) {
  std::string laps;
  for (int i = 0; i < 300; ++i) laps += (i % 7 == 0) ? "ba" : "a";
  for (const std::string& text : {std::string("abracadabra, abracadabra!"), laps,
                                  std::string("<a><b>x</b><b>y</b></a><a><b>x</b></a>")}) {
    const Bytes input = ToBytes(text);
    const TRepeatSources sources(input);
    TStreamPacker packer;
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
      sources.FindMatches(pos, found);
      ASSERT_EQ(found.size(), expected.size()) << text << " at " << pos;
      for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].Code, expected[i].Code) << text << " at " << pos;
        EXPECT_EQ(found[i].Length, expected[i].Length) << text << " at " << pos;
      }
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

  const TRepeatSources sources(input);
  size_t at = pos;
  while (at < input.size()) at += CodeCheapestChoice(input, at, sources, packer);
  EXPECT_EQ(packer.Output(), input);
  // The match table's total is past the range too, so the end marker, whose weight stays
  // 1, has no share either: the stream is decoded with a stop after the input's bytes.
  EXPECT_THROW(packer.EndMarker(), ETooLarge);
  TMemoryDecode decode(packer.Finish(), nullptr, input.size());
  decode.Decoder.Decompress();
  EXPECT_EQ(decode.Output.Bytes(), input);
}

}  // namespace
}  // namespace lumera
