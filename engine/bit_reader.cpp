#include "engine/bit_reader.h"

#include "platform/exceptions.h"

namespace lumera {

uint32_t SwapBytes(const std::array<uint8_t, 4>& bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

void ShiftIn(uint32_t& v, uint32_t src, uint16_t count) {
  v = (v << count) | (src >> (32 - count));
}

TContext::TContext(TStream& stream) : FStream(stream) {
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
    FDelivered += n;
    return result;
  }
  const uint8_t fresh = n - FBitsLeft;
  const uint32_t carried = FBitsLeft == 0 ? 0 : FBuffer >> (32 - FBitsLeft);
  std::array<uint8_t, 4> bytes{};
  if (FStream.Read(bytes.data(), bytes.size()) != bytes.size()) {
    throw Exception("Premature stream end.");
  }
  const uint32_t word = SwapBytes(bytes);
  uint32_t result = carried;
  ShiftIn(result, word, fresh);
  FBitsLeft = 32 - fresh;
  FBuffer = word << fresh;
  FDelivered += n;
  return result;
}

bool TContext::AtEnd() const {
  return FStream.Position() >= FStream.Size();
}

}  // namespace lumera
