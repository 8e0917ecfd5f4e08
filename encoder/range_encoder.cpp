#include "encoder/range_encoder.h"

#include <bit>
#include <stdexcept>

#include "engine/symbol_decoder.h"

namespace lumera {

namespace {

int ShiftBack(uint32_t share) {
  return 15 - (std::bit_width(share) - 1);
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
    if (++*byte != 0) return;
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

}  // namespace lumera
