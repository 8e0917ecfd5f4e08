#include "diag/trace.h"

#include "platform/hex.h"

namespace lumera {

void TTrace::Scaled(uint32_t neededWeight, uint32_t code, uint32_t total, uint32_t range) {
  FConsole.WriteLine(
      FormatHex("NeededWeight (%.2x) := %.4x * %.2x div %.4x", {neededWeight, code, total, range}));
}

void TTrace::Bounded(uint32_t first, uint32_t code, uint32_t range, uint32_t lowWeight,
                     uint32_t total) {
  FConsole.WriteLine(FormatHex("first (%.4x) := %.4x - ((%.4x * %.2x) div %.2x)",
                               {first, code, range, lowWeight, total}));
}

// The "w " line stays open: the reference check continues it with the expected byte.
void TTrace::Decoded(const TDecompressor& decoder, const TDic& model) {
  FConsole.Write("w " + Hex(decoder.FCode, 4) + " ");
  FConsole.Flush();
  FCheck.CheckAgainstReference(decoder, model);
}

void TTrace::Escaped() {
  FConsole.WriteLine("\r---------- escaped ------------");
}

void TTrace::Overloaded() {
  FConsole.WriteLine(
      "Warning: a TDic has been Hit too many times (0x2000 or more). The algorithm for such "
      "cases is not implemented, the following data may be corrupted.");
}

void TTrace::Output(uint8_t byte) {
  FDecoded.Append(byte);
  FConsole.WriteLine("out " + Hex(byte, 2));
}

void TTrace::SourceLeftOver() {
  FConsole.WriteLine(
      "Warning: data extracted successfully but not the whole source stream has been used.");
}

}  // namespace lumera
