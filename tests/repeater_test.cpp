#include <gtest/gtest.h>

#include "diag/trace.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "test_support.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

const std::string kInvalidOffset = "Invalid offset code for the repeater.";

class RepeaterTest : public ::testing::Test {
 protected:
  RepeaterTest() { Restart(); }
  void Restart() {
    out = TMemoryStream();
    decoder.FDest = &out;
    decoder.StartModels();
  }
  void Put(const Bytes& bytes) {
    for (uint8_t b : bytes) decoder.PutByte(b);
  }
  void Resolve(int32_t code, uint32_t length) {
    decoder.StartRepeat(static_cast<uint16_t>(code), length);
  }
  bool AtEnd() const { return out.Position() == out.Size(); }

  TMemoryStream out;
  TDecompressor decoder;
};

TEST_F(RepeaterTest, OutputFeedsTheRingsAndTheHistory) {
  Put({1});
  EXPECT_EQ(decoder.FPositions[1].Next, 1u);
  EXPECT_EQ(decoder.FPositions[1].Pos[0], 0u);
  Put({2, 3, 4, 5});
  EXPECT_EQ(out.Bytes(), (Bytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(decoder.FHist, (std::array<uint8_t, 4>{5, 2, 3, 4}));
  EXPECT_EQ(decoder.FHistIdx, 1);
  EXPECT_EQ(decoder.FPositions[5].Pos[0], 4u);
  EXPECT_TRUE(AtEnd());
}

TEST_F(RepeaterTest, OffsetCodesResolveThroughTheLastBytesRingAndCopiesMayOverlap) {
  struct {
    Bytes Before;
    int32_t Code;
    uint32_t Length;
    int32_t Start;
    Bytes After;
  } const cases[] = {
      {{7, 1, 2, 3, 7}, 2, 6, 1, {7, 1, 2, 3, 7, 1, 2, 3, 7, 1, 2}},  // distance 4
      {{5, 9, 9}, 2, 4, 2, {5, 9, 9, 9, 9, 9, 9}},        // distance 1 repeats the last byte
      {{4, 5, 6}, 0, 5, 0, {4, 5, 6, 4, 5, 6, 4, 5}},     // code 0 starts at the first byte
      {{2, 9, 2, 9, 2}, 3, 2, 1, {2, 9, 2, 9, 2, 9, 2}},  // the ring's Next names its oldest
  };
  for (const auto& c : cases) {
    Restart();
    Put(c.Before);
    Resolve(c.Code, c.Length);
    EXPECT_EQ(decoder.FRepeatPos, c.Start) << "code " << c.Code;
    EXPECT_TRUE(AtEnd());
    decoder.CopyRepeat();
    EXPECT_EQ(out.Bytes(), c.After) << "code " << c.Code;
    EXPECT_EQ(decoder.FRepeatLen, 0u);
    EXPECT_TRUE(AtEnd());
  }
  // The copied bytes went through the rings and the history like any others.
  EXPECT_EQ(decoder.FPositions[2].Next, 4u);
  EXPECT_EQ(decoder.FPositions[2].Pos[3], 6u);
  EXPECT_EQ(decoder.FHist, (std::array<uint8_t, 4>{2, 9, 2, 9}));
  EXPECT_EQ(decoder.FHistIdx, 3);
}

TEST_F(RepeaterTest, RepeatsThatNameNoExistingByteAreRefusedBeforeWriting) {
  struct {
    Bytes Before;
    int32_t Code;
    uint32_t Length;
    bool Refused;
    int32_t Start;
  } const cases[] = {
      {{}, 0, 1, true, 0},  // nothing to copy from yet
      {{}, 1, 1, true, 1},  // nothing output: every ring is empty
      {{}, 255, 3, true, 255},
      {{1, 2, 3}, 1, 1, true, 3},        // would start at the end of the output
      {{2, 9, 2, 9, 2}, 4, 1, true, 4},  // one more than the ring holds; the code stays
      {{}, 0, 0, false, 0},              // nothing to copy, so nothing is missing
      {{1, 2, 3}, 1, 0, false, 3},
  };
  for (const auto& c : cases) {
    Restart();
    Put(c.Before);
    EXPECT_EQ(testing::FailureMessage([&] { Resolve(c.Code, c.Length); }),
              c.Refused ? kInvalidOffset : "none")
        << "code " << c.Code << " length " << c.Length;
    EXPECT_EQ(decoder.FRepeatPos, c.Start);
    EXPECT_EQ(out.Bytes(), c.Before);
    EXPECT_TRUE(AtEnd());
  }
}

TEST_F(RepeaterTest, RingStartingItsSecondLapRefusesEveryCode) {
  Put(Bytes(256, 0x33));
  const TBytePositions& ring = decoder.FPositions[0x33];
  EXPECT_EQ(ring.Next, 0u);
  EXPECT_EQ(ring.Pos[0], 0u);
  EXPECT_EQ(ring.Pos[255], 255u);
  for (int32_t code = 1; code <= 255; ++code) {
    ASSERT_EQ(testing::FailureMessage([&] { Resolve(code, 1); }), kInvalidOffset)
        << "code " << code;
  }
  EXPECT_EQ(out.Size(), 256);
  EXPECT_TRUE(AtEnd());
}

TEST_F(RepeaterTest, ReadBackReturnsOnlyBytesThatExistAndKeepsThePosition) {
  EXPECT_EQ(testing::FailureMessage([&] { decoder.ReadBack(-1); }), kInvalidOffset);
  EXPECT_EQ(testing::FailureMessage([&] { decoder.ReadBack(0); }), kInvalidOffset);
  Put({1, 2, 3});
  for (auto [offset, byte] : {std::pair<int32_t, uint8_t>{0, 1}, {2, 3}, {-1, 3}, {-3, 1}}) {
    EXPECT_EQ(decoder.ReadBack(offset), byte) << offset;
    EXPECT_TRUE(AtEnd());
  }
  for (int32_t offset : {3, 100, -4}) {
    EXPECT_EQ(testing::FailureMessage([&] { decoder.ReadBack(offset); }), kInvalidOffset) << offset;
    EXPECT_TRUE(AtEnd());
  }
}

TEST_F(RepeaterTest, FailedWriteIsReported) {
  struct TRefusingStream : TMemoryStream {
    size_t Write(const void*, size_t) override { return 0; }
  } refusing;
  decoder.FDest = &refusing;
  try {
    decoder.PutByte(7);
    ADD_FAILURE() << "no failure";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Message(), "Cannot write to the output file.");
  }
}

TEST_F(RepeaterTest, CopyPrintsOnlyItsOutputLines) {
  TMemoryConsole console;
  TTrace trace(console, "/nonexistent/dec.xml");  // a check would fail
  TDecompressor traced(&trace);
  traced.FDest = &out;
  traced.StartModels();
  traced.PutByte(1);
  traced.PutByte(2);
  traced.FRepeatLen = 3;
  traced.ResolveRepeat();
  traced.CopyRepeat();
  EXPECT_EQ(console.Output(), "out 01\r\nout 02\r\nout 01\r\nout 02\r\nout 01\r\n");
  EXPECT_EQ(console.Pauses(), 0);
  EXPECT_EQ(trace.DecodedText().Text(), std::string("\1\2\1\2\1"));
}

}  // namespace
}  // namespace lumera
