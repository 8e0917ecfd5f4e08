#include "engine/decompressor.h"

namespace lumera {

TDecompressor::TDecompressor(TDiagnostics* diagnostics, uint64_t stopAfter)
    : FMatchDic(std::make_unique<TDic>(TDicShape::Full)),
      FLenDic(std::make_unique<TDic>(TDicShape::Full)),
      FLenDic0(std::make_unique<TDic>(TDicShape::Full)),
      FStopAfter(stopAfter),
      FDiagnostics(diagnostics) {}

}  // namespace lumera
