#include "platform/hex.h"

#include <gtest/gtest.h>

namespace lumera {
namespace {

TEST(Hex, PadsToTheMinimumAndNeverCuts) {
  struct Case {
    uint32_t value;
    int digits;
    const char* text;
  };
  for (const Case& c : {Case{0, 2, "00"}, Case{0xA, 4, "000A"}, Case{0xFFFFF000, 4, "FFFFF000"},
                        Case{0x12345678, 2, "12345678"}, Case{0xab, 2, "AB"}}) {
    EXPECT_EQ(Hex(c.value, c.digits), c.text) << c.value;
  }
}

TEST(Hex, FormatFillsConversionsInOrderAndKeepsTheRest) {
  EXPECT_EQ(FormatHex("NeededWeight (%.2x) := %.4x * %.2x div %.4x", {1, 0x5000, 4, 0xFFFF}),
            "NeededWeight (01) := 5000 * 04 div FFFF");
  EXPECT_EQ(FormatHex("calc w (%.4x) = %.4x + %.2x ", {0x4000, 0x4000, 0}),
            "calc w (4000) = 4000 + 00 ");
}

}  // namespace
}  // namespace lumera
