#include "engine/bit_reader.h"

#include <gtest/gtest.h>

#include "platform/exceptions.h"

namespace lumera {
namespace {

// Four bytes that the reader never sees (the reader starts at offset 4), two whole words
// and, optionally, one trailing byte that can never form a word.
TMemoryStream Source(bool trailing) {
  std::vector<uint8_t> bytes{0xEE, 0xEE, 0xEE, 0xEE, 0xA5, 0x0F,
                             0x00, 0xFF, 0x12, 0x34, 0x56, 0x78};
  if (trailing) bytes.push_back(0x9A);
  TMemoryStream stream(bytes);
  stream.Seek(4, TSeekOrigin::Beginning);
  return stream;
}

TEST(BitReader, DeliversBigEndianWordsMostSignificantBitFirst) {
  TMemoryStream stream = Source(true);
  TContext reader(stream);
  EXPECT_EQ(stream.Position(), 4);  // construction reads nothing
  struct {
    uint8_t Bits;
    uint32_t Result, Buffer;
    uint8_t Left;
  } const steps[] = {{3, 0x5, 0x287807F8, 29},
                     {15, 0x143C, 0x03FC0000, 14},
                     {15, 0x1FE, 0x2468ACF0, 31},
                     {5, 0x4, 0x8D159E00, 26},
                     {15, 0x468A, 0xCF000000, 11}};
  for (const auto& s : steps) {
    EXPECT_EQ(reader.GetBits(s.Bits), s.Result) << int{s.Bits};
    EXPECT_EQ(reader.FBuffer, s.Buffer);
    EXPECT_EQ(reader.FBitsLeft, s.Left);
  }
  try {
    reader.GetBits(15);
    ADD_FAILURE() << "a refill from a single byte succeeded";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Premature stream end.");
  }
  EXPECT_EQ(reader.FBuffer, 0xCF000000u);
  EXPECT_EQ(reader.FBitsLeft, 11);
}

TEST(BitReader, TakingExactlyTheHeldBitsDefersTheNextRefill) {
  TMemoryStream stream = Source(false);
  TContext reader(stream);
  EXPECT_EQ(reader.GetBits(3), 0x5u);
  EXPECT_EQ(reader.GetBits(15), 0x143Cu);
  EXPECT_EQ(reader.GetBits(14), 0xFFu);
  EXPECT_EQ(reader.FBitsLeft, 0);
  EXPECT_EQ(reader.FBuffer, 0u);
  EXPECT_EQ(stream.Position(), 8);
  EXPECT_EQ(reader.GetBits(5), 0x2u);
  EXPECT_EQ(reader.FBitsLeft, 27);
  EXPECT_EQ(stream.Position(), 12);
}

TEST(BitReader, AtEndFollowsTheStreamNotTheHeldBits) {
  for (bool trailing : {false, true}) {
    TMemoryStream stream = Source(trailing);
    TContext reader(stream);
    reader.GetBits(15);
    EXPECT_FALSE(reader.AtEnd());
    reader.GetBits(15);
    reader.GetBits(15);  // fetches the second word, 19 bits stay held
    ASSERT_EQ(reader.FBitsLeft, 19);
    EXPECT_EQ(reader.AtEnd(), !trailing) << trailing;
  }
}

}  // namespace
}  // namespace lumera
