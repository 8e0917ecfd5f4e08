#include "engine/decompressor.h"

#include <gtest/gtest.h>

namespace lumera {
namespace {

TEST(DecompressorObject, FreshObjectHoldsTheDefaultsAndNothingElse) {
  const TDecompressor decoder;
  EXPECT_EQ(decoder.FMinSize, 8);
  EXPECT_EQ(decoder.FShift, (std::array<uint8_t, 4>{1, 3, 4, 5}));
  EXPECT_EQ(decoder.FThreshold, (std::array<uint8_t, 4>{1, 8, 16, 32}));
  for (const TDic* table :
       {decoder.FMatchDic.get(), decoder.FLenDic.get(), decoder.FLenDic0.get()}) {
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->FCount, 257);
    EXPECT_EQ(table->FTotal, 257u);
    EXPECT_EQ(table->FItems[256].Word, TDicItem::Make(1, kEscapeSymbol).Word);
  }
  EXPECT_NE(decoder.FMatchDic, decoder.FLenDic);
  EXPECT_NE(decoder.FLenDic, decoder.FLenDic0);
  for (const TBytePositions& ring : decoder.FPositions) {
    EXPECT_EQ(ring.Next, 0u);
    EXPECT_EQ(ring.Pos, decltype(ring.Pos){});
  }
  EXPECT_EQ(decoder.FHist, (std::array<uint8_t, 4>{}));
  EXPECT_EQ(decoder.FHistIdx, 0);
  EXPECT_EQ(decoder.FOrder, 0);
  EXPECT_EQ(decoder.FRepeatLen, 0u);
  EXPECT_EQ(decoder.FRepeatPos, 0);
  EXPECT_FALSE(decoder.FDone);
  EXPECT_EQ(decoder.FDictionary, nullptr);
  EXPECT_EQ(decoder.FBits, nullptr);
  EXPECT_EQ(decoder.FSource, nullptr);
  EXPECT_EQ(decoder.FDest, nullptr);
}

}  // namespace
}  // namespace lumera
