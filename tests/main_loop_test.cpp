#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/front_end.h"
#include "diag/trace.h"
#include "encoder/pack.h"
#include "encoder/stream_packer.h"
#include "engine/decompressor.h"
#include "engine/stream_decode.h"
#include "platform/exceptions.h"
#include "test_support.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

struct TTracedRun {
  Bytes Output;
  std::string Trace;
  bool Done = false;
  std::string Error;  // the message of the failure that ended the run, if any
};

// Decodes like the tool: trace, reference check against reference, stop at 20 bytes.
TTracedRun DecodeTraced(const Bytes& stream, const Bytes& reference) {
  testing::TScratchDir dir;
  testing::WriteFile(dir / "dec.xml", reference);
  TMemoryConsole console;
  TTrace trace(console, dir / "dec.xml");
  TMemoryDecode decode(stream, &trace, kTracedStop);
  TTracedRun run;
  run.Error = testing::FailureMessage([&] { decode.Decoder.Decompress(); });
  if (run.Error == "none") run.Error.clear();
  run.Output = decode.Output.Bytes();
  run.Trace = console.Output();
  run.Done = decode.Decoder.FDone;
  return run;
}

Bytes PackLiterals(const Bytes& text, const Bytes& trailing = {}) {
  TStreamPacker packer;
  for (uint8_t b : text) packer.Literal(b);
  packer.EndMarker();
  return packer.Finish(trailing);
}

Bytes XmlLike(size_t size, unsigned seed) {
  std::mt19937 random(seed);
  const char* tags[] = {"item", "name", "value", "note"};
  std::string text = "<?xml version=\"1.0\"?>\n<root>\n";
  while (text.size() < size) {
    const std::string tag = tags[random() % 4];
    text += "  <" + tag + " id=\"" + std::to_string(random() % 1000) + "\">";
    for (unsigned n = random() % 12; n > 0; --n)
      text.push_back(static_cast<char>('a' + random() % 6));
    text += "</" + tag + ">\n";
  }
  text.resize(size);
  return ToBytes(text);
}

constexpr const char* kLeftOverWarning =
    "Warning: data extracted successfully but not the whole source stream has been used.";

TEST(MainLoop, RoundTripsBitForBitWithTheStopLifted) {
  std::mt19937 random(7);
  for (size_t size : {0u, 1u, 2u, 19u, 20u, 21u, 300u, 4096u, 30000u}) {
    Bytes noise(size);
    for (auto& b : noise) b = static_cast<uint8_t>(random());
    for (const Bytes& input : {XmlLike(size, static_cast<unsigned>(size)), noise}) {
      for (const Bytes& stream : {Pack(input), PackLiterals(input)}) {
        const TDecodedStream decoded = DecodeStream(stream);
        EXPECT_EQ(decoded.Output, input) << "size " << size;
        EXPECT_TRUE(decoded.End && decoded.UnusedSourceBytes == 0) << "size " << size;
      }
    }
  }
}

// The stop is tested before the end marker: 19 bytes reach it, 20 bytes stop first.
TEST(MainLoop, StopsAfterTwentyBytesBeforeTheEndMarkerIsDecoded) {
  for (size_t size : {0u, 1u, 19u, 20u, 21u, 40u}) {
    const Bytes text = XmlLike(size, 3);
    const TTracedRun run = DecodeTraced(PackLiterals(text), text);
    ASSERT_EQ(run.Error, "") << size;
    EXPECT_EQ(run.Done, size < 20) << size;
    EXPECT_EQ(run.Output, Bytes(text.begin(), text.begin() + std::min<size_t>(size, 20)));
    EXPECT_EQ(run.Trace.find("Warning"), std::string::npos) << size;
  }
}

TEST(MainLoop, ARepeatDueBeforeTheStopIsCopiedInFull) {
  TStreamPacker packer;
  for (uint8_t b : ToBytes("abcdefghijklmnopq")) packer.Literal(b);
  packer.Repeat(0, 30);
  packer.EndMarker();
  const TTracedRun run = DecodeTraced(packer.Finish(), packer.Output());
  EXPECT_EQ(run.Error, "");
  EXPECT_EQ(run.Output.size(), 47u);
  EXPECT_EQ(run.Output, packer.Output());
  EXPECT_FALSE(run.Done);
}

TEST(MainLoop, EndMarkerFirstWarnsOnlyWhenTheSourceIsNotUsedUp) {
  struct Case {
    Bytes trailing;
    bool warns;
  };
  for (const Case& c : {Case{{}, false}, Case{{0xAB}, true}, Case{{1, 2, 3, 4}, true}}) {
    const Bytes stream = PackLiterals({}, c.trailing);
    const TTracedRun run = DecodeTraced(stream, {});
    EXPECT_TRUE(run.Done);
    EXPECT_TRUE(run.Output.empty());
    EXPECT_EQ(run.Trace.find(kLeftOverWarning) != std::string::npos, c.warns) << stream.size();
  }
}

TEST(MainLoop, SourceLengthCheck) {
  const Bytes eight = PackLiterals({});
  ASSERT_EQ(eight.size(), 8u);
  EXPECT_EQ(DecodeTraced(eight, {}).Error, "");
  for (const Bytes& shorter : {Bytes{}, Bytes(eight.begin(), eight.begin() + 7)}) {
    const TTracedRun run = DecodeTraced(shorter, {});
    EXPECT_EQ(run.Error, "Too short source stream, min length is 8 bytes.");
    EXPECT_TRUE(run.Output.empty());
    EXPECT_EQ(run.Trace, "");
  }
}

TEST(MainLoop, RepeatCodesAndLengths) {
  TStreamPacker packer;
  for (uint8_t b : ToBytes("xyxy")) packer.Literal(b);
  packer.Repeat(2, 0);  // no copy pending, decoding goes on with a literal
  packer.Literal('z');
  packer.Repeat(0, 3);              // copies x, y, x from the start
  packer.Repeat(2, kEscapeLength);  // the length table's escape: 65535 bytes
  packer.EndMarker();

  TMemoryDecode decode(packer.Finish());
  decode.Decoder.Decompress();
  const Bytes& output = decode.Output.Bytes();
  EXPECT_EQ(output, packer.Output());
  EXPECT_EQ(output.size(), 8u + 65535u);
  EXPECT_EQ(Bytes(output.begin(), output.begin() + 8), ToBytes("xyxyzxyx"));
  // Code 0 was coded in its own length table, the other codes in the shared one.
  EXPECT_EQ(decode.Decoder.FLenDic0->FTotal, 258u);
  EXPECT_EQ(decode.Decoder.FLenDic->FTotal, 259u);
}

TEST(MainLoop, ARefusedOffsetCodeEndsTheRunWithTheBytesBeforeIt) {
  struct Case {
    const char* before;
    uint8_t code;
    uint32_t length;
  };
  // Too large for the ring; the end of the output; nothing output yet (also for length 0).
  for (const Case& c : {Case{"abc", 9, 4}, Case{"abc", 1, 4}, Case{"", 0, 4}, Case{"", 3, 0}}) {
    TStreamPacker packer;
    for (uint8_t b : ToBytes(c.before)) packer.Literal(b);
    packer.Repeat(c.code, c.length);
    TMemoryDecode decode(packer.Finish());
    EXPECT_EQ(testing::FailureMessage([&] { decode.Decoder.Decompress(); }),
              "Invalid offset code for the repeater.")
        << "code " << int{c.code};
    EXPECT_EQ(decode.Output.Bytes(), ToBytes(c.before));
  }
}

// The whole-stream decode that every caller but the traced tool uses says how decoding
// ended, and its failure reads the same wherever it is shown.
TEST(MainLoop, TheWholeStreamDecodeSaysHowItEnded) {
  const Bytes text = ToBytes("abcabcabc");
  TStreamPacker refused;
  for (uint8_t b : ToBytes("abc")) refused.Literal(b);
  refused.Repeat(9, 2);
  const struct {
    const char* name;
    Bytes stream;
    uint64_t maxOutput;
    Bytes output;
    uint64_t unused;
    std::string failure;  // the sentence; empty when the end marker was reached
  } cases[] = {
      {"whole", Pack(text), kDefaultMaxOutput, text, 0, ""},
      {"exactly the bound", Pack(text), text.size(), text, 0, ""},
      {"trailing bytes", PackLiterals(text, {1, 2, 3}), kDefaultMaxOutput, text, 3, ""},
      {"past the bound", PackLiterals(text), 4, ToBytes("abcab"), 0,
       "the decoded output passes its bound: decoding stopped after 5 output bytes, at source "
       "byte 8 (The decoded output exceeds the bound of 4 bytes.)"},
      {"a refused repeat", refused.Finish(), kDefaultMaxOutput, ToBytes("abc"), 0,
       "not a valid stream: decoding failed after 3 output bytes, at source byte 10 (Invalid "
       "offset code for the repeater.)"},
      {"too short", Bytes(7, 0), kDefaultMaxOutput, {}, 0,
       "not a valid stream: decoding failed after 0 output bytes, at source byte 0 (Too short "
       "source stream, min length is 8 bytes.)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TDecodedStream decoded = DecodeStream(c.stream, nullptr, c.maxOutput);
    EXPECT_EQ(decoded.Output, c.output);
    EXPECT_EQ(decoded.End, c.failure.empty());
    EXPECT_EQ(decoded.UnusedSourceBytes, c.unused);
    EXPECT_EQ(decoded.Failure ? FailureSentence(*decoded.Failure) : "", c.failure);
    if (decoded.Failure) {
      EXPECT_EQ(EDecodingFailed(*decoded.Failure).Message(), c.failure);
    }
  }
  EXPECT_EQ(UnusedSourceText(1), "1 source byte left unused");
  EXPECT_EQ(UnusedSourceText(4), "4 source bytes left unused");
}

// Each decompression counts its own output: the second run reads the reference from its
// first byte again and stops at 20 bytes again.
TEST(MainLoop, EveryTracedDecompressionStartsItsOwnRecord) {
  testing::TScratchDir dir(true);
  const Bytes text = XmlLike(60, 5);
  testing::WriteFile("dec.xml", text);
  testing::WriteFile("blob.lum", Pack(text));
  for (int run = 0; run < 2; ++run) {
    TMemoryConsole console;
    DecompressFile("blob.lum", "out.xml", console);
    EXPECT_EQ(testing::ReadFile("out.xml"), std::string(text.begin(), text.begin() + 20));
    const std::string& trace = console.Output();
    EXPECT_EQ(trace.substr(trace.find("in: "), 8), "in: 3C\r\n");  // '<', the first byte
    int checks = 0;
    for (size_t at = trace.find("in: "); at != std::string::npos; at = trace.find("in: ", at + 1)) {
      ++checks;
    }
    EXPECT_EQ(console.Pauses(), checks);
  }
}

}  // namespace
}  // namespace lumera
