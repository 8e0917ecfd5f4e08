#include "engine/bit_reader.h"

#include "platform/exceptions.h"

namespace lumera {

void SwapBytes(uint32_t& w) {
  w = (w >> 24) | ((w >> 8) & 0x0000FF00u) | ((w << 8) & 0x00FF0000u) | (w << 24);
}

void ShiftIn(uint32_t& v, uint32_t src, uint16_t count) {
  v = (v << count) | (src >> (32 - count));
}

TContext::TContext(TStream& stream)
    : FStream(stream), FStart(static_cast<int32_t>(stream.Position())) {
  ClearBuffer();
}

void TContext::ClearBuffer() {
  FBuffer = 0;
  FBitsLeft = 0;
}

uint32_t TContext::GetBits(uint8_t n) {
  if (n == 0) return 0;
  if (n <= FBitsLeft) {
    const uint32_t result = FBuffer >> (32 - n);
    FBuffer <<= n;
    FBitsLeft -= n;
    return result;
  }
  const uint8_t fresh = n - FBitsLeft;
  const uint32_t carried = FBitsLeft == 0 ? 0 : FBuffer >> (32 - FBitsLeft);
  uint8_t bytes[4];
  if (FStream.Read(bytes, sizeof bytes) != sizeof bytes) throw Exception("Premature stream end.");
  const uint32_t word = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                        (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]};
  uint32_t result = carried;
  ShiftIn(result, word, fresh);
  FBitsLeft = 32 - fresh;
  FBuffer = word << fresh;
  return result;
}

bool TContext::AtEnd() const {
  return FStream.Position() >= FStream.Size();
}

}  // namespace lumera
