#include "tools/repeat_sources.h"

namespace lumera {

namespace {

constexpr uint32_t kRingSize = 256;

}  // namespace

TRepeatSources::TRepeatSources(const std::vector<uint8_t>& input)
    : FInput(input), FRank(input.size()) {
  for (size_t i = 0; i < input.size(); ++i) {
    std::vector<uint32_t>& offsets = FOffsets[input[i]];
    FRank[i] = static_cast<uint32_t>(offsets.size());
    offsets.push_back(static_cast<uint32_t>(i));
  }
}

void TRepeatSources::FindMatches(size_t pos, std::vector<TMatch>& matches) const {
  matches.clear();
  if (pos == 0 || pos >= FInput.size()) return;
  const uint8_t next = FInput[pos];
  auto consider = [&](uint32_t code, size_t from) {
    if (FInput[from] != next) return;
    matches.push_back({static_cast<uint8_t>(code), MatchLength(FInput, from, pos)});
  };
  consider(0, 0);
  // Code c names the c-th latest occurrence of the last byte's value, counting that byte
  // itself as the first, within the ring's current lap of 256: after k occurrences the
  // ring's Next is k mod 256, and codes above it are refused.
  const uint32_t seen = FRank[pos - 1] + 1;
  const std::vector<uint32_t>& offsets = FOffsets[FInput[pos - 1]];
  for (uint32_t code = 2; code <= seen % kRingSize; ++code) {
    consider(code, offsets[seen - code] + size_t{1});
  }
}

}  // namespace lumera
