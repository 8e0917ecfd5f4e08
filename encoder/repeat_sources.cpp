#include "encoder/repeat_sources.h"

namespace lumera {

namespace {

constexpr uint32_t kRingSize = 256;
constexpr uint32_t kNone = UINT32_MAX;

}  // namespace

TRepeatSources::TRepeatSources(const std::vector<uint8_t>& input)
    : FInput(input), FRank(input.size()), FSamePair(input.size(), kNone) {
  std::array<uint32_t, 256> seen{};
  std::vector<uint32_t> latestPair(1 << 16, kNone);
  for (size_t i = 0; i < input.size(); ++i) {
    FRank[i] = seen[input[i]]++;
    if (i + 1 == input.size()) break;
    const uint32_t pair = (uint32_t{input[i]} << 8) | input[i + 1];
    FSamePair[i] = latestPair[pair];
    latestPair[pair] = static_cast<uint32_t>(i);
  }
}

void TRepeatSources::FindMatches(size_t pos, std::vector<TMatch>& matches) const {
  matches.clear();
  if (pos == 0 || pos >= FInput.size()) return;
  if (FInput[0] == FInput[pos]) matches.push_back({0, MatchLength(FInput, 0, pos)});
  // Code c names the c-th latest occurrence of the last byte's value, counting that byte
  // itself as the first, within the ring's current lap of 256: after k occurrences the
  // ring's Next is k mod 256, and codes above it are refused. Only the occurrences
  // followed by the byte at pos are visited, latest first, so the codes rise.
  const uint32_t seen = FRank[pos - 1] + 1;
  for (uint32_t at = FSamePair[pos - 1]; at != kNone; at = FSamePair[at]) {
    const uint32_t code = seen - FRank[at];
    if (code > seen % kRingSize) break;
    matches.push_back({static_cast<uint8_t>(code), MatchLength(FInput, at + size_t{1}, pos)});
  }
}

}  // namespace lumera
