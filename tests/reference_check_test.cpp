#include "diag/reference_check.h"

#include <gtest/gtest.h>

#include "diag/trace.h"
#include "engine/decompressor.h"
#include "platform/exceptions.h"
#include "test_support.h"

namespace lumera {
namespace {

using Bytes = std::vector<uint8_t>;

struct TFailure {
  std::string ClassName = "none";
  std::string Message;
};

template <class F>
TFailure Failure(F action) {
  try {
    action();
  } catch (const Exception& e) {
    return {e.ClassName(), e.Message()};
  }
  return {};
}

class ReferenceCheckTest : public ::testing::Test {
 protected:
  ReferenceCheckTest() {
    decoder.FCode = 0x8000;
    decoder.FRange = 0xFFFF;
    child.AddSymbol(16, 0x41);  // after the escape of weight 1
    heavy.FCount = 0;
    heavy.FTotal = 0;
    for (auto [weight, symbol] : {std::pair<uint16_t, uint16_t>{0x8000, 0x41},
                                  {0x8000, 0x42},
                                  {1, 0x43},
                                  {1, kEscapeSymbol}}) {
      heavy.AddSymbol(weight, symbol);
    }
  }
  void Reference(const Bytes& bytes) { testing::WriteFile(path, bytes); }

  testing::TScratchDir dir;
  std::string path = dir / "dec.xml";
  TDecodedText decoded;
  TMemoryConsole console;
  TDecompressor decoder;
  TDic child{TDicShape::Child};
  TDic root{TDicShape::Full};
  TDic heavy{TDicShape::Child};
};

TEST_F(ReferenceCheckTest, RefByteReadsRelativeToTheOutputAndGivesZeroPastTheEnd) {
  TReferenceCheck check(decoded, console, path);
  Reference({'A', 'B'});
  EXPECT_EQ(check.RefByte(0), 'A');
  EXPECT_EQ(check.RefByte(1), 'B');
  decoded.Append('A');
  EXPECT_EQ(check.RefByte(0), 'B');
  EXPECT_EQ(check.RefByte(1), 0);
  for (int i = 0; i < 4; ++i) decoded.Append('A');
  EXPECT_EQ(check.RefByte(0), 0);
  Reference({'V', 'W', 'X', 'Y', 'Z', '!'});  // read afresh each time
  EXPECT_EQ(check.RefByte(0), '!');
}

TEST_F(ReferenceCheckTest, EachTraceKeepsItsOwnRecordOfOutput) {
  Reference({'A', 'B', 'C'});
  TMemoryConsole other;
  TTrace first(console, path), second(other, path);
  TMemoryStream out;
  TDecompressor traced(&first);
  traced.FDest = &out;
  traced.PutByte('A');
  traced.PutByte('B');
  EXPECT_EQ(first.DecodedText().Text(), "AB");
  EXPECT_EQ(second.DecodedText().Length(), 0u);
  EXPECT_EQ(first.Check().RefByte(0), 'C');
  EXPECT_EQ(second.Check().RefByte(0), 'A');
}

TEST_F(ReferenceCheckTest, PrintsTheExpectedEntrysFiguresOrFails) {
  struct {
    const char* Name;
    TDic* Table;
    Bytes Reference;
    int Output;  // bytes output before the check
    std::string Trace;
    std::string Failure;  // class and message
    int Pauses;
  } const cases[] = {
      {"child table lacks the byte", &child, {0x42}, 0, "in: 42\r\n", "Exception: ", 0},
      {"byte FF is not the escape", &child, {0xFF}, 0, "in: FF\r\n", "Exception: ", 0},
      {"short reference, child table", &child, {0x41, 0x41}, 3, "in: 00\r\n", "Exception: ", 0},
      {"short reference, root table",
       &root,
       {0x41, 0x41},
       3,
       "in: 00\r\n"
       "calc w (0000) = 0000 + 00  -= FFFF8000\r\n"
       "c# NeededWeight (00) := 0000 * 101 div FFFF\r\n"
       "c# first (0000) := 0000 - ((FFFF * 00) div 101)\r\n"
       "00\r\n",
       "none: ",
       1},
      // The following byte is missing, so its figure is the whole total, past every entry.
      {"following byte missing",
       &child,
       {0x41, 0x42},
       0,
       "in: 41\r\n"
       "calc w (0F20) = 0F0F + 11  -= FFFF8F20\r\n"
       "c# NeededWeight (01) := 0F0F * 11 div FFFF\r\n"
       "c# first (0011) := 0F20 - ((FFFF * 01) div 11)\r\n",
       "Exception: Find reached the end of TDic.",
       0},
      // 0x10000 in front of the byte: scaled without overflow, and cut to 16 bits for "first".
      {"weights beyond 16 bits",
       &heavy,
       {0x43, 0x41},
       0,
       "in: 43\r\n"
       "calc w (FFFE) = FFFE + 00  -= 7FFE\r\n"
       "c# NeededWeight (00) := FFFE * 10002 div FFFF\r\n"
       "c# first (FFFE) := FFFE - ((FFFF * 00) div 10002)\r\n"
       "01\r\n",
       "none: ",
       1},
  };
  for (const auto& c : cases) {
    Reference(c.Reference);
    TDecodedText output;
    for (int i = 0; i < c.Output; ++i) output.Append(0x41);
    TMemoryConsole screen;
    TReferenceCheck check(output, screen, path);
    const TFailure failure = Failure([&] { check.CheckAgainstReference(decoder.FCode, decoder.FRange, *c.Table); });
    EXPECT_EQ(failure.ClassName + ": " + failure.Message, c.Failure) << c.Name;
    EXPECT_EQ(screen.Output(), c.Trace) << c.Name;
    EXPECT_EQ(screen.Pauses(), c.Pauses) << c.Name;
  }
}

// Through the decoder: the trace shows the open "w " line, and a failure leaves the step undone.
TEST_F(ReferenceCheckTest, FailedCheckEndsTheDecodingStepWithTheStateUnchanged) {
  TTrace trace(console, path);
  TDecompressor traced(&trace);
  traced.FCode = 0x8000;  // decodes 0x41 from the child table
  traced.FRange = 0xFFFF;
  const TFailure missing = Failure([&] { traced.DecodeSymbol(child); });
  EXPECT_EQ(missing.ClassName, "EFOpenError");
  const std::string start = "Cannot open file \"" + path + "\". ";
  EXPECT_TRUE(missing.Message.starts_with(start)) << missing.Message;
  EXPECT_GT(missing.Message.size(), start.size());
  EXPECT_TRUE(console.Output().ends_with("\r\nw 8000 ")) << console.Output();

  Reference({0x42});
  EXPECT_EQ(Failure([&] { traced.DecodeSymbol(child); }).ClassName, "Exception");
  EXPECT_TRUE(console.Output().ends_with("\r\nw 8000 in: 42\r\n")) << console.Output();
  EXPECT_EQ(traced.FCode, 0x8000u);
  EXPECT_EQ(traced.FRange, 0xFFFFu);
  EXPECT_EQ(child.FTotal, 17u);
  EXPECT_EQ(child.FItems[1].Word, TDicItem::Make(16, 0x41).Word);
  EXPECT_EQ(console.Pauses(), 0);
}

}  // namespace
}  // namespace lumera
