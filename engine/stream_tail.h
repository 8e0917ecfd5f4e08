// What follows the end marker in a stream. The events of a stream fix every bit the coder
// takes up to its end marker, and the range it is left with, but not where in that range
// the code value lies, nor the bits of the last word that the bit reader fetched and left
// unused, nor source bytes after that word. Kept with the events, this is enough to write
// the same stream again, bit for bit.
#pragma once

#include <cstdint>
#include <vector>

namespace lumera {

class TDecompressor;

struct TStreamTail {
  // The decoder's code value after the end marker's step, counted from the bottom of its
  // interval; any conventional encoder leaves it below the range left then.
  uint32_t Code = 0;
  uint64_t BitsTaken = 0;  // by the coder in all, the initial code value included
  // The low bits of the last word the bit reader fetched that the coder never took: how
  // many (0 to 31) and their value.
  uint8_t UnusedBitCount = 0;
  uint32_t UnusedBits = 0;
  std::vector<uint8_t> Trailing;  // source bytes after that word, never read
  // At some step the code value lay outside the decoded entry's share (the products wrap,
  // so the decoder goes on). An encoder keeps its code inside every share, so such a
  // stream cannot be written again from its events and this tail, only one that decodes
  // the same.
  bool CodeLeftShare = false;

  bool operator==(const TStreamTail&) const = default;
};

// The tail of the stream that decoder has just decoded to its end marker. Reads the
// source bytes after the last word fetched and puts the source's position back. Raises
// Exception before the end marker.
TStreamTail TakeStreamTail(TDecompressor& decoder);

}  // namespace lumera
