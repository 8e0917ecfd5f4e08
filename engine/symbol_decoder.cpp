#include "engine/symbol_decoder.h"

#include <bit>

#include "engine/decompressor.h"
#include "platform/exceptions.h"

namespace lumera {

uint32_t TDecompressor::DecodeSymbol(TDic& model, TTableRole role) {
  const uint32_t total = model.FTotal;
  // Unreachable from a stream (the range stays at 0x8000 or more and a total would have
  // to wrap), but a division by zero must never happen.
  if (FRange == 0 || total == 0) throw Exception("Divisor has been calculated as 0.");
  const uint32_t neededWeight = FCode * total / FRange;
  if (FDiagnostics) FDiagnostics->StepStarted({role, &model, FCode, FRange, total, neededWeight});

  uint16_t remainder = 0;
  const uint16_t index = model.Find(static_cast<uint16_t>(neededWeight), remainder);
  const uint32_t lowWeight = neededWeight - remainder;
  const uint32_t first = FCode - CoderShareBottom(lowWeight, FRange, total);
  const TDicItem entry = model.FItems[index];
  if (FDiagnostics) {
    FDiagnostics->EntryFound({entry.Word, index, lowWeight, first, FCode, FRange, total, &model});
  }

  const uint32_t width = CoderShareWidth(entry.Weight(), FRange, total);
  if (FCode >= FRange || first >= width) FCodeLeftShare = true;
  const uint8_t bitsNeeded = Renormalize(first, width);
  const bool overloaded = CountEntry(model, index);
  if (FDiagnostics) FDiagnostics->StepFinished(bitsNeeded, overloaded);
  return entry.Word;
}

uint8_t TDecompressor::Renormalize(uint32_t first, uint32_t newRange) {
  if (newRange == 0) throw Exception("Divisor has been calculated as 0.");
  const int highestBit = std::bit_width(newRange) - 1;
  if (highestBit > 15) throw Exception("Unexpectedly large BitsNeeded.");
  const int16_t bitsNeeded = static_cast<int16_t>(15 - highestBit);
  FRange = newRange << bitsNeeded;
  FCode = first;
  if (bitsNeeded > 0) {
    const uint32_t bits = FBits->GetBits(static_cast<uint8_t>(bitsNeeded));
    ShiftIn(FCode, bits << (32 - bitsNeeded), static_cast<uint16_t>(bitsNeeded));
  }
  return static_cast<uint8_t>(bitsNeeded);
}

}  // namespace lumera
