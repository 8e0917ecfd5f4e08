// Read me first: the output history and the repeater.
//
// - The output itself is the repeater's only window on earlier output: every copied byte
//   is read back from the output stream, whose position is put back at the end after
//   each read. There is no separate buffer of past bytes.
// - An offset code names an occurrence of the last output byte's value, counted back
//   through that value's ring of output offsets (code 1 = the last byte itself); the copy
//   starts just after it. Code 0 means the start of the output. Only the ring's current
//   lap can be named: right after the 256th occurrence of a value, nothing can.
// - Copies may overlap their own output: with distance d and length n > d the d bytes
//   repeat. A copy that would start at the end of the output has nothing to read and is
//   refused before it writes anything.
#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

[[noreturn]] void RefuseOffset() {
  throw Exception("Invalid offset code for the repeater.");
}

// Puts a stream's position back where it was, also when an exception passes.
class TPositionGuard {
 public:
  // position is where the stream stands now.
  TPositionGuard(TStream& stream, int64_t position) : FStream(stream), FSaved(position) {}
  ~TPositionGuard() { FStream.Seek(FSaved, TSeekOrigin::Beginning); }
  TPositionGuard(const TPositionGuard&) = delete;
  TPositionGuard& operator=(const TPositionGuard&) = delete;

 private:
  TStream& FStream;
  int64_t FSaved;
};

// Whether output holds the byte at offset, read from position here. A negative offset
// counts back from that position, any other from the start.
bool Holds(const TStream& output, int64_t here, int32_t offset) {
  const int64_t target = offset < 0 ? here + offset : offset;
  return target >= 0 && target < output.Size();
}

}  // namespace

// The listener is told first, while little else is live.
void TDecompressor::PutByte(uint8_t b) {
  if (FChanges) [[unlikely]] {
    FChanges->Ring(b, FPositions[b]);
  }
  const int64_t offset = FDest->Size();
  TBytePositions& ring = FPositions[b];
  ring.Pos[ring.Next] = static_cast<uint32_t>(offset);
  ring.Next = (ring.Next + 1) & 255;
  // A lost byte would make the output silently differ from what the trace shows.
  if (FDest->Write(&b, 1) != 1) throw EInOutError("Cannot write to the output file.");
  if (FDiagnostics) FDiagnostics->ByteOutput(b, static_cast<uint64_t>(offset));
  FHist[FHistIdx] = b;
  FHistIdx = static_cast<uint8_t>((FHistIdx + 1) & 3);
}

// Only a byte that exists is returned: a target outside the output is a bad offset code.
// This runs for every copied byte.
uint8_t TDecompressor::ReadBack(int32_t offset) {
  const int64_t here = FDest->Position();
  if (!Holds(*FDest, here, offset)) RefuseOffset();
  TPositionGuard guard(*FDest, here);
  if (offset < 0) {
    FDest->Seek(offset, TSeekOrigin::Current);
  } else {
    FDest->Seek(offset, TSeekOrigin::Beginning);
  }
  uint8_t b = 0;
  if (FDest->Read(&b, 1) != 1) RefuseOffset();
  return b;
}

std::optional<uint8_t> TDecompressor::ByteAt(int32_t offset) {
  if (!Holds(*FDest, FDest->Position(), offset)) return std::nullopt;
  return ReadBack(offset);
}

std::optional<int32_t> TDecompressor::RepeatStart(uint32_t code) {
  if (code == 0) return 0;
  const std::optional<uint8_t> last = ByteAt(-1);
  if (!last) return std::nullopt;
  const TBytePositions& ring = FPositions[*last];
  if (ring.Next < code) return std::nullopt;
  return static_cast<int32_t>(ring.Pos[ring.Next - code] + 1);
}

// A copy starting at the end of the output would have nothing to read.
bool TDecompressor::CopyFits(int32_t start, uint32_t length) const {
  return length == 0 || start < FDest->Size();
}

bool TDecompressor::CanRepeat(uint32_t code, uint32_t length) {
  const std::optional<int32_t> start = RepeatStart(code);
  return start && CopyFits(*start, length);
}

void TDecompressor::ResolveRepeat() {
  const std::optional<int32_t> start = RepeatStart(static_cast<uint32_t>(FRepeatPos));
  if (!start) RefuseOffset();
  FRepeatPos = *start;
  if (!CopyFits(FRepeatPos, FRepeatLen)) RefuseOffset();
}

void TDecompressor::CopyRepeat() {
  for (uint32_t n = FRepeatLen; n > 0; --n) {
    PutByte(ReadBack(FRepeatPos));
    FRepeatPos = static_cast<int32_t>(static_cast<uint32_t>(FRepeatPos) + 1);
  }
  FRepeatLen = 0;
}

void TDecompressor::CopyRepeat(std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) PutByte(b);
  FRepeatPos = static_cast<int32_t>(static_cast<uint32_t>(FRepeatPos) + bytes.size());
  FRepeatLen = 0;
}

}  // namespace lumera
