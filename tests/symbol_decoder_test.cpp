#include "engine/symbol_decoder.h"

#include <gtest/gtest.h>

#include "diag/trace.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "test_support.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

class SymbolDecoderTest : public ::testing::Test {
 protected:
  SymbolDecoderTest() { decoder.FRange = 0xFFFF; }
  void Bits(Bytes bytes) {
    source = std::make_unique<TMemoryStream>(std::move(bytes));
    decoder.FBits = std::make_unique<TContext>(*source);
  }
  // Replaces the table's entries by these (weight, symbol) pairs; the total is their sum.
  void Fill(std::initializer_list<std::pair<uint16_t, uint16_t>> entries) {
    table.FCount = 0;
    table.FTotal = 0;
    for (auto [weight, symbol] : entries) table.AddSymbol(weight, symbol);
  }

  testing::TScratchDir dir;
  TMemoryConsole console;
  TTrace trace{console, dir / "dec.xml"};
  TDecompressor decoder{&trace};
  std::unique_ptr<TMemoryStream> source;
  TDic table{TDicShape::Child};
};

TEST_F(SymbolDecoderTest, EntryOtherThanTheEscapeIsCheckedThenNarrowed) {
  testing::WriteFile(dir / "dec.xml", Bytes{0x42, 0x41});
  Fill({{1, 0x41}, {2, 0x42}, {1, kEscapeSymbol}});
  Bits({0x80, 0, 0, 0});
  decoder.FCode = 0x5000;
  EXPECT_EQ(decoder.DecodeSymbol(table), 0x00420002u);
  EXPECT_EQ(decoder.FRange, 0xFFFEu);
  EXPECT_EQ(decoder.FCode, 0x2001u);
  // The check's figures use the code and range from before the step.
  EXPECT_EQ(console.Output(),
            "NeededWeight (01) := 5000 * 04 div FFFF\r\n"
            "first (1000) := 5000 - ((FFFF * 01) div 04)\r\n"
            "w 5000 in: 42\r\n"
            "calc w (4000) = 4000 + 00  -= FFFFF000\r\n"
            "c# NeededWeight (01) := 4000 * 04 div FFFF\r\n"
            "c# first (0000) := 4000 - ((FFFF * 01) div 04)\r\n"
            "00\r\n");
  EXPECT_EQ(console.Pauses(), 1);
  EXPECT_EQ(trace.Check().ExpectedLow(), 0x4000u);
  EXPECT_EQ(table.FItems[0].Word, TDicItem::Make(3, 0x42).Word);
  EXPECT_EQ(table.FTotal, 5u);
}

TEST_F(SymbolDecoderTest, EscapeIsNotCheckedAgainstTheReference) {
  static_assert(IsEscape(0xFFFF0001) && IsEscape(0xFFFF0000) && !IsEscape(0x0000FFFF));
  Fill({{2, 0x41}, {1, kEscapeSymbol}});
  Bits({0x80, 0, 0, 0});
  decoder.FCode = 0xC000;
  // There is no reference file, so a check would fail.
  EXPECT_EQ(decoder.DecodeSymbol(table), 0xFFFF0001u);
  EXPECT_EQ(decoder.FRange, 0xAAAAu);
  EXPECT_EQ(decoder.FCode, 0x2AADu);
  EXPECT_EQ(console.Output(),
            "NeededWeight (02) := C000 * 03 div FFFF\r\n"
            "first (1556) := C000 - ((FFFF * 02) div 03)\r\n"
            "\r---------- escaped ------------\r\n");
  EXPECT_EQ(console.Pauses(), 0);
}

TEST_F(SymbolDecoderTest, WideValuesArePrintedInFull) {
  testing::WriteFile(dir / "dec.xml", Bytes{0x41, 0x41});
  Fill({{0x8000, 0x41}, {1, kEscapeSymbol}});
  decoder.FCode = 0x12345678;
  EXPECT_EQ(decoder.DecodeSymbol(table), 0x00418000u);
  EXPECT_EQ(console.Output().substr(0, console.Output().find("calc")),
            "NeededWeight (3D70) := 12345678 * 8001 div FFFF\r\n"
            "first (12345678) := 12345678 - ((FFFF * 00) div 8001)\r\n"
            "w 12345678 in: 41\r\n");
  EXPECT_EQ(decoder.FCode, 0x12345678u);  // the share is wide enough to need no bits
  EXPECT_EQ(decoder.FRange, 0xFFFDu);
}

TEST_F(SymbolDecoderTest, RenormalizePullsJustTheBitsThatRestoreSixteenBitsOfRange) {
  struct {
    uint32_t First, NewRange, Range, Code;
    uint8_t BitsLeft;
    int64_t SourcePosition;
  } const cases[] = {
      {0x1234, 0x9000, 0x9000, 0x1234, 0, 0},  // already 16 bits: the reader is untouched
      {0x1234, 0xFFFF, 0xFFFF, 0x1234, 0, 0},
      {0x1000, 0x7FFF, 0xFFFE, 0x2001, 31, 4},
      {0x00ABCDEF, 1, 0x8000, 0xE6F7D5E6, 17, 4},  // 15 bits in one request; the top is lost
  };
  for (const auto& c : cases) {
    Bits({0xAB, 0xCD, 0x00, 0x00});
    decoder.Renormalize(c.First, c.NewRange);
    EXPECT_EQ(decoder.FRange, c.Range) << std::hex << c.NewRange;
    EXPECT_EQ(decoder.FCode, c.Code) << std::hex << c.NewRange;
    EXPECT_EQ(decoder.FBits->FBitsLeft, c.BitsLeft);
    EXPECT_EQ(source->Position(), c.SourcePosition);
  }
}

TEST_F(SymbolDecoderTest, EmptyOrOversizedShareIsRefusedBeforeAnythingChanges) {
  Bits({0xAB, 0xCD, 0x00, 0x00});
  decoder.FCode = 0x777;
  decoder.FRange = 0x8888;
  EXPECT_EQ(testing::FailureMessage([&] { decoder.Renormalize(5, 0); }),
            "Divisor has been calculated as 0.");
  EXPECT_EQ(testing::FailureMessage([&] { decoder.Renormalize(5, 0x10000); }),
            "Unexpectedly large BitsNeeded.");
  EXPECT_EQ(decoder.FCode, 0x777u);
  EXPECT_EQ(decoder.FRange, 0x8888u);

  // An entry whose weight times the range is below the total has a share of width 0.
  Fill({{1, kEscapeSymbol}, {0xFFFF, 0x41}});
  decoder.FRange = 0x8000;
  decoder.FCode = 0;
  EXPECT_EQ(testing::FailureMessage([&] { decoder.DecodeSymbol(table); }),
            "Divisor has been calculated as 0.");
  EXPECT_EQ(table.FTotal, 0x10000u);  // not hit
  EXPECT_EQ(source->Position(), 0);
}

}  // namespace
}  // namespace lumera
