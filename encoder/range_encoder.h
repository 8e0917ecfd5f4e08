// Read me first: the arithmetic encoder that the decoder's step inverts.
//
// - The decoder keeps the code value counted from the bottom of the interval; the
//   encoder keeps that bottom ("low") instead. Coding an entry of cumulative weight L and
//   weight w out of T adds ceil(L*R/T) to low and makes the range floor(w*R/T), the very
//   share the decoder narrows to, then both are shifted until the range is back in
//   0x8000..0xFFFF.
// - low is a number as long as the stream itself. Its top bits are emitted as they settle
//   and a later addition can still carry into them; the carry is propagated through the
//   emitted bytes.
// - The stream ends with low itself: the initial 32-bit code value (whose top 16 bits are
//   always zero) followed by every bit shifted in, padded with zero bits to whole words,
//   so the decoder's last refill takes the last word.
#pragma once

#include <cstdint>
#include <vector>

namespace lumera {

class TRangeEncoder {
 public:
  // The range after coding an entry of this weight from range, shifted back to
  // 0x8000..0xFFFF; 0 when the entry has no share of range, since an empty share could
  // not be told apart from its neighbours. Lets a caller try a whole event before coding.
  static uint32_t RangeAfter(uint32_t range, uint16_t weight, uint32_t total);
  uint32_t Range() const { return FRange; }
  // Codes the share of an entry; the caller has made sure that it has one.
  void Encode(uint32_t lowWeight, uint16_t weight, uint32_t total);
  // The whole stream: the initial code value and the padded words.
  std::vector<uint8_t> Finish() const;

 private:
  void AddToLow(uint32_t amount);
  void Shift(int bits);

  uint32_t FRange = 0xFFFF;
  std::vector<uint8_t> FSettled;  // the top bits of low, in whole bytes
  uint64_t FLow = 0;              // the bits of low below them
  int FLowBits = 32;              // how many bits FLow holds
  uint64_t FShifted = 0;          // bits shifted in after the initial code value
};

}  // namespace lumera
