#include "diag/trace.h"

#include "engine/symbol_decoder.h"
#include "platform/hex.h"

namespace lumera {

void TTrace::StepStarted(const TStepStart& step) {
  FConsole.WriteLine(FormatHex("NeededWeight (%.2x) := %.4x * %.2x div %.4x",
                               {step.NeededWeight, step.Code, step.Total, step.Range}));
}

void TTrace::EntryFound(const TStepEntry& found) {
  FConsole.WriteLine(FormatHex("first (%.4x) := %.4x - ((%.4x * %.2x) div %.2x)",
                               {found.First, found.Code, found.Range, found.LowWeight, found.Total}));
  if (IsEscape(found.Entry)) {
    // The carriage return puts the line at the start of the console row even where an
    // unfinished "w " text might stand.
    FConsole.WriteLine("\r---------- escaped ------------");
    return;
  }
  // The "w " line stays open: the reference check continues it with the expected byte.
  FConsole.Write("w " + Hex(found.Code, 4) + " ");
  FConsole.Flush();
  FCheck.CheckAgainstReference(found.Code, found.Range, *found.Table);
}

void TTrace::StepFinished(uint8_t, bool overloaded) {
  if (!overloaded) return;
  FConsole.WriteLine(
      "Warning: a TDic has been Hit too many times (0x2000 or more). The algorithm for such "
      "cases is not implemented, the following data may be corrupted.");
}

void TTrace::ByteOutput(uint8_t byte, uint64_t) {
  FDecoded.Append(byte);
  FConsole.WriteLine("out " + Hex(byte, 2));
}

void TTrace::SourceLeftOver() {
  FConsole.WriteLine(
      "Warning: data extracted successfully but not the whole source stream has been used.");
}

}  // namespace lumera
