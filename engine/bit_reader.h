// Hands the compressed bit stream to the arithmetic decoder in groups of 1 to 15 bits,
// most significant bit first. The stream is a run of 32-bit words stored big-endian;
// a word is fetched only when a request cannot be served from the bits already held.
#pragma once

#include <array>
#include <cstdint>

#include "platform/stream.h"

namespace lumera {

// The big-endian value of four bytes read from the stream, built from the bytes
// themselves, so it is the same on any host byte order.
uint32_t SwapBytes(const std::array<uint8_t, 4>& bytes);

// v shifted left by count bits, its low count bits filled from the top count bits of src.
// count is 1 to 31.
void ShiftIn(uint32_t& v, uint32_t src, uint16_t count);

class TContext {
 public:
  // Reads nothing.
  explicit TContext(TStream& stream);

  void ClearBuffer();
  // The next n bits (1 to 15), right-aligned. Raises "Premature stream end." when a
  // refill finds fewer than four bytes; the buffer then keeps its bits.
  uint32_t GetBits(uint8_t n);
  // True once the stream's position has reached its size; held bits do not count.
  bool AtEnd() const;

  TStream& FStream;      // not owned
  uint32_t FBuffer = 0;  // undelivered bits, left-aligned
  uint8_t FBitsLeft = 0;
  uint64_t FDelivered = 0;  // bits handed out by GetBits since construction
};

}  // namespace lumera
