#include <gtest/gtest.h>

#include "engine/decompressor.h"

namespace lumera {
namespace {

constexpr uint32_t Slot(uint16_t hits, uint16_t child) {
  return TDicSlot::Make(hits, child).Word;
}
constexpr uint32_t Item(uint16_t weight, uint16_t symbol) {
  return TDicItem::Make(weight, symbol).Word;
}

class ContextTreeTest : public ::testing::Test {
 protected:
  ContextTreeTest() {
    decoder.FDest = &out;
    decoder.StartModels();
  }
  // One literal as the decoder handles it, found in the walked node: output, count.
  TDic& Literal(uint8_t b) {
    TDic& node = decoder.FindContext();
    decoder.ApplyLiteral(node, b, false);
    return node;
  }
  // Hangs a new child table holding only the escape below a slot of parent.
  TDic& Link(TDic& parent, uint8_t slot) {
    TDictionary& tree = *decoder.FDictionary;
    parent.FSlots[slot] =
        TDicSlot::Make(parent.FSlots[slot].Hits(), static_cast<uint16_t>(tree.FCount));
    tree.FItems[tree.FCount] = std::make_unique<TDic>(TDicShape::Child);
    return *tree.FItems[tree.FCount++];
  }
  TDic& Root() { return *decoder.FDictionary->FRoot; }
  TDic& Child(size_t i) { return *decoder.FDictionary->FItems.at(i); }
  uint32_t Count() const { return decoder.FDictionary->FCount; }

  TMemoryStream out;
  TDecompressor decoder;
};

class FirstLiteralTest : public ContextTreeTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(FirstLiteralTest, SpawnsChildZeroUnderTheRootSlotOfTheByte) {
  const uint8_t x = GetParam();
  EXPECT_EQ(&Literal(x), &Root());
  ASSERT_EQ(Count(), 1u);
  for (int s = 0; s < TDic::kSlotCount; ++s) {
    EXPECT_EQ(Root().FSlots[s].Word, s == x >> 1 ? Slot(1, 0) : Slot(0, kNoChild)) << "slot " << s;
  }
  EXPECT_EQ(Child(0).FCount, 1);
  EXPECT_EQ(Child(0).FTotal, 1u);
  EXPECT_EQ(Child(0).FItems[0].Word, Item(1, kEscapeSymbol));
  // The next walk enters child 0 and stops there: the older history byte is still 0.
  EXPECT_EQ(&decoder.FindContext(), &Child(0));
  EXPECT_EQ(decoder.FOrder, 1);
}

INSTANTIATE_TEST_SUITE_P(Bytes, FirstLiteralTest, ::testing::Values(0x00, 0x01, 0x41, 0xFF));

struct TWalkCase {
  uint8_t HistIdx;
  std::array<uint8_t, 4> Hist;
};

class WalkOrderTest : public ContextTreeTest, public ::testing::WithParamInterface<TWalkCase> {};

// The bytes 0x10, 0x20, 0x30, 0x40, newest first, pick slots 8, 4, 3 and 2 at depths 0 to 3;
// any other of them picks another slot at that depth, so a walk in the wrong order ends early.
TEST_P(WalkOrderTest, ReadsTheHistoryNewestFirst) {
  decoder.FHistIdx = GetParam().HistIdx;
  decoder.FHist = GetParam().Hist;
  const uint8_t slots[] = {8, 4, 3, 2};
  TDic* node = &Root();
  for (int depth = 0; depth < 4; ++depth) {
    EXPECT_EQ(&decoder.FindContext(), node) << "depth " << depth;
    EXPECT_EQ(decoder.FOrder, depth);
    node = &Link(*node, slots[depth]);
  }
  EXPECT_EQ(&decoder.FindContext(), node);
  EXPECT_EQ(decoder.FOrder, kDeepest);

  // Depth 4 has no slots in use: a literal there counts nothing and grows nothing.
  Literal(0x99);
  EXPECT_EQ(Count(), 4u);
  EXPECT_EQ(decoder.FOrder, kDeepest);
  for (TDic* table : {&Root(), &Child(0), &Child(1), &Child(2), &Child(3)}) {
    for (const TDicSlot& slot : table->FSlots) EXPECT_EQ(slot.Hits(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(HistoryPositions, WalkOrderTest,
                         ::testing::Values(TWalkCase{0, {0x40, 0x30, 0x20, 0x10}},
                                           TWalkCase{2, {0x20, 0x10, 0x40, 0x30}}));

struct TDepthOneCase {
  uint8_t Second;    // the literal decoded in child 0, which the first literal 0x41 made
  bool LinkDeeper;   // child 0 already leads on at slot 0x41 >> 3
  uint8_t NewOrder;  // depth at which the walk after the hit ends, in the newest table
};

class DepthOneHitTest : public ContextTreeTest,
                        public ::testing::WithParamInterface<TDepthOneCase> {};

// The eighth hit on a depth-1 slot spawns at the end of the new walk unless that is deeper.
TEST_P(DepthOneHitTest, SpawnsAtTheNewWalksEndUnlessItWentDeeper) {
  const TDepthOneCase& c = GetParam();
  Literal(0x41);
  if (c.LinkDeeper) Link(Child(0), 0x41 >> 3);
  TDicSlot& slot = Child(0).FSlots[c.Second >> 3];
  slot = TDicSlot::Make(7, slot.Child());
  EXPECT_EQ(&Literal(c.Second), &Child(0));
  EXPECT_EQ(slot.Hits(), 8);
  ASSERT_EQ(Count(), 2u);  // one spawn, or the linked table and none
  EXPECT_EQ(&decoder.FindContext(), &Child(1));
  EXPECT_EQ(decoder.FOrder, c.NewOrder);
}

INSTANTIATE_TEST_SUITE_P(Cases, DepthOneHitTest,
                         ::testing::Values(TDepthOneCase{0x61, false, 1},  // root slot 0x30
                                           TDepthOneCase{0x40, false, 2},  // below child 0
                                           TDepthOneCase{0x41, true, 2}));

TEST_F(ContextTreeTest, NewChildIsSeededWithTheParentsEntriesOfWeightSixteenOrMore) {
  for (auto [symbol, hits] : {std::pair<uint16_t, int>{0x30, 15}, {0x31, 14}, {0x32, 19}}) {
    for (int i = 0; i < hits; ++i) {
      uint16_t index = 0;
      while (Root().FItems[index].Symbol() != symbol) ++index;
      Root().Hit(index);
    }
  }
  Literal(0x41);
  ASSERT_EQ(Count(), 1u);
  ASSERT_EQ(Child(0).FCount, 3);
  EXPECT_EQ(Child(0).FItems[0].Word, Item(1, kEscapeSymbol));
  EXPECT_EQ(Child(0).FItems[1].Word, Item(20, 0x32));
  EXPECT_EQ(Child(0).FItems[2].Word, Item(16, 0x30));
  EXPECT_EQ(Child(0).FTotal, 37u);
}

TEST_F(ContextTreeTest, FullPoolFreezesTheCounts) {
  decoder.FDictionary = std::make_unique<TDictionary>(1);
  Literal(0x41);  // takes the only place in the pool
  EXPECT_EQ(&Literal(0x61), &Child(0));
  EXPECT_EQ(&Literal(0x07), &Root());
  EXPECT_EQ(Count(), 1u);
  for (const TDicSlot& slot : Child(0).FSlots) EXPECT_EQ(slot.Hits(), 0);
  EXPECT_EQ(Root().FSlots[0x07 >> 1].Word, Slot(0, kNoChild));
  EXPECT_EQ(Root().FSlots[0x41 >> 1].Word, Slot(1, 0));
}

// The encoder asks which table any history would reach: the answer is the walk's for that
// history, only the last four bytes count, missing ones count as 0, and asking changes
// nothing.
TEST_F(ContextTreeTest, ContextOfAnyHistoryIsTheWalksAndChangesNothing) {
  const std::string text = "abracadabra abracadabra";
  for (char c : text) Literal(static_cast<uint8_t>(c));
  const std::vector<uint8_t> bytes(text.begin(), text.end());
  const auto hist = decoder.FHist;
  const uint8_t histIdx = decoder.FHistIdx;
  const uint8_t order = decoder.FOrder;
  const TDic& asked = decoder.ContextOf(bytes);
  EXPECT_EQ(&decoder.ContextOf(std::span(bytes).last(4)), &asked);
  EXPECT_EQ(&decoder.ContextOf({}), &decoder.ContextOf(std::vector<uint8_t>(4, 0)));
  EXPECT_EQ(decoder.FHist, hist);
  EXPECT_EQ(decoder.FHistIdx, histIdx);
  EXPECT_EQ(decoder.FOrder, order);
  EXPECT_EQ(&decoder.FindContext(), &asked);
  EXPECT_GT(decoder.FOrder, 0u);  // the walk went below the root
}

}  // namespace
}  // namespace lumera
