#include "engine/stream_tail.h"

#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

TStreamTail TakeStreamTail(TDecompressor& decoder) {
  if (!decoder.FDone || !decoder.FBits) {
    throw Exception("A stream's tail follows its end marker, which was not decoded.");
  }
  const TContext& bits = *decoder.FBits;
  TStreamTail tail;
  tail.Code = decoder.FCode;
  tail.BitsTaken = decoder.SourceBitsTaken();
  tail.UnusedBitCount = bits.FBitsLeft;
  tail.UnusedBits = bits.FBitsLeft == 0 ? 0 : bits.FBuffer >> (32 - bits.FBitsLeft);
  tail.CodeLeftShare = decoder.FCodeLeftShare;
  TStream& source = *decoder.FSource;
  const int64_t position = source.Position();
  tail.Trailing.resize(static_cast<size_t>(source.Size() - position));
  tail.Trailing.resize(source.Read(tail.Trailing.data(), tail.Trailing.size()));
  source.Seek(position, TSeekOrigin::Beginning);
  return tail;
}

}  // namespace lumera
