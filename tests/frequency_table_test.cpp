#include "engine/frequency_table.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/exceptions.h"

namespace lumera {
namespace {

std::string FindFailure(const TDic& table, uint16_t target) {
  uint16_t remainder = 0xBEEF;
  try {
    table.Find(target, remainder);
  } catch (const Exception& e) {
    EXPECT_EQ(remainder, 0xBEEF) << "the remainder was written by a failing lookup";
    return e.Message();
  }
  return "none";
}

// The first count entries as (weight, symbol) words.
std::vector<uint32_t> Words(const TDic& table, int count) {
  std::vector<uint32_t> words;
  for (int i = 0; i < count; ++i) words.push_back(table.FItems[i].Word);
  return words;
}

uint32_t Entry(uint16_t weight, uint16_t symbol) {
  return TDicItem::Make(weight, symbol).Word;
}

TEST(FrequencyTable, FindMapsTargetsUpToTheTotalAndFailsBeyond) {
  TDic full(TDicShape::Full);
  TDic child(TDicShape::Child);
  TDic seeded(TDicShape::Child);
  seeded.AddSymbol(20, 'a');
  seeded.AddSymbol(17, 'b');
  EXPECT_EQ(seeded.FTotal, 38u);
  struct {
    const TDic& Table;
    uint16_t Target, Index, Remainder, Symbol;
  } const cases[] = {
      {full, 0, 0, 0, 0},       {full, 255, 255, 0, 255},  {full, 256, 256, 0, 0xFFFF},
      {child, 0, 0, 0, 0xFFFF}, {seeded, 0, 0, 0, 0xFFFF}, {seeded, 1, 1, 0, 'a'},
      {seeded, 20, 1, 19, 'a'}, {seeded, 21, 2, 0, 'b'},   {seeded, 37, 2, 16, 'b'}};
  for (const auto& c : cases) {
    uint16_t remainder = 0xBEEF;
    EXPECT_EQ(c.Table.Find(c.Target, remainder), c.Index) << c.Target;
    EXPECT_EQ(remainder, c.Remainder) << c.Target;
    EXPECT_EQ(c.Table.FItems[c.Index].Symbol(), c.Symbol) << c.Target;
  }
  for (auto [table, target] :
       {std::pair<const TDic*, uint16_t>{&full, 257}, {&child, 1}, {&seeded, 38}}) {
    EXPECT_EQ(FindFailure(*table, target), "Find reached the end of TDic.") << target;
  }
}

TEST(FrequencyTable, HitMovesPastLighterEntriesButStaysBehindEqualOnes) {
  TDic table(TDicShape::Full);
  table.Hit(0);  // already in front: only weight and total change
  EXPECT_EQ(Words(table, 2), (std::vector{Entry(2, 0), Entry(1, 1)}));
  table.ResetItems();
  table.Hit(65);
  table.Hit(100);  // symbol 100, still at index 100, lands behind symbol 65
  EXPECT_EQ(table.FTotal, 259u);
  std::vector expected{Entry(2, 65), Entry(2, 100)};
  for (uint16_t s = 0; s <= 101; ++s) {
    if (s != 65 && s != 100) expected.push_back(Entry(1, s));
  }
  EXPECT_EQ(Words(table, 102), expected);
}

// A seeded child table is not sorted: the single pass runs all the way down to index 0
// even when the hit entry itself stays put, and never looks behind the hit index.
TEST(FrequencyTable, HitMakesOneFullPassOverTheEntriesBeforeIt) {
  TDic table(TDicShape::Child);
  table.AddSymbol(20, 'a');
  table.AddSymbol(1, 'b');
  table.AddSymbol(1, 'c');
  table.Hit(2);
  EXPECT_EQ(Words(table, 4),
            (std::vector{Entry(20, 'a'), Entry(1, kEscapeSymbol), Entry(2, 'b'), Entry(1, 'c')}));
}

TEST(FrequencyTable, HitReportsOverloadFromTheThresholdOn) {
  TDic table(TDicShape::Full);
  table.FTotal = 0x1FFE;
  EXPECT_FALSE(table.Hit(3));
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(table.Hit(3)) << i;
  EXPECT_EQ(table.FTotal, 0x2002u);
}

TEST(FrequencyTable, WrappedWeightStaysInPlaceAndIsNeverFound) {
  TDic table(TDicShape::Child);
  table.AddSymbol(0xFFFF, 7);
  table.AddSymbol(1, 8);
  table.Hit(1);
  EXPECT_EQ(Words(table, 2), (std::vector{Entry(1, kEscapeSymbol), Entry(0, 7)}));
  uint16_t remainder = 0;
  EXPECT_EQ(table.Find(1, remainder), 2);
  EXPECT_EQ(remainder, 0);
}

TEST(FrequencyTable, CopyFrequentTakesHeavyNonEscapeEntriesInOrder) {
  TDic source(TDicShape::Child);
  source.FItems[0] = TDicItem::Make(100, kEscapeSymbol);
  for (auto [weight, symbol] :
       {std::pair<uint16_t, uint16_t>{40, 'c'}, {15, 'b'}, {16, 'a'}, {1, 'd'}}) {
    source.AddSymbol(weight, symbol);
  }
  TDic target(TDicShape::Child);
  target.CopyFrequent(source, 16);
  ASSERT_EQ(target.FCount, 3);
  EXPECT_EQ(Words(target, 3),
            (std::vector{Entry(1, kEscapeSymbol), Entry(40, 'c'), Entry(16, 'a')}));
  EXPECT_EQ(target.FTotal, 57u);
}

// A byte escaped from a context that held it joins the table again: each copy is found by
// its number, in the table's order, and knows its own.
TEST(FrequencyTable, EachCopyOfASymbolIsFoundByItsNumber) {
  TDic table(TDicShape::Child);
  for (uint16_t symbol : {'a', 'b', 'a', 'a'}) table.AddSymbol(1, symbol);
  struct TCase {
    uint16_t Symbol, Copy;
    int32_t Index;
  };
  for (const TCase& c : {TCase{'a', 0, 1},
                         {'a', 1, 3},
                         {'a', 2, 4},
                         {'a', 3, -1},
                         {'b', 0, 2},
                         {'b', 1, -1},
                         {'c', 0, -1},
                         {kEscapeSymbol, 0, 0}}) {
    EXPECT_EQ(table.IndexOf(c.Symbol, c.Copy), c.Index) << c.Symbol << " copy " << c.Copy;
    if (c.Index >= 0) {
      EXPECT_EQ(table.CopyAt(static_cast<uint16_t>(c.Index)), c.Copy);
    }
  }
}

TEST(FrequencyTable, AppendRefusesATableAtCapacity) {
  TDic full(TDicShape::Full);
  TDic grown(TDicShape::Child);
  for (uint16_t s = 0; s < 256; ++s) grown.AddSymbol(2, s);
  for (TDic* table : {&full, &grown}) {
    ASSERT_EQ(table->FCount, TDic::kCapacity);
    const uint32_t total = table->FTotal;
    const std::vector<uint32_t> before = Words(*table, TDic::kCapacity);
    try {
      table->AddSymbol(5, 'x');
      ADD_FAILURE() << "an entry was stored past the capacity";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.ClassName(), "Exception");
      EXPECT_EQ(e.Message(), "Too many entries in a frequency table.");
    }
    EXPECT_EQ(table->FCount, TDic::kCapacity);
    EXPECT_EQ(table->FTotal, total);
    EXPECT_EQ(Words(*table, TDic::kCapacity), before);
  }
}

}  // namespace
}  // namespace lumera
