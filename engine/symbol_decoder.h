// Read me first: the arithmetic decoding step (TDecompressor::DecodeSymbol).
//
// - The coder keeps only the code value and the range; the code is counted from the
//   bottom of the current interval, so "low" never appears in the decoder.
// - An entry with cumulative weight L and weight w in a table of total T owns the interval
//   [ceil(L*R/T), ceil(L*R/T) + floor(w*R/T)) of the current range R. The bottom is
//   rounded up and the width rounded down, so the shares never overlap.
// - After each step the range is shifted back to 0x8000..0xFFFF (16 significant bits),
//   pulling as many fresh bits into the code. All products are 32-bit and wrap.
#pragma once

#include <cstdint>

namespace lumera {

// The bottom of a share, ceil(lowWeight * range / total), as the coder computes it: the
// product is taken modulo 2^32 because the decoder and the encoder must agree to the bit
// on every stream, and the format was defined with 32-bit arithmetic.
constexpr uint32_t CoderShareBottom(uint32_t lowWeight, uint32_t range, uint32_t total) {
  return (lowWeight * range + total - 1) / total;
}

// The width of a share, floor(weight * range / total), in the same 32-bit arithmetic.
constexpr uint32_t CoderShareWidth(uint32_t weight, uint32_t range, uint32_t total) {
  return weight * range / total;
}

// ceil(weight * range / total) computed exactly in 64 bits, then kept to 32: the reference
// check reports what an entry's bound would be, and a sum of weights below an entry may
// exceed 16 bits, so its product must not wrap.
constexpr uint32_t ExactShareBottom(uint32_t weight, uint32_t range, uint32_t total) {
  return static_cast<uint32_t>((uint64_t{weight} * range + total - 1) / total);
}

// True when the entry's symbol half is the escape.
constexpr bool IsEscape(uint32_t entry) {
  return (entry >> 16) == 0xFFFF;
}

}  // namespace lumera
