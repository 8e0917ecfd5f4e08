#include "encoder/range_encoder.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "engine/decompressor.h"
#include "engine/symbol_decoder.h"

namespace lumera {

namespace {

int ShiftBack(uint32_t share) {
  return 15 - (std::bit_width(share) - 1);
}

uint32_t CountTrailing(const std::vector<uint8_t>& bytes) {
  uint32_t count = 0;
  for (auto byte = bytes.rbegin(); byte != bytes.rend() && *byte == 0xFF; ++byte) ++count;
  return count;
}

}  // namespace

uint32_t TRangeEncoder::RangeAfter(uint32_t range, uint16_t weight, uint32_t total) {
  const uint32_t share = CoderShareWidth(weight, range, total);
  return share == 0 ? 0 : share << ShiftBack(share);
}

void TRangeEncoder::Encode(uint32_t lowWeight, uint16_t weight, uint32_t total) {
  const uint32_t share = CoderShareWidth(weight, FRange, total);
  if (share == 0) throw std::logic_error("an entry with no share was coded");
  AddToLow(CoderShareBottom(lowWeight, FRange, total));
  const int bits = ShiftBack(share);
  FRange = share << bits;
  Shift(bits);
}

void TRangeEncoder::AddToLow(uint32_t amount) {
  FLow += amount;
  if ((FLow >> FLowBits) == 0) return;
  FLow &= (uint64_t{1} << FLowBits) - 1;
  for (auto byte = FSettled.rbegin(); byte != FSettled.rend(); ++byte) {
    if (++*byte != 0) {
      FTrailing = *byte == 0xFF ? CountTrailing(FSettled) : 0;
      return;
    }
  }
  // low + range never exceeds the interval the coder started with.
  throw std::logic_error("carry out of the top of the stream");
}

// Keeps at least 24 bits in FLow, more than any single addition can reach.
void TRangeEncoder::Shift(int bits) {
  FLow <<= bits;
  FLowBits += bits;
  FShifted += static_cast<uint64_t>(bits);
  while (FLowBits >= 32) {
    FLowBits -= 8;
    FSettled.push_back(static_cast<uint8_t>(FLow >> FLowBits));
    FTrailing = FSettled.back() == 0xFF ? FTrailing + 1 : 0;
    FLow &= (uint64_t{1} << FLowBits) - 1;
  }
}

std::vector<uint8_t> TRangeEncoder::Finish() const {
  std::vector<uint8_t> stream = FSettled;
  uint64_t low = FLow;
  for (int bits = FLowBits; bits > 0; bits -= 8) {
    stream.push_back(static_cast<uint8_t>(bits >= 8 ? low >> (bits - 8) : low << (8 - bits)));
    if (bits >= 8) low &= (uint64_t{1} << (bits - 8)) - 1;
  }
  const uint64_t words = (FShifted + 31) / 32;
  stream.resize(4 + 4 * words, 0);
  return stream;
}

uint64_t TRangeEncoder::BitsTaken() const {
  return kInitialCodeBits + FShifted;
}

bool TRangeEncoder::Fits(const TStreamTail& tail) const {
  const auto padding = static_cast<uint8_t>((32 - FShifted % 32) % 32);
  return tail.BitsTaken == BitsTaken() && tail.Code < FRange && tail.UnusedBitCount == padding &&
         (padding == 0 ? tail.UnusedBits == 0 : tail.UnusedBits >> padding == 0);
}

// Adding the code value to low cannot carry out of the top: it is below the range.
std::vector<uint8_t> TRangeEncoder::Finish(const TStreamTail& tail) const {
  if (!Fits(tail)) throw std::logic_error("a stream ended with a tail that does not fit");
  TRangeEncoder coder = *this;
  coder.AddToLow(tail.Code);
  std::vector<uint8_t> stream = coder.Finish();
  // Finish pads with zero bits from bit BitsTaken() on, up to the end of the last word.
  for (uint8_t i = 0; i < tail.UnusedBitCount; ++i) {
    if ((tail.UnusedBits >> (tail.UnusedBitCount - 1 - i) & 1) != 0) {
      const uint64_t bit = BitsTaken() + i;
      stream[bit / 8] = static_cast<uint8_t>(stream[bit / 8] | (0x80 >> (bit % 8)));
    }
  }
  stream.insert(stream.end(), tail.Trailing.begin(), tail.Trailing.end());
  return stream;
}

TRangeEncoder::TSnapshot TRangeEncoder::Save() const {
  const size_t settled = FSettled.size();
  const uint8_t before = FTrailing < settled ? FSettled[settled - FTrailing - 1] : 0;
  return {FRange, FLow, FLowBits, FShifted, settled, FTrailing, before};
}

void TRangeEncoder::Restore(const TSnapshot& snapshot) {
  FSettled.resize(snapshot.Settled);
  const size_t first = snapshot.Settled - snapshot.Trailing;
  std::fill(FSettled.begin() + static_cast<ptrdiff_t>(first), FSettled.end(), uint8_t{0xFF});
  if (first > 0) FSettled[first - 1] = snapshot.BeforeTrailing;
  FRange = snapshot.Range;
  FLow = snapshot.Low;
  FLowBits = snapshot.LowBits;
  FShifted = snapshot.Shifted;
  FTrailing = snapshot.Trailing;
}

}  // namespace lumera
