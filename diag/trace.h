// The console trace of a decompression: every arithmetic step, every output byte and
// every warning, with the reference check run for each decoded entry.
#pragma once

#include <string>

#include "diag/decoded_text.h"
#include "diag/reference_check.h"
#include "engine/diagnostics.h"
#include "platform/console.h"

namespace lumera {

class TTrace : public TDiagnostics {
 public:
  explicit TTrace(TConsole& console, std::string referencePath = "dec.xml")
      : FConsole(console), FCheck(FDecoded, console, std::move(referencePath)) {}

  void StepStarted(const TStepStart& step) override;
  void EntryFound(const TStepEntry& found) override;
  void StepFinished(uint8_t bitsNeeded, bool overloaded) override;
  void ByteOutput(uint8_t byte, uint64_t offset) override;
  void RepeatStarted(uint16_t, uint32_t, uint32_t) override {}
  void EndMarker() override {}
  void SourceLeftOver() override;

  const TDecodedText& DecodedText() const { return FDecoded; }
  const TReferenceCheck& Check() const { return FCheck; }

 private:
  TConsole& FConsole;
  TDecodedText FDecoded;
  TReferenceCheck FCheck;
};

}  // namespace lumera
