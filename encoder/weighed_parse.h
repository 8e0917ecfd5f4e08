// The parse of the smallest level: it weighs every choice by its cost in bits under the
// decoder's models. Over a short window it finds, by a dynamic programme, the cheapest
// way of coding the window's bytes as literals and repeats, pricing each choice from the
// models as they stand at the window's start; then it codes that way through the
// stream packer, whose mirror decoder keeps the models exact after every choice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "encoder/budget_prices.h"
#include "encoder/coding_cost.h"
#include "encoder/refusal_recovery.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"

namespace lumera {

class TWeighedParser {
 public:
  // Positions a window looks at, and the repeat length that ends a window at once.
  static constexpr size_t kWindow = 256;
  static constexpr uint32_t kLongEnough = 255;
  // How far a plan is coded before the next window is planned: the prices near a
  // window's end are the stalest, and its end is cut short.
  static constexpr size_t kCommitted = 192;
  // ... and how far at the start of the input, where the models change fastest: a plan
  // made at pos codes one byte in kYouthRatio of what is coded, from kYoungCommitted up.
  static constexpr size_t kYoungCommitted = 8;
  static constexpr size_t kYouthRatio = 32;
  // A window looks at most this many times as far as its plan is coded, and at least
  // kShortestWindow positions: what a young plan does not code is not worth planning.
  static constexpr size_t kWindowPerCommitted = 4;
  static constexpr size_t kShortestWindow = 64;

  TWeighedParser(TInput input, TStreamPacker& packer, TBudgetPrices budget = {});

  // Codes the whole input; the caller adds the end marker. Returns the refusal that no
  // way was found around, if any.
  TRefused Run();

  // The cheapest way, by the models as they stand now, of coding the bytes from pos to
  // the end of one window, and what that way costs in bits.
  std::vector<TParseStep> PlanWindow(size_t pos, double& bits);

  // What the window prices a step at pos at, by the models as they stand now.
  float StepCost(size_t pos, TParseStep step);

 private:
  // The best way found so far of reaching one position of the window: its price from
  // the window's start and its last step.
  struct TReach {
    float Price = kUncodable;
    TParseStep Last;
  };

  // What a literal and the escapes before a repeat cost at pos, the budgets' prices
  // included.
  struct TLiteralPrices {
    float Literal = kUncodable;
    float EscapeToMatch = kUncodable;
  };
  TLiteralPrices PricesAt(size_t pos);
  const TCostArray::TCosts& CodeCosts();
  const TCostArray::TCosts& LengthCosts(int code);

  void Reach(size_t at, float price, TParseStep step);
  // Prices every step out of position offset of the window; returns how far its longest
  // repeat reaches.
  uint32_t ExpandFrom(size_t start, size_t offset);
  // Codes the steps that start within Committed(pos) of pos, until one is not coded as
  // planned; returns the position reached. A refusal no way was found around is kept in
  // FRefused.
  size_t Commit(size_t pos, const std::vector<TParseStep>& steps);
  // How much of a plan made at pos is coded.
  static size_t Committed(size_t pos);
  // How many positions a window planned at pos looks at.
  static size_t WindowAt(size_t pos);

  TInput FInput;
  TStreamPacker& FPacker;
  TBudgetPrices FBudget;
  TRepeatSources FSources;
  size_t FWindow = kWindow;    // the current window's WindowAt
  std::vector<TReach> FReach;  // by offset from the window's start
  std::vector<TMatch> FMatches;
  TCostArray FRootCosts;
  TCostArray FMatchCosts;
  TCostArray FLengthCosts;
  TCostArray FLength0Costs;
  TRefused FRefused;
};

}  // namespace lumera
