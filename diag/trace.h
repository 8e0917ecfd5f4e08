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

  void Scaled(uint32_t neededWeight, uint32_t code, uint32_t total, uint32_t range) override;
  void Bounded(uint32_t first, uint32_t code, uint32_t range, uint32_t lowWeight,
               uint32_t total) override;
  void Decoded(const TDecompressor& decoder, const TDic& model) override;
  void Escaped() override;
  void Overloaded() override;
  void Output(uint8_t byte) override;
  void SourceLeftOver() override;

  const TDecodedText& DecodedText() const { return FDecoded; }
  const TReferenceCheck& Check() const { return FCheck; }

 private:
  TConsole& FConsole;
  TDecodedText FDecoded;
  TReferenceCheck FCheck;
};

}  // namespace lumera
