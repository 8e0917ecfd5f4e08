#include "encoder/refusal_recovery.h"

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "encoder/coding_cost.h"

namespace lumera {

namespace {

// The root's total per unit of its escape's weight from which a repeat is wanted: below
// 0x8000, the smallest range, so that the escape keeps fitting until one is found.
constexpr uint32_t kRootPerEscape = 0x7000;

// How many of the cheapest choices a search tries at each position.
constexpr size_t kChoicesPerStep = 6;
// How many events a search may code.
constexpr size_t kSearchEvents = 4 * kMostTakenBack * kLongestRepeat;
// How many of the longest and of the shortest lengths of each copy a search prices.
constexpr uint32_t kLengthsTried = 3;

// Codes one step at pos, the packer's output size; its refusal when the format cannot
// carry it, with nothing coded. No stretching: the searches below try every length anyway.
TRefusal TryStep(TStreamPacker& packer, TInput input, size_t pos, TParseStep step,
                 double* bits = nullptr) {
  if (step.IsEnd()) return packer.TryEnd();
  const TRefusal refusal = step.IsLiteral()
                               ? packer.TryLiteral(input[pos], bits)
                               : packer.TryRepeat(static_cast<uint8_t>(step.Code), step.Length);
  if (refusal == TRefusal::None && packer.OutputSize() != pos + step.Length) {
    throw std::logic_error("the parse chose a copy that the decoder refuses");
  }
  return refusal;
}

// A repeat of kLongestRepeat bytes coded as one of kEscapeLength bytes, when its copy goes
// on that far and the format carries it; false, with nothing coded, otherwise.
bool StretchToEscapeLength(TStreamPacker& packer, TInput input, size_t pos, TParseStep step) {
  if (step.IsLiteral() || step.IsEnd() || step.Length != kLongestRepeat) return false;
  const auto code = static_cast<uint8_t>(step.Code);
  return ReachesEscapeLength(input, pos, packer.Models().Rings(), code) &&
         packer.TryRepeat(code, kEscapeLength) == TRefusal::None;
}

// Every literal or repeat at the packer's position that ends at most limit bytes later,
// cheapest first by the models as they stand; the literal is always among them.
std::vector<TParseStep> ChoicesByPrice(TInput input, size_t limit, TStreamPacker& packer) {
  const size_t pos = packer.OutputSize();
  std::vector<std::pair<double, TParseStep>> priced;
  priced.push_back({packer.LiteralCost(input[pos]), TParseStep{}});
  // A repeat's cost, as RepeatCost gives it, from one scan of each table.
  const double escapes = packer.EscapesCost();
  const TModelView models = packer.Models();
  TCostArray codes;
  // One cost array for each length table, so that neither is priced again.
  TCostArray lengths;
  TCostArray lengths0;
  auto repeatCost = [&](int code, uint32_t length) {
    const TDic& table = models.Lengths(static_cast<uint16_t>(code));
    const float lengthCost = (&table == &models.Lengths(0) ? lengths0 : lengths).For(table)[length];
    return escapes + codes.For(models.Codes())[code] + lengthCost;
  };
  for (const TMatch& match : RingMatches(input, pos, models.Rings())) {
    // The longest copies and the shortest: each length changes the range differently.
    const uint32_t longest = static_cast<uint32_t>(std::min<size_t>(match.Length, limit));
    for (uint32_t length = longest; length >= 1 && length + kLengthsTried > longest; --length) {
      priced.push_back({repeatCost(match.Code, length), {match.Code, length}});
    }
    for (uint32_t length = 1; length <= kLengthsTried && length + kLengthsTried <= longest;
         ++length) {
      priced.push_back({repeatCost(match.Code, length), {match.Code, length}});
    }
  }
  std::stable_sort(priced.begin(), priced.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<TParseStep> steps;
  for (const auto& [bits, step] : priced) steps.push_back(step);
  return steps;
}

// Codes input at the packer's position with the cheapest choice the format can carry
// there; when none can be coded, the literal's refusal, with nothing coded.
TRefusal CodeCheapestChoice(TInput input, TStreamPacker& packer) {
  const size_t pos = packer.OutputSize();
  TRefusal literal = TRefusal::None;
  for (const TParseStep& step : ChoicesByPrice(input, kLongestRepeat, packer)) {
    const TRefusal refusal = TryStep(packer, input, pos, step);
    if (refusal == TRefusal::None) return refusal;
    if (step.IsLiteral()) literal = refusal;
  }
  return literal;
}

// Codes the pending event, which code codes, returning its refusal with nothing coded,
// when it is refused at the packer's position. Recodes the bytes up to there in every
// way, cheapest first, until the event fits or the ways allowed are used up; what it
// coded without success it takes back.
class TTailSearch {
 public:
  TTailSearch(TInput input, TStreamPacker& packer, const std::function<TRefusal()>& code)
      : FInput(input), FPacker(packer), FCode(code), FTarget(packer.OutputSize()) {}

  bool Run(int ways) {
    FWaysLeft = ways;
    return Search();
  }

 private:
  bool Search() {
    const size_t pos = FPacker.OutputSize();
    if (pos == FTarget) return FCode() == TRefusal::None;
    // Every step must stay undoable.
    if (FPacker.Undoable() >= FPacker.UndoLimit()) return false;
    const std::vector<TParseStep> steps = ChoicesByPrice(FInput, FTarget - pos, FPacker);
    for (size_t i = 0; i < std::min(steps.size(), kChoicesPerStep); ++i) {
      const TParseStep& step = steps[i];
      if (FWaysLeft-- <= 0) return false;
      if (TryStep(FPacker, FInput, pos, step) != TRefusal::None) continue;
      if (Search()) return true;
      FPacker.TakeBack();
    }
    return false;
  }

  TInput FInput;
  TStreamPacker& FPacker;
  const std::function<TRefusal()>& FCode;
  size_t FTarget;
  int FWaysLeft = 0;
};

// After code was refused at the packer's position: takes back events and recodes the
// bytes of input they covered until code is coded. False, with the packer in an
// unspecified state, when no way was found.
bool BackUpUntilCoded(TInput input, TStreamPacker& packer, const std::function<TRefusal()>& code) {
  TTailSearch search(input, packer, code);
  // Room to code the taken-back bytes in many more events than they took.
  const size_t limit = packer.UndoLimit();
  packer.SetUndoLimit(limit + kSearchEvents);
  for (size_t back = 1; back <= kMostTakenBack && packer.Undoable() > 0; ++back) {
    packer.TakeBack();
    if (search.Run(kWaysPerEventBack * static_cast<int>(back))) {
      packer.SetUndoLimit(limit);
      return true;
    }
  }
  return false;
}

}  // namespace

TCodedStep CodeStep(TInput input, TStreamPacker& packer, TParseStep step) {
  const size_t pos = packer.OutputSize();
  TCodedStep coded;
  if (StretchToEscapeLength(packer, input, pos, step)) return coded;
  TRefusal refusal = TryStep(packer, input, pos, step, &coded.Bits);
  if (refusal == TRefusal::None) return coded;
  coded.AsPlanned = false;
  std::function<TRefusal()> code = [&packer] { return packer.TryEnd(); };
  if (!step.IsEnd()) {
    refusal = CodeCheapestChoice(input, packer);
    if (refusal == TRefusal::None) return coded;
    code = [&] { return CodeCheapestChoice(input, packer); };
  }
  if (!BackUpUntilCoded(input, packer, code)) coded.Refused = {refusal, pos};
  return coded;
}

bool RootEscapeShort(const TStreamPacker& packer) {
  const TDic& root = packer.Models().Root();
  return root.FTotal > kRootPerEscape * uint32_t{FindEntry(root, kEscapeSymbol).Weight};
}

bool WidenRootEscape(TInput input, TStreamPacker& packer) {
  if (!RootEscapeShort(packer)) return false;
  const size_t pos = packer.OutputSize();
  for (const TParseStep& step : ChoicesByPrice(input, kLongestRepeat, packer)) {
    if (!step.IsLiteral() && TryStep(packer, input, pos, step) == TRefusal::None) return true;
  }
  return false;
}

}  // namespace lumera
