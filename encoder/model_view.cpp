#include "encoder/model_view.h"

#include "platform/exceptions.h"

namespace lumera {

const TDic& TModelView::ContextAt(std::span<const uint8_t> text, size_t pos) const {
  const size_t from = pos >= 4 ? pos - 4 : 0;
  return FModels->ContextOf(text.subspan(from, pos - from));
}

TModelMirror::TModelMirror(TStream& output, TModelChanges& listener)
    : FModels(std::make_unique<TDecompressor>()) {
  FModels->FDest = &output;
  FModels->ReportChangesTo(&listener);
  FModels->StartModels();
}

TDic& TModelMirror::Root() {
  return *FModels->FDictionary->FRoot;
}

TDic& TModelMirror::Codes() {
  return *FModels->FMatchDic;
}

// The decoder's refusal ends its decoding; the packer's only ends the stream it writes.
bool TModelMirror::StartRepeat(uint16_t code, uint32_t length) {
  try {
    FModels->StartRepeat(code, length);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

size_t TModelMirror::RepeatFrom() const {
  return static_cast<size_t>(FModels->FRepeatPos);
}

TModelMirror::THistory TModelMirror::History() const {
  return {FModels->FHist, FModels->FHistIdx};
}

void TModelMirror::Restore(const THistory& history) {
  FModels->FHist = history.Bytes;
  FModels->FHistIdx = history.Next;
  FModels->FRepeatLen = 0;
}

}  // namespace lumera
