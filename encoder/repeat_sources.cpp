#include "encoder/repeat_sources.h"

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
  const TBytePositions& ring = rings[input[pos - 1]];
  for (uint32_t code = 2; code <= ring.Next; ++code) consider(code, ring.Pos[ring.Next - code] + size_t{1});
  return matches;
}

TRepeatSources::TRepeatSources(TInput input) : FInput(input), FRings(256) {
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
    FSince.push_back({latest, count});
    FLatest[value] = static_cast<uint32_t>(at);
  }
  return FSince[offset - FAt];
}

void TRepeatSources::FindMatches(size_t pos, const TRings& rings, size_t coded,
                                 std::vector<TMatch>& matches) {
  matches.clear();
  if (pos == 0 || pos >= FInput.size()) return;
  Sync(rings, coded);
  if (FInput[0] == FInput[pos]) matches.push_back({0, MatchLength(FInput, 0, pos)});
  // Code c names the c-th latest occurrence of the last byte's value, counting that byte
  // itself as the first, within the ring's current lap of 256: codes above the ring's
  // Next are refused. The occurrences since FAt come first, latest first; then the ring.
  const TFollowRing& ring = FRings[FInput[pos - 1]];
  const uint32_t since = pos - 1 >= FAt ? Since(pos - 1).Count : 0;
  const uint32_t lapNext = (ring.Next + since) % kRingSize;
  uint32_t code = since;
  if (since > 0) {
    code = 1;
    for (uint32_t at = Since(pos - 1).Previous; at != kNone && code < lapNext;
         at = Since(at).Previous) {
      ++code;
      if (FInput[at + size_t{1}] == FInput[pos]) {
        matches.push_back({static_cast<uint8_t>(code), MatchLength(FInput, at + size_t{1}, pos)});
      }
    }
  }
  // Once the lap has gone round since FAt, the ring's own slots are out of reach.
  if (ring.Next + since >= kRingSize) return;
  // Of the ring's slots, those followed by the byte at pos are chained, latest first;
  // slots fall along the chain until it runs into the previous lap.
  for (uint32_t slot = ring.Latest[FInput[pos]], above = ring.Next; slot < above;
       above = slot, slot = ring.Earlier[slot]) {
    const uint32_t slotCode = code + (ring.Next - slot);
    if (slotCode > 1) {
      matches.push_back(
          {static_cast<uint8_t>(slotCode), MatchLength(FInput, ring.Pos[slot] + size_t{1}, pos)});
    }
  }
}

}  // namespace lumera
