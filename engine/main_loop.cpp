#include <array>
#include <string>

#include "engine/decompressor.h"
#include "engine/symbol_decoder.h"
#include "platform/exceptions.h"

namespace lumera {

void TDecompressor::Decompress() {
  if (FSource == nullptr || FDest == nullptr) {
    throw Exception("The decompressor has no source or output stream.");
  }
  Prepare();
  FBits = std::make_unique<TContext>(*FSource);
  std::array<uint8_t, 4> bytes{};
  FSource->Read(bytes.data(), bytes.size());
  FCode = SwapBytes(bytes);
  // The stop is tested before the end marker, and only between steps: a repeat due
  // before the stop is copied in full.
  while (static_cast<uint64_t>(FDest->Size()) < FStopAfter && !FDone) {
    if (FRepeatLen == 0) {
      DecodeLiteral();
    } else {
      CopyRepeat();
    }
  }
}

void TDecompressor::Prepare() {
  if (FSource->Size() < FMinSize) {
    throw Exception("Too short source stream, min length is " + std::to_string(FMinSize) +
                    " bytes.");
  }
  FSource->Seek(0, TSeekOrigin::Beginning);
  StartModels();
}

void TDecompressor::StartModels() {
  FDone = false;
  FDest->Seek(0, TSeekOrigin::Beginning);
  FRange = 0xFFFF;
  FCodeLeftShare = false;
  FHistIdx = 0;
  FHist = {};
  ResetModels();
  FDictionary = std::make_unique<TDictionary>(kContextCapacity);
}

void TDecompressor::ResetModels() {
  FMatchDic->ResetItems();
  FLenDic->ResetItems();
  FLenDic0->ResetItems();
  FPositions.fill(TBytePositions{});
  FRepeatLen = 0;
}

void TDecompressor::DecodeLiteral() {
  TDic& node = FindContext();
  uint32_t entry = DecodeSymbol(node, {TTableKind::Context, ContextDepth()});
  const bool escaped = IsEscape(entry);
  if (escaped && &node != FDictionary->FRoot.get()) {
    entry = DecodeSymbol(*FDictionary->FRoot, {TTableKind::Root});
  }
  if (IsEscape(entry)) {
    DecodeEscape();
    return;
  }
  ApplyLiteral(node, static_cast<uint8_t>(entry >> 16), escaped);
}

void TDecompressor::ApplyLiteral(TDic& node, uint8_t byte, bool escaped) {
  if (escaped) {
    if (FChanges) [[unlikely]] {
      FChanges->Entries(node, -1);
    }
    node.AddSymbol(1, byte);
  }
  PutByte(byte);
  CountHit(byte, node);
}

void TDecompressor::DecodeEscape() {
  const uint32_t entry = DecodeSymbol(*FMatchDic, {TTableKind::Match});
  if (IsEscape(entry)) {
    Finish();
    return;
  }
  const auto code = static_cast<uint16_t>(entry >> 16);
  TDic& lengths = LengthTable(code);
  const TTableRole role{&lengths == FLenDic0.get() ? TTableKind::Length0 : TTableKind::Length};
  // The length table's escape is not special: its symbol gives a length of 65535.
  StartRepeat(code, DecodeSymbol(lengths, role) >> 16);
}

void TDecompressor::StartRepeat(uint16_t code, uint32_t length) {
  FRepeatPos = code;
  FRepeatLen = length;
  ResolveRepeat();
  if (FDiagnostics) {
    FDiagnostics->RepeatStarted(code, static_cast<uint32_t>(FRepeatPos), FRepeatLen);
  }
}

uint64_t TDecompressor::SourceBitsTaken() const {
  return FBits ? kInitialCodeBits + FBits->FDelivered : 0;
}

void TDecompressor::Finish() {
  FDone = true;
  if (FDiagnostics) FDiagnostics->EndMarker();
  if (!FBits->AtEnd() && FDiagnostics) FDiagnostics->SourceLeftOver();
}

}  // namespace lumera
