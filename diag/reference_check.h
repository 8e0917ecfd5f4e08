// The check of each decoded entry against a known-good decompression, "dec.xml" in the
// working directory. For the byte the reference expects next, it prints the figures that
// entry would have given, laid out like the decoder's own lines just above, and waits
// for Enter. It compares nothing itself and changes no decoding state.
#pragma once

#include <cstdint>
#include <string>

#include "diag/decoded_text.h"
#include "engine/frequency_table.h"
#include "platform/console.h"

namespace lumera {

class TReferenceCheck {
 public:
  TReferenceCheck(const TDecodedText& decoded, TConsole& console,
                  std::string referencePath = "dec.xml")
      : FDecoded(decoded), FConsole(console), FPath(std::move(referencePath)) {}

  // The reference byte at the position of the next output byte plus k; 0 where the
  // reference is too short. The file is opened for this one byte and closed again.
  uint8_t RefByte(int32_t k) const;
  // Called for every decoded entry that is not the escape, before the coder state or
  // the table changes.
  void CheckAgainstReference(uint32_t code, uint32_t range, const TDic& table);
  uint32_t ExpectedLow() const { return FExpectedLow; }

 private:
  const TDecodedText& FDecoded;
  TConsole& FConsole;
  std::string FPath;
  uint32_t FExpectedLow = 0;
};

}  // namespace lumera
