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

// True when the entry's symbol half is the escape.
constexpr bool IsEscape(uint32_t entry) {
  return (entry >> 16) == 0xFFFF;
}

}  // namespace lumera
