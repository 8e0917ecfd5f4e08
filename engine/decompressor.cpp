#include "engine/decompressor.h"

namespace lumera {

TDecompressor::TDecompressor(TDiagnostics* diagnostics, uint64_t stopAfter)
    : FStopAfter(stopAfter), FDiagnostics(diagnostics) {
  FMinSize = 8;
  FMatchDic = std::make_unique<TDic>(TDicShape::Full);
  FLenDic = std::make_unique<TDic>(TDicShape::Full);
  FLenDic0 = std::make_unique<TDic>(TDicShape::Full);
  SetDefaults();
}

void TDecompressor::SetDefaults() {
  FShift = {1, 3, 4, 5};
  FThreshold = {1, 8, 16, 32};
}

}  // namespace lumera
