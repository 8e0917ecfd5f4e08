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
//   so the decoder's last refill takes the last word. Or, to write a stream again as it
//   was, with a tail: low plus the code value the decoder was left with, then the unused
//   bits of the last word as they were, then the bytes that followed it.
// - A snapshot is cheap: all later additions to low stay below low + range, so they can
//   carry into the settled bytes at most once, through the trailing 0xFF bytes into the
//   byte before them. A snapshot keeps the settled length and that one byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/stream_tail.h"

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
  // Bits the decoder will have taken once it has decoded what is coded so far, the
  // initial code value included.
  uint64_t BitsTaken() const;
  // The whole stream: the initial code value and the padded words.
  std::vector<uint8_t> Finish() const;
  // Whether the stream can end with the tail: the coder has taken its BitsTaken, its code
  // value lies inside the range, and its unused bits fill up the last word.
  bool Fits(const TStreamTail& tail) const;
  // The whole stream ending with a tail that fits.
  std::vector<uint8_t> Finish(const TStreamTail& tail) const;

  struct TSnapshot {
    uint32_t Range;
    uint64_t Low;
    int LowBits;
    uint64_t Shifted;
    size_t Settled;
    uint32_t Trailing;  // 0xFF bytes at the end of the settled ones
    uint8_t BeforeTrailing;  // the byte before them, if any
  };
  TSnapshot Save() const;
  // Back to a snapshot taken on this encoder, with nothing settled since lost.
  void Restore(const TSnapshot& snapshot);

 private:
  void AddToLow(uint32_t amount);
  void Shift(int bits);

  uint32_t FRange = 0xFFFF;
  std::vector<uint8_t> FSettled;  // the top bits of low, in whole bytes
  uint64_t FLow = 0;              // the bits of low below them
  int FLowBits = 32;              // how many bits FLow holds
  uint64_t FShifted = 0;          // bits shifted in after the initial code value
  uint32_t FTrailing = 0;         // 0xFF bytes at the end of FSettled
};

}  // namespace lumera
