#include "encoder/weighed_parse.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>

namespace lumera {

namespace {

// Codes one step; false when the format cannot carry it, with nothing coded.
bool TryStep(TStreamPacker& packer, const std::vector<uint8_t>& input, size_t pos,
             TParseStep step) {
  try {
    if (step.IsLiteral()) {
      packer.Literal(input[pos]);
    } else {
      packer.Repeat(static_cast<uint8_t>(step.Code), step.Length);
    }
  } catch (const ETooLarge&) {
    return false;
  }
  if (packer.Output().size() != pos + step.Length) {
    throw std::logic_error("the parse chose a copy that the decoder refuses");
  }
  return true;
}

}  // namespace

size_t CodeCheapestChoice(const std::vector<uint8_t>& input, size_t pos,
                          const TRepeatSources& sources, TStreamPacker& packer) {
  std::vector<std::pair<double, TParseStep>> choices;
  choices.push_back({packer.LiteralCost(input[pos]), TParseStep{}});
  std::vector<TMatch> matches;
  sources.FindMatches(pos, matches);
  for (const TMatch& match : matches) {
    for (uint32_t length = 1; length <= match.Length; ++length) {
      choices.push_back({packer.RepeatCost(match.Code, length), {match.Code, length}});
    }
  }
  std::stable_sort(choices.begin(), choices.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [bits, step] : choices) {
    if (TryStep(packer, input, pos, step)) return step.Length;
  }
  // Nothing fits: the literal says why.
  packer.Literal(input[pos]);
  return 1;
}

TWeighedParser::TWeighedParser(const std::vector<uint8_t>& input, TStreamPacker& packer)
    : FInput(input), FPacker(packer), FSources(input), FReach(kWindow + kLongestRepeat + 1) {}

void TWeighedParser::Run() {
  size_t pos = 0;
  while (pos < FInput.size()) {
    double bits = 0;
    pos = Commit(pos, PlanWindow(pos, bits));
  }
}

// One scan of the context table finds both the byte and the escape; the root's costs
// come from its cost array.
TWeighedParser::TLiteralPrices TWeighedParser::PricesAt(size_t pos) {
  constexpr int kEscape = TCostArray::kEscapeSlot;
  const uint8_t byte = FInput[pos];
  const TDic& root = *FPacker.Mirror().FDictionary->FRoot;
  const TCostArray::TCosts& rootCosts = FRootCosts.For(root);
  const TDic& node = FPacker.ContextAt(FInput, pos);
  if (&node == &root) return {rootCosts[byte], rootCosts[kEscape]};
  uint16_t byteWeight = 0;
  uint16_t escapeWeight = 0;
  for (int32_t i = 0; i < node.FCount; ++i) {
    const TDicItem entry = node.FItems[i];
    if (entry.Symbol() == byte) byteWeight = entry.Weight();
    if (entry.Symbol() == kEscapeSymbol) escapeWeight = entry.Weight();
  }
  const float escape = EntryCost(escapeWeight, node.FTotal);
  const float literal =
      byteWeight != 0 ? EntryCost(byteWeight, node.FTotal) : escape + rootCosts[byte];
  return {literal, escape + rootCosts[kEscape]};
}

const TCostArray::TCosts& TWeighedParser::CodeCosts() {
  return FMatchCosts.For(*FPacker.Mirror().FMatchDic);
}

// Code 0 has a length table of its own.
const TCostArray::TCosts& TWeighedParser::LengthCosts(int code) {
  const TDecompressor& mirror = FPacker.Mirror();
  return code == 0 ? FLength0Costs.For(*mirror.FLenDic0) : FLengthCosts.For(*mirror.FLenDic);
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

  FSources.FindMatches(pos, FMatches);
  if (FMatches.empty()) return 0;
  const TCostArray::TCosts& codes = CodeCosts();
  const TCostArray::TCosts& lengths = LengthCosts(1);
  const TCostArray::TCosts& lengths0 = LengthCosts(0);
  const float base = price + prices.EscapeToMatch;

  // Steps go on only from positions inside the window; past it, a position matters only
  // as the window's end, which is where the longest copy of some position reaches.
  const uint32_t inside = static_cast<uint32_t>(kWindow - 1 - offset);
  uint32_t longest = 0;
  for (const TMatch& match : FMatches) longest = std::max(longest, match.Length);
  TReach furthest;
  // Of the codes other than 0, each length inside is priced with the cheapest code whose
  // copy reaches at least that far; code 0 has a length table of its own.
  std::array<std::pair<float, int>, kLongestRepeat + 1> cheapest;
  std::fill_n(cheapest.begin(), std::min(longest, inside) + 1, std::pair{kUncodable, 0});
  for (const TMatch& match : FMatches) {
    const float code = codes[match.Code];
    const uint32_t reach = std::min(match.Length, inside);
    if (match.Code == 0) {
      for (uint32_t length = 1; length <= reach; ++length) {
        Reach(offset + length, base + code + lengths0[length], {0, length});
      }
    } else if (code < cheapest[reach].first) {
      cheapest[reach] = {code, match.Code};
    }
    const float whole = base + code + (match.Code == 0 ? lengths0 : lengths)[match.Length];
    if (match.Length == longest && whole < furthest.Price) {
      furthest = {whole, {match.Code, longest}};
    }
  }
  std::pair<float, int> best{kUncodable, 0};
  for (uint32_t length = std::min(longest, inside); length >= 1; --length) {
    best = std::min(best, cheapest[length]);
    if (best.second != 0) {
      Reach(offset + length, base + best.first + lengths[length], {best.second, length});
    }
  }
  if (longest > inside) Reach(offset + longest, furthest.Price, furthest.Last);
  return longest;
}

std::vector<TParseStep> TWeighedParser::PlanWindow(size_t pos, double& bits) {
  const size_t left = FInput.size() - pos;
  const size_t horizon = std::min(FReach.size(), left + 1);
  std::fill_n(FReach.begin(), horizon, TReach{});
  FReach[0].Price = 0;
  // The window ends at the furthest position any step reaches, so that every way it
  // compares codes the same bytes; a long enough repeat ends it at once.
  size_t end = 0;
  for (size_t offset = 0; offset < std::min(kWindow, left); ++offset) {
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

size_t TWeighedParser::Commit(size_t pos, const std::vector<TParseStep>& steps) {
  const size_t start = pos;
  for (const TParseStep& step : steps) {
    if (pos - start >= kCommitted) break;
    if (!TryStep(FPacker, FInput, pos, step)) {
      return pos + CodeCheapestChoice(FInput, pos, FSources, FPacker);
    }
    pos += step.Length;
  }
  return pos;
}

}  // namespace lumera
