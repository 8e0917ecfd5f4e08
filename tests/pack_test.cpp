#include "encoder/pack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "encoder/event_packer.h"
#include "encoder/output_echo.h"
#include "encoder/range_encoder.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"
#include "engine/decompressor.h"
#include "engine/stream_decode.h"
#include "engine/symbol_decoder.h"
#include "explore/event_recorder.h"
#include "explore/exploration.h"
#include "platform/exceptions.h"
#include "stepped_decode.h"
#include "test_support.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// Walks a packed stream one decoding step at a time with the engine's own DecodeSymbol
// and checks each event against the script that wrote it.
TEST(Pack, EveryScriptedEventDecodesAsWritten) {
  TStreamPacker packer;
  const Bytes text = ToBytes("abracadabra");
  for (uint8_t b : text) packer.Literal(b);
  packer.Repeat(4, 5);
  packer.EndMarker();

  TMemoryDecode decode(packer.Finish());
  TMemoryStream& source = decode.Source;
  TMemoryStream& output = decode.Output;
  TDecompressor& d = decode.Decoder;
  d.Prepare();
  d.FBits = std::make_unique<TContext>(source);
  uint8_t head[4];
  source.Read(head, 4);
  d.FCode = (uint32_t{head[2]} << 8) | head[3];
  ASSERT_EQ(head[0] | head[1], 0);  // the code value starts below the initial range

  for (uint8_t expected : text) {
    d.DecodeLiteral();
    ASSERT_EQ(output.Bytes().back(), expected);
  }
  d.DecodeLiteral();  // escapes to the match table: offset code 4, length 5
  EXPECT_EQ(d.FRepeatLen, 5u);
  EXPECT_EQ(d.FRepeatPos, 4);  // just after the 4th latest 'a', at offset 3
  d.CopyRepeat();
  EXPECT_EQ(output.Bytes(), packer.Output());
  d.DecodeLiteral();  // the end marker
  EXPECT_TRUE(d.FDone);
  EXPECT_TRUE(d.FBits->AtEnd());
}

TEST(Pack, LongestRepeatPicksTheLongestCopyTheDecoderCanMake) {
  struct Case {
    const char* input;
    size_t pos;
    uint8_t code;
    uint32_t length;
  };
  for (const Case& c : {
           Case{"abcabcabc", 3, 0, 6},    // from the start, overlapping its own output
           Case{"qxabxab", 5, 2, 2},      // after the previous 'x'
           Case{"aaaaaaaa", 2, 0, 6},     // code 0 beats the ring's code 2 on a tie
           Case{"abcdef", 3, 0, 0},       // nothing matches
           Case{"xabzxaczxab", 9, 3, 2},  // a longer copy further back beats a nearer one
           Case{"xazxazxa", 7, 2, 1},     // the nearer of two equal copies
       }) {
    const Bytes input = ToBytes(c.input);
    TStreamPacker packer;
    for (size_t i = 0; i < c.pos; ++i) packer.Literal(input[i]);
    const TMatch choice =
        TRepeatSources(input).FindLongest(c.pos, packer.Mirror().FPositions, c.pos);
    EXPECT_EQ(choice.Length, c.length) << c.input;
    if (c.length > 0) {
      EXPECT_EQ(choice.Code, c.code) << c.input;
    }
  }
}

TEST(Pack, RepetitiveXmlPacksToWellUnderHalf) {
  std::string xml = "<?xml version=\"1.0\"?>\n<list>\n";
  for (int i = 0; i < 400; ++i) {
    xml += "  <entry key=\"" + std::to_string(i % 37) + "\"><state>open</state></entry>\n";
  }
  xml += "</list>\n";
  const Bytes input = ToBytes(xml);
  const Bytes stream = Pack(input);
  EXPECT_LT(stream.size() * 4, input.size());
  EXPECT_EQ(DecodeStream(stream).Output, input);
}

// A table may be coded from up to a total of 0xFFFE; the hit that would take it to 0x10000
// is refused. Everything up to that edge must still decode exactly.
// A snapshot of the coder puts back the range, low and the settled bytes, also when later
// additions carried into bytes settled before it (runs of 0xFF turned to 0x00): coding
// X, saving, coding Y, restoring and coding Z gives the stream of X then Z. Shares near
// the whole range make long runs of 0xFF likely; small ones shift many bits out.
TEST(Pack, ACoderSnapshotUndoesEverythingCodedAfterIt) {
  struct TShare {
    uint32_t Low, Weight, Total;
  };
  std::mt19937 random(20261207);
  auto below = [&random](uint32_t bound) { return static_cast<uint32_t>(random() % bound); };
  auto shares = [&below](size_t count, bool wide) {
    std::vector<TShare> list;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t total = 2 + below(wide ? 4 : 60000);
      const uint32_t weight = 1 + below(total - 1);
      list.push_back({below(total - weight + 1), weight, total});
    }
    return list;
  };
  auto code = [](TRangeEncoder& coder, const std::vector<TShare>& list) {
    for (const TShare& s : list) {
      if (TRangeEncoder::RangeAfter(coder.Range(), static_cast<uint16_t>(s.Weight), s.Total) != 0) {
        coder.Encode(s.Low, static_cast<uint16_t>(s.Weight), s.Total);
      }
    }
  };
  for (int round = 0; round < 200; ++round) {
    const bool wide = round % 2 == 0;
    const auto x = shares(1 + round % 37, wide), y = shares(round % 53, !wide), z = shares(9, wide);
    TRangeEncoder detoured, straight;
    code(detoured, x);
    const TRangeEncoder::TSnapshot snapshot = detoured.Save();
    code(detoured, y);
    detoured.Restore(snapshot);
    code(detoured, z);
    code(straight, x);
    code(straight, z);
    ASSERT_EQ(detoured.Finish(), straight.Finish()) << "round " << round;
  }
}

// The packer's output echoes its input: it reads back what was written, refuses a byte
// that differs, and forgets what a take-back truncates.
TEST(Pack, TheOutputEchoHoldsOnlyTheInputsPrefix) {
  const Bytes input = ToBytes("abcdef");
  TOutputEcho echo(input);
  EXPECT_EQ(echo.Write("abc", 3), 3u);
  EXPECT_THROW(echo.Write("x", 1), std::logic_error);
  EXPECT_EQ(echo.Size(), 3);
  echo.Seek(-2, TSeekOrigin::Current);
  char back[2] = {};
  EXPECT_EQ(echo.Read(back, 2), 2u);
  EXPECT_EQ(std::string(back, 2), "bc");
  echo.Truncate(1);
  EXPECT_EQ(echo.Position(), 1);
  EXPECT_THROW(echo.Write("c", 1), std::logic_error);
  EXPECT_EQ(echo.Write("bcdef", 5), 5u);
  EXPECT_THROW(echo.Write("g", 1), std::logic_error);  // past the input
  EXPECT_EQ(Bytes(echo.Bytes().begin(), echo.Bytes().end()), input);
}

// Only the latest events within the limit can be taken back; lowering it forgets the rest.
TEST(Pack, OnlyTheLatestEventsCanBeTakenBack) {
  TStreamPacker packer;
  packer.SetUndoLimit(4);
  for (char c : std::string("abcdef")) packer.Literal(static_cast<uint8_t>(c));
  EXPECT_EQ(packer.Undoable(), 4u);
  packer.SetUndoLimit(2);
  packer.TakeBack();
  packer.TakeBack();
  EXPECT_EQ(packer.Output(), ToBytes("abcd"));
  EXPECT_THROW(packer.TakeBack(), std::logic_error);
}

// Every part of a decoder's models, named, as words: each table's count, total, entries
// and slots, the tree's pool, the rings, the history and a pending repeat.
std::vector<std::pair<std::string, std::vector<uint32_t>>> ModelParts(const TDecompressor& d) {
  auto table = [](const TDic& t) {
    std::vector<uint32_t> words{static_cast<uint32_t>(t.FCount), t.FTotal};
    for (int32_t i = 0; i < t.FCount; ++i) words.push_back(t.FItems[i].Word);
    for (const TDicSlot& slot : t.FSlots) words.push_back(slot.Word);
    return words;
  };
  const TDictionary& tree = *d.FDictionary;
  std::vector<std::pair<std::string, std::vector<uint32_t>>> parts{
      {"root", table(*tree.FRoot)},
      {"tree", {tree.FCount, static_cast<uint32_t>(tree.FItems.size())}},
      {"match table", table(*d.FMatchDic)},
      {"length table", table(*d.FLenDic)},
      {"length table 0", table(*d.FLenDic0)},
      {"history", {d.FHist[0], d.FHist[1], d.FHist[2], d.FHist[3], d.FHistIdx, d.FRepeatLen}}};
  for (size_t i = 0; i < tree.FItems.size(); ++i) {
    if (i >= tree.FCount) {
      if (tree.FItems[i]) parts.push_back({"a table past the count", {static_cast<uint32_t>(i)}});
      continue;
    }
    parts.push_back({"child " + std::to_string(i), table(*tree.FItems[i])});
  }
  for (size_t value = 0; value < d.FPositions.size(); ++value) {
    const TBytePositions& ring = d.FPositions[value];
    std::vector<uint32_t> words{ring.Next};
    words.insert(words.end(), ring.Pos.begin(), ring.Pos.end());
    parts.push_back({"ring " + std::to_string(value), words});
  }
  return parts;
}

// A random event the packer can code where it stands: mostly literals of a small alphabet,
// some escaped or through a second copy, and repeats of any code, now and then of 65535
// bytes, so that the tree grows, tables get copies and rings go round whole laps.
TEventChoice RandomChoice(std::mt19937& random, TStreamPacker& packer) {
  for (;;) {
    const uint32_t pick = random() % 64;
    const uint8_t byte = static_cast<uint8_t>('a' + random() % 5);
    const TEventChoice choice =
        pick < 40   ? TEventChoice::Literal(byte, false)
        : pick < 48 ? TEventChoice::Literal(byte, true)
        : pick < 52 ? TEventChoice::Literal(byte, false, 1)
        : pick < 63 ? TEventChoice::Repeat(static_cast<uint16_t>(random() % 6), random() % 40)
                    : TEventChoice::Repeat(0, kEscapeLength);
    if (packer.RefusalOf(choice) == TRefusal::None) return choice;
  }
}

// Taking events back must leave the models exactly as a decoder holds them that has seen
// only the events kept: the journal learns what changed from the engine's own update, so
// whatever that update does, taking back must undo. Code K random events, take back J,
// and decode the stream of the rest with a fresh decoder.
TEST(Pack, TakingBackLeavesTheModelsOfADecoderThatSawOnlyTheRest) {
  struct TCase {
    uint32_t Seed;
    size_t Coded;
    size_t Back;
  };
  for (const TCase& c : {TCase{1, 20, 1}, TCase{2, 120, 16}, TCase{3, 400, 64}, TCase{4, 1500, 300},
                         TCase{5, 300, 290}}) {
    const std::string name = "seed " + std::to_string(c.Seed);
    std::mt19937 random(c.Seed);
    TStreamPacker packer;
    packer.SetUndoLimit(c.Back);
    for (size_t i = 0; i < c.Coded; ++i) {
      ASSERT_EQ(packer.TryEvent(RandomChoice(random, packer)), TRefusal::None) << name;
    }
    for (size_t i = 0; i < c.Back; ++i) packer.TakeBack();

    testing::TSteppedDecode fresh(packer.Finish());
    for (size_t i = 0; i < c.Coded - c.Back; ++i) fresh.Event();
    ASSERT_EQ(fresh.Output(), packer.Output()) << name;
    const auto expected = ModelParts(fresh.Decoder());
    const auto taken = ModelParts(packer.Mirror());
    ASSERT_EQ(taken.size(), expected.size()) << name;
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(taken[i], expected[i]) << name;
    }
  }
}

TEST(Pack, RefusesATotalThatWouldReach0x10000AndDecodesUpToIt) {
  TStreamPacker probe;
  size_t accepted = 0;
  try {
    for (;; ++accepted) probe.Literal('a');
  } catch (const ETooLarge& e) {
    EXPECT_EQ(e.Message(),
              "The input cannot be carried by the format: a table's total would reach 0x10000.");
    EXPECT_EQ(e.InputOffset(), accepted);
  }
  ASSERT_GT(accepted, 60000u);
  // The run cannot end with the end marker (its escape has no share left), so it is
  // decoded with a stop after the last accepted literal.
  TStreamPacker packer;
  for (size_t i = 0; i < accepted; ++i) packer.Literal('a');
  TMemoryDecode decode(packer.Finish(), nullptr, accepted);
  decode.Decoder.Decompress();
  EXPECT_EQ(decode.Output.Bytes(), Bytes(accepted, 'a'));
  // Chosen as events, the same refusals come as reasons, with nothing coded.
  const size_t before = packer.Finish().size();
  EXPECT_EQ(packer.TryEvent(TEventChoice::Literal('a', false)), TRefusal::TableTotalFull);
  EXPECT_EQ(packer.TryEvent(TEventChoice::End()), TRefusal::TableTotalFull);
  EXPECT_EQ(packer.OutputSize(), accepted);
  EXPECT_EQ(packer.Finish().size(), before);
}

// The choices of every event of a stream as the decoder took them, and its tail.
struct TDecodedChoices {
  std::vector<TEventChoice> Events;
  TStreamTail Tail;
  Bytes Output;
};

TDecodedChoices ChoicesOf(const Bytes& stream) {
  TEventRecorder recorder;
  const TDecodedStream decoded = DecodeStream(stream, &recorder);
  if (!decoded.Tail) throw std::runtime_error("the stream does not decode to its end marker");
  TDecodedChoices choices{{}, *decoded.Tail, decoded.Output};
  for (const TEvent& event : recorder.Events()) {
    switch (event.Kind) {
      case TEventKind::Literal:
        choices.Events.push_back(TEventChoice::Literal(event.Byte, event.Escaped, event.Copy));
        break;
      case TEventKind::Repeat:
        choices.Events.push_back(TEventChoice::Repeat(event.Code, event.Len));
        break;
      case TEventKind::End:
        choices.Events.push_back(TEventChoice::End());
        break;
    }
  }
  return choices;
}

// Codes the choices one by one, then ends with the tail.
TFinishedStream Repack(const TDecodedChoices& choices) {
  TStreamPacker packer;
  for (const TEventChoice& choice : choices.Events) {
    const TRefusal refusal = packer.TryEvent(choice);
    if (refusal != TRefusal::None) throw std::runtime_error(RefusalText(refusal));
  }
  return packer.Finish(choices.Tail);
}

// A stream of another parse: a literal escaped from a context that holds it, a repeat
// with a code that is not the cheapest (code 0 copies the same) and one of 65,535 bytes.
Bytes ScriptedStream() {
  TStreamPacker packer;
  const TEventChoice script[] = {
      TEventChoice::Literal('a', false),
      TEventChoice::Literal('b', true),
      TEventChoice::Literal('a', false),
      TEventChoice::Literal('b', false),
      TEventChoice::Repeat(2, 2),  // "ab" after the 'b' before the last
      TEventChoice::Literal('a', false),
      TEventChoice::Literal('b', true),  // the context after 'a' holds 'b'
      TEventChoice::Repeat(0, kEscapeLength),
      TEventChoice::Literal('b', false),
      TEventChoice::Repeat(1, 0),
      TEventChoice::End(),
  };
  for (const TEventChoice& choice : script) {
    const TRefusal refusal = packer.TryEvent(choice);
    if (refusal != TRefusal::None) throw std::runtime_error(RefusalText(refusal));
  }
  return packer.Finish();
}

// The unused low bits of the last word set to ones.
Bytes WithUnusedBitsSet(Bytes stream) {
  const TStreamTail tail = ChoicesOf(stream).Tail;
  for (uint8_t i = 0; i < tail.UnusedBitCount; ++i) {
    const uint64_t bit = tail.BitsTaken + i;
    stream[bit / 8] = static_cast<uint8_t>(stream[bit / 8] | (0x80 >> (bit % 8)));
  }
  return stream;
}

Bytes Appended(Bytes stream, const Bytes& trailing) {
  stream.insert(stream.end(), trailing.begin(), trailing.end());
  return stream;
}

std::string RoundTripText() {
  std::string xml = "<?xml version=\"1.0\"?>\n<codes>\n";
  for (int i = 0; i < 60; ++i) {
    xml += "  <code id=\"" + std::to_string(i * 13 % 29) + "\" kind=\"" + (i % 4 ? "a" : "b") +
           "\"/>\n";
  }
  return xml + "</codes>\n";
}

// Decoding a stream event by event and coding the same choices again, with what followed
// its end marker, gives the very same stream: for both levels, for a parse of another
// kind, and for what the decoder never reads (bits left in the last word, bytes after it).
TEST(Pack, TheEventsOfAStreamAndItsTailCodeItAgainByteForByte) {
  const Bytes text = ToBytes(RoundTripText());
  struct TCase {
    const char* Name;
    Bytes Stream;
    Bytes Output;  // what it must still decode to
  };
  const TCase cases[] = {
      {"level 1", Pack(text, kFastestLevel), text},
      {"level 9", Pack(text, kSmallestLevel), text},
      {"empty", Pack({}, kFastestLevel), {}},
      {"scripted", ScriptedStream(), DecodeStream(ScriptedStream()).Output},
      {"trailing bytes", Appended(Pack(text, kFastestLevel), {0, 0xFF, 7}), text},
      {"unused bits set", WithUnusedBitsSet(Pack(text, kSmallestLevel)), text},
      {"unused bits of a script", WithUnusedBitsSet(ScriptedStream()),
       DecodeStream(ScriptedStream()).Output},
  };
  for (const TCase& c : cases) {
    const TDecodedChoices choices = ChoicesOf(c.Stream);
    EXPECT_EQ(choices.Output, c.Output) << c.Name;
    const TFinishedStream again = Repack(choices);
    EXPECT_TRUE(again.TailKept) << c.Name;
    EXPECT_EQ(again.Bytes, c.Stream) << c.Name;
  }
  const TDecodedChoices scripted = ChoicesOf(ScriptedStream());
  EXPECT_EQ(scripted.Events[4], TEventChoice::Repeat(2, 2));
  EXPECT_EQ(scripted.Events[6], TEventChoice::Literal('b', true));
  EXPECT_EQ(scripted.Output.size(), 8 + kEscapeLength + 1);
  EXPECT_NE(WithUnusedBitsSet(ScriptedStream()), ScriptedStream());
}

// A tail that no longer fits the coder's state (after an edit) gives the ordinary flush.
TEST(Pack, ATailThatDoesNotFitGivesTheOrdinaryFlush) {
  const Bytes text = ToBytes(RoundTripText());
  const TDecodedChoices choices = ChoicesOf(WithUnusedBitsSet(Pack(text, kFastestLevel)));
  struct TCase {
    const char* Name;
    TStreamTail Tail;
  };
  TStreamTail moreBits = choices.Tail, codeOutside = choices.Tail, wideUnused = choices.Tail;
  moreBits.BitsTaken += 1;
  codeOutside.Code = 0x10000;
  wideUnused.UnusedBits = 1u << wideUnused.UnusedBitCount;
  for (const TCase& c : {TCase{"more bits taken", moreBits}, TCase{"code outside", codeOutside},
                         TCase{"unused bits too wide", wideUnused}}) {
    TDecodedChoices edited = choices;
    edited.Tail = c.Tail;
    const TFinishedStream again = Repack(edited);
    EXPECT_FALSE(again.TailKept) << c.Name;
    EXPECT_EQ(again.Bytes, Pack(text, kFastestLevel)) << c.Name;
  }
}

// Choices the decoder cannot take are refused with their reason, and nothing is coded.
TEST(Pack, AChoiceTheDecoderCannotTakeIsRefusedWithItsReason) {
  struct TCase {
    const char* Before;  // literals coded first, as the context holds them
    TEventChoice Choice;
    TRefusal Refusal;
  };
  const TCase cases[] = {
      {"a", TEventChoice::Literal('b', false), TRefusal::LiteralNotHeld},
      {"a", TEventChoice::Literal('a', false, 1), TRefusal::CopyNotHeld},
      {"aa", TEventChoice::Literal('a', true, 1), TRefusal::CopyNotHeld},  // the root's one
      {"", TEventChoice::Literal('a', true), TRefusal::EscapeFromRoot},
      {"", TEventChoice::Repeat(0, 5), TRefusal::InvalidOffset},  // nothing to copy yet
      {"ab", TEventChoice::Repeat(3, 1), TRefusal::InvalidOffset},
      {"ab", TEventChoice::Repeat(300, 1), TRefusal::InvalidOffset},  // past every ring
      {"ab", TEventChoice::Repeat(0, 256), TRefusal::LengthUncodable},
      {"ab", TEventChoice::Repeat(0, 65534), TRefusal::LengthUncodable},
      {"aa", TEventChoice::Literal('a', true), TRefusal::None},
      {"ab", TEventChoice::Repeat(0, 0), TRefusal::None},
  };
  for (const TCase& c : cases) {
    TStreamPacker packer;
    for (const char* b = c.Before; *b != 0; ++b) packer.Literal(static_cast<uint8_t>(*b));
    const Bytes before = packer.Finish();
    EXPECT_EQ(packer.RefusalOf(c.Choice), c.Refusal) << c.Before << RefusalText(c.Refusal);
    EXPECT_EQ(packer.TryEvent(c.Choice), c.Refusal) << c.Before << RefusalText(c.Refusal);
    if (c.Refusal != TRefusal::None) {
      EXPECT_EQ(packer.Finish(), before) << c.Before << RefusalText(c.Refusal);
      EXPECT_EQ(packer.OutputSize(), std::string(c.Before).size());
    }
  }
  TStreamPacker ended;
  ended.EndMarker();
  EXPECT_EQ(ended.TryEvent(TEventChoice::Literal('a', false)), TRefusal::AfterEnd);
  EXPECT_STREQ(RefusalText(TRefusal::AfterEnd), "the end marker has been coded already");
}

}  // namespace
}  // namespace lumera

namespace lumera {
namespace {

Bytes Noise(size_t size, uint32_t seed = 12345) {
  Bytes bytes(size);
  for (uint8_t& b : bytes) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<uint8_t>(seed >> 16);
  }
  return bytes;
}

std::string Records(int count) {
  std::string xml = "<?xml version=\"1.0\"?>\n<list>\n";
  for (int i = 0; i < count; ++i) {
    xml += "  <item id=\"" + std::to_string(i * 31 % 97) + "\" name=\"n" + std::to_string(i) +
           "\" kind=\"" + (i % 3 ? "plain" : "fancy") + "\"/>\n";
  }
  return xml + "</list>\n";
}

TEST(PackLevels, EveryLevelDecodesToExactlyItsInput) {
  Bytes everyValue;
  for (int round = 0; round < 2; ++round) {
    for (int b = 0; b < 256; ++b) everyValue.push_back(static_cast<uint8_t>(b));
  }
  // Runs longer than the length table's escape: each such repeat carries 65,535 bytes.
  std::string pattern;
  for (int i = 0; i < 70000; ++i) pattern += "ab";
  struct Case {
    const char* name;
    Bytes input;
    bool compressible;          // the weighed parse must then come out no larger than the greedy
    size_t largest = SIZE_MAX;  // no stream of it may be longer
  };
  const Case cases[] = {
      {"empty", {}, false},
      {"one byte", ToBytes("x"), false},
      {"records", ToBytes(Records(150)), true},
      {"noise", Noise(3000), false},
      {"run", Bytes(600, 'a'), true},
      {"every byte value twice", everyValue, false},
      {"words", ToBytes("the cat sat on the mat; the cat sat on the hat; a cat, a hat."), true},
      {"200,000 zeros", Bytes(200000, 0), true, 64},
      {"a long run inside text", ToBytes(Records(20) + pattern + Records(20)), true, 400},
  };
  for (const Case& c : cases) {
    size_t greedy = 0;
    // Levels 2 to 8 are aliases of 9: one of them stands for all.
    for (int level : {kFastestLevel, 5, kSmallestLevel}) {
      const Bytes stream = Pack(c.input, level);
      const TDecodedStream decoded = DecodeStream(stream);
      EXPECT_EQ(decoded.Output, c.input) << c.name << " at level " << level;
      EXPECT_TRUE(decoded.End && decoded.UnusedSourceBytes == 0) << c.name << " at level " << level;
      EXPECT_LE(stream.size(), c.largest) << c.name << " at level " << level;
      if (level == kFastestLevel) greedy = stream.size();
      if (level == kSmallestLevel && c.compressible) {
        EXPECT_LE(stream.size(), greedy) << c.name;
      }
    }
  }
}

// Prefixes of seeded noise around the sizes where the format runs out of room: the
// encoder used to refuse these lengths at both levels while 72,000 bytes were carried.
// Once a prefix is refused every longer one must be. (Each run is slow under the
// sanitizers: noise makes every literal scan the root.)
TEST(PackLevels, CapacityOnlyGrowsWithTheText) {
  const Bytes noise = Noise(69500, 20261207);
  struct TCase {
    int Level;
    std::vector<size_t> Lengths;  // rising
  };
  const TCase cases[] = {
      {kFastestLevel, {49000, 68250, 69500}},
      {kSmallestLevel, {68250}},
  };
  for (const TCase& c : cases) {
    size_t refused = 0;
    for (size_t length : c.Lengths) {
      const std::span<const uint8_t> prefix(noise.data(), length);
      try {
        const TDecodedStream decoded = DecodeStream(Pack(prefix, c.Level));
        EXPECT_TRUE(decoded.End && decoded.Output.size() == length) << length;
        EXPECT_EQ(refused, 0u) << length << " bytes carried at level " << c.Level;
      } catch (const ETooLarge&) {
        if (refused == 0) refused = length;
      }
    }
  }
}

TEST(PackLevels, RefusesALevelOutsideOneToNine) {
  for (int level : {0, 10, -1}) {
    try {
      Pack(ToBytes("abc"), level);
      ADD_FAILURE() << "level " << level << " was taken";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(),
                "The packing level must be 1 to 9, not " + std::to_string(level) + ".");
    }
  }
}

}  // namespace
}  // namespace lumera

namespace lumera {
namespace {

// Every saved stream: the bundled example and the fuzz targets' corpora of streams.
std::vector<std::pair<std::string, Bytes>> SavedStreams() {
  const std::string examples = LUMERA_EXAMPLES;
  std::vector<std::string> paths = {examples + "/sample.lum"};
  for (const char* folder : {"/../fuzz/corpus/decode", "/../fuzz/corpus/explain"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(testing::Utf8Path(examples + folder)))
      paths.push_back(testing::Utf8(entry.path()));
  }
  std::vector<std::pair<std::string, Bytes>> streams;
  for (const std::string& path : paths)
    streams.emplace_back(path, ToBytes(testing::ReadFile(path)));
  return streams;
}

// PackEvents, as lumera-pack --events and the library use it, on every saved stream that
// reaches its end marker, on another parse's stream with bytes after it, and on ours.
TEST(PackEvents, EveryStreamThatReachesItsEndComesBackByteForByte) {
  auto streams = SavedStreams();
  streams.emplace_back("another parse", Appended(ScriptedStream(), {7, 7}));
  for (int level : {kFastestLevel, kSmallestLevel}) {
    for (const Bytes& text : {ToBytes(Records(120)), Noise(2000), Bytes(70000, 'z')}) {
      streams.emplace_back("level " + std::to_string(level), Pack(text, level));
    }
  }
  size_t ended = 0, leftShare = 0;
  for (const auto& [name, stream] : streams) {
    if (!DecodeStream(stream).End) continue;
    ++ended;
    const TDecodedChoices choices = ChoicesOf(stream);
    const TPackedEvents again = PackEvents(choices.Events, choices.Tail);
    // Bytes no encoder wrote, whose code value left a share, come back as the same events.
    if (choices.Tail.CodeLeftShare) {
      ++leftShare;
      EXPECT_EQ(again.Tail, TTailOutcome::Differs) << name;
      EXPECT_EQ(ChoicesOf(again.Stream).Events, choices.Events) << name;
      continue;
    }
    EXPECT_EQ(again.Tail, TTailOutcome::Kept) << name;
    EXPECT_EQ(again.Stream, stream) << name;
  }
  EXPECT_GE(ended, 25u);
  EXPECT_EQ(leftShare, 1u);
}

// Editing a literal's byte changes the text at its offset and in what later repeats copy
// from there, and nowhere else; the stream gets a tail of its own.
TEST(PackEvents, AnEditedByteChangesTheTextOnlyWhereItIsCopied) {
  const Bytes text = ToBytes(Records(30));
  const Bytes stream = Pack(text);
  const std::vector<TEvent> events = Explore(stream).Events;
  const TDecodedChoices choices = ChoicesOf(stream);

  // The latest escaped literal that a later repeat copies, and whose edit leaves every
  // later event codable: its byte comes from the root, which holds every byte.
  bool copied = false;
  for (size_t i = events.size(); i-- > 0 && !copied;) {
    if (!events[i].Escaped) continue;
    std::vector<TEventChoice> changed = choices.Events;
    changed[i].Byte ^= 0x20;
    Bytes expected = text;
    expected[events[i].Out] ^= 0x20;
    for (const TEvent& e : events) {
      for (uint32_t k = 0; e.Kind == TEventKind::Repeat && k < e.Len; ++k) {
        expected[e.Out + k] = expected[e.From + k];
      }
    }
    const auto after = [&](const Bytes& bytes) { return bytes.begin() + events[i].Out + 1; };
    if (std::equal(after(expected), expected.cend(), after(text))) continue;
    try {
      const TPackedEvents packed = PackEvents(changed, choices.Tail);
      EXPECT_EQ(packed.Tail, TTailOutcome::MadeAnew);
      EXPECT_EQ(DecodeStream(packed.Stream).Output, expected) << "event " << i;
      copied = true;
    } catch (const EEventRefused&) {
    }
  }
  EXPECT_TRUE(copied);
}

}  // namespace
}  // namespace lumera
