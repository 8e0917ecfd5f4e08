#include "tools/stream_packer.h"

#include <cmath>
#include <stdexcept>

#include "platform/exceptions.h"

namespace lumera {

namespace {

// The table's total may not reach 0x10000: the decoder's products would no longer fit
// in 32 bits and weights would wrap.
constexpr uint32_t kLargestCodingTotal = 0xFFFE;

int IndexOf(const TDic& table, uint16_t symbol) {
  for (int32_t i = 0; i < table.FCount; ++i) {
    if (table.FItems[i].Symbol() == symbol) return i;
  }
  return -1;
}

double Cost(const TDic& table, uint16_t symbol) {
  const int index = IndexOf(table, symbol);
  return std::log2(static_cast<double>(table.FTotal) / table.FItems[index].Weight());
}

uint16_t LengthSymbol(uint32_t length) {
  return length == kEscapeLength ? kEscapeSymbol : static_cast<uint16_t>(length);
}

}  // namespace

ETooLarge::ETooLarge(std::string reason, uint64_t inputOffset, const char* file, int line)
    : Exception("The input cannot be carried by the format: " + reason + ".", file, line),
      FReason(std::move(reason)),
      FInputOffset(inputOffset) {}

TStreamPacker::TStreamPacker() : FMirror(std::make_unique<TDecompressor>()) {
  FMirror->FDest = &FOutput;
  FMirror->StartModels();
}

void TStreamPacker::EncodeEntry(TDic& table, uint16_t symbol) {
  if (table.FTotal > kLargestCodingTotal) {
    throw ETooLarge("a table's total would reach 0x10000", FOutput.Bytes().size());
  }
  const int index = IndexOf(table, symbol);
  if (!FEncoder.CanEncode(table.FItems[index].Weight(), table.FTotal)) {
    throw ETooLarge("an entry's share of the range would be 0", FOutput.Bytes().size());
  }
  uint32_t lowWeight = 0;
  for (int i = 0; i < index; ++i) lowWeight += table.FItems[i].Weight();
  FEncoder.Encode(lowWeight, table.FItems[index].Weight(), table.FTotal);
  table.Hit(static_cast<uint16_t>(index));
}

void TStreamPacker::EncodeEscapesToMatch(TDic& node) {
  EncodeEntry(node, kEscapeSymbol);
  TDic& root = *FMirror->FDictionary->FRoot;
  if (&node != &root) EncodeEntry(root, kEscapeSymbol);
}

TDic& TStreamPacker::LengthTable(uint8_t code) const {
  return code == 0 ? *FMirror->FLenDic0 : *FMirror->FLenDic;
}

void TStreamPacker::RequireUsable() const {
  if (FRefused) throw std::logic_error("the stream already ends in a refused repeat");
}

void TStreamPacker::Literal(uint8_t byte) {
  RequireUsable();
  TDic& node = FMirror->FindContext();
  const bool escaped = IndexOf(node, byte) < 0;
  if (escaped) {
    // Only a child can lack a byte: the root holds all of them.
    EncodeEntry(node, kEscapeSymbol);
    EncodeEntry(*FMirror->FDictionary->FRoot, byte);
  } else {
    EncodeEntry(node, byte);
  }
  FMirror->ApplyLiteral(node, byte, escaped);
}

void TStreamPacker::Repeat(uint8_t code, uint32_t length) {
  RequireUsable();
  if (length > 255 && length != kEscapeLength) throw std::invalid_argument("repeat length");
  EncodeEscapesToMatch(FMirror->FindContext());
  EncodeEntry(*FMirror->FMatchDic, code);
  EncodeEntry(LengthTable(code), LengthSymbol(length));
  try {
    FMirror->StartRepeat(code, length);
  } catch (const Exception&) {
    FRefused = true;
    return;
  }
  if (length > 0) FMirror->CopyRepeat();
}

void TStreamPacker::EndMarker() {
  RequireUsable();
  EncodeEscapesToMatch(FMirror->FindContext());
  EncodeEntry(*FMirror->FMatchDic, kEscapeSymbol);
}

std::vector<uint8_t> TStreamPacker::Finish(const std::vector<uint8_t>& trailing) const {
  std::vector<uint8_t> stream = FEncoder.Finish();
  stream.insert(stream.end(), trailing.begin(), trailing.end());
  return stream;
}

double TStreamPacker::LiteralCost(uint8_t byte) {
  const TDic& node = FMirror->FindContext();
  if (IndexOf(node, byte) >= 0) return Cost(node, byte);
  return Cost(node, kEscapeSymbol) + Cost(*FMirror->FDictionary->FRoot, byte);
}

double TStreamPacker::RepeatCost(uint8_t code, uint32_t length) {
  const TDic& node = FMirror->FindContext();
  const TDic& root = *FMirror->FDictionary->FRoot;
  double bits = Cost(node, kEscapeSymbol) + (&node != &root ? Cost(root, kEscapeSymbol) : 0.0);
  return bits + Cost(*FMirror->FMatchDic, code) + Cost(LengthTable(code), LengthSymbol(length));
}

}  // namespace lumera
