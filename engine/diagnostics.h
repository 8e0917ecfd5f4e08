// What the decoder tells an observer while it works: the figures of every arithmetic
// step, each decoded entry (for the reference check), each output byte and the warnings.
// The diagnostics layer implements it to print the trace; a decoder with no observer
// attached runs silent.
#pragma once

#include <cstdint>

namespace lumera {

class TDecompressor;
class TDic;

class TDiagnostics {
 public:
  virtual ~TDiagnostics() = default;

  // Where the code value falls on the table's weight scale.
  virtual void Scaled(uint32_t neededWeight, uint32_t code, uint32_t total, uint32_t range) = 0;
  // The code value counted from the bottom of the decoded entry's share.
  virtual void Bounded(uint32_t first, uint32_t code, uint32_t range, uint32_t lowWeight,
                       uint32_t total) = 0;
  // An entry other than the escape was decoded from model; the coder state and the table
  // are still as they were at the start of the step.
  virtual void Decoded(const TDecompressor& decoder, const TDic& model) = 0;
  virtual void Escaped() = 0;
  // A table was hit while its total stood at 0x2000 or more.
  virtual void Overloaded() = 0;
  // A byte was appended to the output.
  virtual void Output(uint8_t byte) = 0;
  // The end marker was decoded before the source was read to its end.
  virtual void SourceLeftOver() = 0;
};

}  // namespace lumera
