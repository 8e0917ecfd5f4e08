#include "encoder/weighed_parse.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

#include "encoder/refusal_recovery.h"

namespace lumera {

TWeighedParser::TWeighedParser(TInput input, TStreamPacker& packer, TBudgetPrices budget)
    : FInput(input),
      FPacker(packer),
      FBudget(budget),
      FSources(input),
      FReach(kWindow + kLongestRepeat + 1) {}

TRefused TWeighedParser::Run() {
  size_t pos = 0;
  while (pos < FInput.size() && !FRefused) {
    if (WidenRootEscape(FInput, FPacker)) {
      pos = FPacker.OutputSize();
      continue;
    }
    double bits = 0;
    pos = Commit(pos, PlanWindow(pos, bits));
  }
  return FRefused;
}

// The byte's and the escape's weights come from the context table; the root's costs come
// from its cost array.
TWeighedParser::TLiteralPrices TWeighedParser::PricesAt(size_t pos) {
  constexpr int kEscape = TCostArray::kEscapeSlot;
  const uint8_t byte = FInput[pos];
  const TDic& root = FPacker.Models().Root();
  const TCostArray::TCosts& rootCosts = FRootCosts.For(root);
  const TDic& node = FPacker.Models().ContextAt(FInput, pos);
  if (&node == &root) {
    return {rootCosts[byte] + FBudget.RootLiteral(), rootCosts[kEscape] + FBudget.Repeat()};
  }
  const uint16_t byteWeight = FindEntry(node, byte).Weight;
  const uint16_t escapeWeight = FindEntry(node, kEscapeSymbol).Weight;
  const float escape = EntryCost(escapeWeight, node.FTotal);
  const float literal = FullTablePrice(node.FTotal) +
                        (byteWeight != 0 ? EntryCost(byteWeight, node.FTotal)
                                         : escape + rootCosts[byte] + FBudget.RootLiteral());
  return {literal, escape + rootCosts[kEscape] + FBudget.Repeat()};
}

const TCostArray::TCosts& TWeighedParser::CodeCosts() {
  return FMatchCosts.For(FPacker.Models().Codes());
}

// One cost array for each length table, so that neither is priced again.
const TCostArray::TCosts& TWeighedParser::LengthCosts(int code) {
  const TModelView models = FPacker.Models();
  const TDic& table = models.Lengths(static_cast<uint16_t>(code));
  return (&table == &models.Lengths(0) ? FLength0Costs : FLengthCosts).For(table);
}

float TWeighedParser::StepCost(size_t pos, TParseStep step) {
  const TLiteralPrices prices = PricesAt(pos);
  if (step.IsLiteral()) return prices.Literal;
  return prices.EscapeToMatch + CodeCosts()[step.Code] + LengthCosts(step.Code)[step.Length];
}

void TWeighedParser::Reach(size_t at, float price, TParseStep step) {
  if (price < FReach[at].Price) FReach[at] = {price, step};
}

uint32_t TWeighedParser::ExpandFrom(size_t start, size_t offset) {
  const size_t pos = start + offset;
  const float price = FReach[offset].Price;
  const TLiteralPrices prices = PricesAt(pos);
  Reach(offset + 1, price + prices.Literal, TParseStep{});

  const TCostArray::TCosts& codes = CodeCosts();
  FSources.FindUnbeaten(pos, FPacker.Models().Rings(), start, codes, FMatches);
  if (FMatches.empty()) return 0;
  const TCostArray::TCosts& lengths = LengthCosts(1);
  const TCostArray::TCosts& lengths0 = LengthCosts(0);
  const float base = price + prices.EscapeToMatch;

  // Steps go on only from positions inside the window; past it, a position matters only
  // as the window's end, which is where the longest copy of some position reaches.
  const uint32_t inside = static_cast<uint32_t>(FWindow - 1 - offset);
  uint32_t longest = 0;
  TReach furthest;
  for (const TMatch& match : FMatches) longest = std::max(longest, match.Length);
  for (const TMatch& match : FMatches) {
    const float whole =
        base + codes[match.Code] + (match.Code == 0 ? lengths0 : lengths)[match.Length];
    if (match.Length == longest && whole < furthest.Price) {
      furthest = {whole, {match.Code, longest}};
    }
  }
  auto copy = FMatches.begin();
  if (copy->Code == 0) {
    const float code = codes[0];
    for (uint32_t length = 1; length <= std::min(copy->Length, inside); ++length) {
      Reach(offset + length, base + code + lengths0[length], {0, length});
    }
    ++copy;
  }
  // The other copies come longest first, each cheaper than the one before: each length
  // is priced with the last copy that reaches it.
  for (; copy != FMatches.end(); ++copy) {
    const auto next = std::next(copy);
    const uint32_t shorter = next == FMatches.end() ? 0 : std::min(next->Length, inside);
    const float code = codes[copy->Code];
    for (uint32_t length = std::min(copy->Length, inside); length > shorter; --length) {
      Reach(offset + length, base + code + lengths[length], {copy->Code, length});
    }
  }
  if (longest > inside) Reach(offset + longest, furthest.Price, furthest.Last);
  return longest;
}

std::vector<TParseStep> TWeighedParser::PlanWindow(size_t pos, double& bits) {
  const size_t left = FInput.size() - pos;
  FWindow = WindowAt(pos);
  const size_t horizon = std::min(FWindow + kLongestRepeat, left) + 1;
  std::fill_n(FReach.begin(), horizon, TReach{});
  FReach[0].Price = 0;
  // The window ends at the furthest position any step reaches, so that every way it
  // compares codes the same bytes; a long enough repeat ends it at once.
  size_t end = 0;
  for (size_t offset = 0; offset < std::min(FWindow, left); ++offset) {
    if (FReach[offset].Price == kUncodable) continue;
    const uint32_t reach = ExpandFrom(pos, offset);
    if (reach >= kLongEnough) {
      end = offset + reach;
      break;
    }
    end = std::max(end, offset + std::max<size_t>(reach, 1));
  }
  bits = FReach[end].Price;
  std::vector<TParseStep> steps;
  for (size_t at = end; at > 0; at -= steps.back().Length) steps.push_back(FReach[at].Last);
  std::reverse(steps.begin(), steps.end());
  return steps;
}

// Young models change fastest, so while little has been coded, less of a plan is.
size_t TWeighedParser::Committed(size_t pos) {
  return std::clamp(pos / kYouthRatio, kYoungCommitted, kCommitted);
}

size_t TWeighedParser::WindowAt(size_t pos) {
  return std::clamp(kWindowPerCommitted * Committed(pos), kShortestWindow, kWindow);
}

size_t TWeighedParser::Commit(size_t pos, const std::vector<TParseStep>& steps) {
  const size_t start = pos;
  for (const TParseStep& step : steps) {
    if (pos - start >= Committed(start)) break;
    const TCodedStep coded = CodeStep(FInput, FPacker, step);
    FRefused = coded.Refused;
    // Coded another way, or stretched: the rest of the plan is for bytes coded already
    // or to be coded otherwise.
    if (!coded.AsPlanned || FPacker.OutputSize() != pos + step.Length) {
      return FPacker.OutputSize();
    }
    pos += step.Length;
  }
  return pos;
}

}  // namespace lumera
