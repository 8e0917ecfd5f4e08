#include "encoder/repeat_sources.h"

#include <algorithm>
#include <iterator>

namespace lumera {

namespace {

constexpr uint32_t kRingSize = 256;
constexpr uint32_t kNone = UINT32_MAX;
constexpr uint16_t kNoSlot = 0xFFFF;

}  // namespace

std::vector<TMatch> RingMatches(TInput input, size_t pos, const TRings& rings) {
  std::vector<TMatch> matches;
  if (pos == 0 || pos >= input.size()) return matches;
  auto consider = [&](uint32_t code, size_t from) {
    if (input[from] == input[pos]) {
      matches.push_back({static_cast<uint8_t>(code), MatchLength(input, from, pos)});
    }
  };
  consider(0, 0);
  for (uint32_t code = 2; code <= rings[input[pos - 1]].Next; ++code)
    consider(code, CopyStart(input, pos, rings, static_cast<uint8_t>(code)));
  return matches;
}

bool ReachesEscapeLength(TInput input, size_t pos, const TRings& rings, uint8_t code) {
  const size_t from = CopyStart(input, pos, rings, code);
  return MatchLength(input, from, pos, kEscapeLength) == kEscapeLength;
}

TRepeatSources::TRepeatSources(TInput input)
    : FInput(input), FRings(256), FLatestPair(256 * 256, kNone) {
  FLatest.fill(kNone);
}

void TRepeatSources::Push(size_t offset) {
  TFollowRing& ring = FRings[FInput[offset]];
  const uint32_t slot = ring.Next;
  // The entry overwritten is a lap old: the chain through it is out of reach.
  if (ring.Latest[ring.Follow[slot]] == slot) ring.Latest[ring.Follow[slot]] = kNoSlot;
  const uint8_t follow = offset + 1 < FInput.size() ? FInput[offset + 1] : 0;
  ring.Pos[slot] = static_cast<uint32_t>(offset);
  ring.Follow[slot] = follow;
  ring.Earlier[slot] = ring.Latest[follow];
  ring.Latest[follow] = static_cast<uint16_t>(slot);
  ring.Next = (slot + 1) % kRingSize;
}

// Forward, the rings are brought along byte by byte; after the packer backed up, they are
// built again from the decoder's.
void TRepeatSources::Sync(const TRings& rings, size_t coded) {
  if (coded == FAt) return;
  if (coded > FAt) {
    for (; FAt < coded; ++FAt) Push(FAt);
  } else {
    for (size_t value = 0; value < 256; ++value) {
      TFollowRing& ring = FRings[value];
      ring = TFollowRing{};
      for (uint32_t slot = 0; slot < rings[value].Next; ++slot) Push(rings[value].Pos[slot]);
    }
    FAt = coded;
  }
  FSince.clear();
  FLatest.fill(kNone);
}

const TRepeatSources::TSince& TRepeatSources::Since(size_t offset) {
  while (FAt + FSince.size() <= offset) {
    const size_t at = FAt + FSince.size();
    const uint8_t value = FInput[at];
    const uint32_t latest = FLatest[value];
    const uint32_t count = latest == kNone ? 1 : FSince[latest - FAt].Count + 1;
    const uint8_t follow = at + 1 < FInput.size() ? FInput[at + 1] : 0;
    uint32_t& latestPair = FLatestPair[value * 256 + follow];
    const bool pairSeen = latestPair != kNone && latestPair >= FAt && latestPair < at;
    FSince.push_back({pairSeen ? latestPair : kNone, count});
    FLatest[value] = static_cast<uint32_t>(at);
    latestPair = static_cast<uint32_t>(at);
  }
  return FSince[offset - FAt];
}

template <typename TVisit>
void TRepeatSources::VisitCopies(size_t pos, const TRings& rings, size_t coded, TVisit&& visit) {
  Sync(rings, coded);
  // Code c names the c-th latest occurrence of the last byte's value, counting that byte
  // itself as the first, within the ring's current lap of 256: codes above the ring's
  // Next are refused. The occurrences since FAt come first, latest first; then the ring.
  const TFollowRing& ring = FRings[FInput[pos - 1]];
  const uint32_t since = pos - 1 >= FAt ? Since(pos - 1).Count : 0;
  const uint32_t lapNext = (ring.Next + since) % kRingSize;
  // Of those since FAt, the ones followed by the byte at pos, as the byte at pos - 1 is,
  // are chained.
  if (since > 0) {
    for (uint32_t at = Since(pos - 1).PreviousPair; at != kNone; at = Since(at).PreviousPair) {
      const uint32_t code = since - Since(at).Count + 1;
      if (code > lapNext) break;
      if (!visit(code, at + size_t{1})) return;
    }
  }
  // Once the lap has gone round since FAt, the ring's own slots are out of reach.
  if (ring.Next + since >= kRingSize) return;
  // Of the ring's slots, those followed by the byte at pos are chained, latest first;
  // slots fall along the chain until it runs into the previous lap.
  for (uint32_t slot = ring.Latest[FInput[pos]], above = ring.Next; slot < above;
       above = slot, slot = ring.Earlier[slot]) {
    const uint32_t code = since + (ring.Next - slot);
    if (code > 1 && !visit(code, ring.Pos[slot] + size_t{1})) return;
  }
}

void TRepeatSources::FindMatches(size_t pos, const TRings& rings, size_t coded,
                                 std::vector<TMatch>& matches) {
  matches.clear();
  if (pos == 0 || pos >= FInput.size()) return;
  if (FInput[0] == FInput[pos]) matches.push_back({0, MatchLength(FInput, 0, pos)});
  VisitCopies(pos, rings, coded, [&](uint32_t code, size_t from) {
    matches.push_back({static_cast<uint8_t>(code), MatchLength(FInput, from, pos)});
    return true;
  });
}

TMatch TRepeatSources::FindLongest(size_t pos, const TRings& rings, size_t coded) {
  TMatch best;
  if (pos == 0 || pos >= FInput.size()) return best;
  const size_t limit = std::min<size_t>(kLongestRepeat, FInput.size() - pos);
  // A copy can only beat the best so far if it agrees one byte past it, so that byte is
  // tried first; the search ends once a copy reaches the limit.
  auto consider = [&](uint32_t code, size_t from) {
    if (FInput[from + best.Length] != FInput[pos + best.Length]) return true;
    const uint32_t length = MatchLength(FInput, from, pos);
    if (length > best.Length) best = {static_cast<uint8_t>(code), length};
    return best.Length < limit;
  };
  if (consider(0, 0)) VisitCopies(pos, rings, coded, consider);
  return best;
}

void TRepeatSources::FindUnbeaten(size_t pos, const TRings& rings, size_t coded,
                                  const TCostArray::TCosts& codeCosts,
                                  std::vector<TMatch>& matches) {
  matches.clear();
  FStairs.clear();
  if (pos == 0 || pos >= FInput.size()) return;
  if (FInput[0] == FInput[pos]) matches.push_back({0, MatchLength(FInput, 0, pos)});
  const size_t limit = std::min<size_t>(kLongestRepeat, FInput.size() - pos);
  VisitCopies(pos, rings, coded, [&](uint32_t code, size_t from) {
    // Codes come in ascending order, so a copy found earlier at the same cost wins too.
    const float cost = codeCosts[code];
    auto above = FStairs.end();
    while (above != FStairs.begin() && std::prev(above)->Cost > cost) --above;
    const size_t covered = above == FStairs.begin() ? 0 : std::prev(above)->Copy.Length;
    // A copy that differs at the byte just past covered cannot reach further.
    if (covered > 0 && (covered >= limit || FInput[from + covered] != FInput[pos + covered])) {
      return true;
    }
    const TMatch copy{static_cast<uint8_t>(code), MatchLength(FInput, from, pos)};
    if (copy.Length <= covered) return true;
    // The costlier stairs that reach no further are beaten now.
    auto beaten = above;
    while (beaten != FStairs.end() && beaten->Copy.Length <= copy.Length) ++beaten;
    FStairs.insert(FStairs.erase(above, beaten), {cost, copy});
    return true;
  });
  for (auto stair = FStairs.rbegin(); stair != FStairs.rend(); ++stair) {
    matches.push_back(stair->Copy);
  }
}

}  // namespace lumera
