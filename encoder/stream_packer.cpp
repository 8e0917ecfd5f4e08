#include "encoder/stream_packer.h"

#include <stdexcept>

#include "encoder/coding_cost.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

// The table's total may not reach 0x10000: the decoder's products would no longer fit
// in 32 bits and weights would wrap.
constexpr uint32_t kLargestCodingTotal = 0xFFFE;

bool CodableLength(uint32_t length) {
  return length <= 255 || length == kEscapeLength;
}

uint16_t LengthSymbol(uint32_t length) {
  return length == kEscapeLength ? kEscapeSymbol : static_cast<uint16_t>(length);
}

}  // namespace

ETooLarge::ETooLarge(std::string reason, uint64_t inputOffset, const char* file, int line)
    : Exception("The input cannot be carried by the format: " + reason + ".", file, line),
      FReason(std::move(reason)),
      FInputOffset(inputOffset) {}

TStreamPacker::TStreamPacker() : FMirror(FOutput, FJournal) {}

TStreamPacker::TStreamPacker(std::span<const uint8_t> input) : TStreamPacker() {
  FOutput = TOutputEcho(input);
}

void TStreamPacker::AddStep(TEvent& event, TDic& table, uint16_t symbol) {
  const TEntryPlace place = FindEntry(table, symbol);
  if (place.Index < 0) throw std::logic_error("a step codes a symbol its table lacks");
  event.Steps[event.Count++] = {&table, static_cast<uint16_t>(place.Index), place.Weight};
}

TStreamPacker::TEvent TStreamPacker::LiteralEvent(uint8_t byte, std::optional<bool> escaped,
                                                  uint16_t copy) {
  TEvent event;
  event.Node = &FMirror.Context();
  const TEntryPlace place = FindEntry(*event.Node, byte, copy);
  // Only a child can lack a byte: the root holds all of them, each once.
  event.Escaped = escaped.value_or(place.Index < 0);
  TDic& root = FMirror.Root();
  if (!event.Escaped) {
    if (place.Index < 0) {
      event.Refused = copy == 0 ? TRefusal::LiteralNotHeld : TRefusal::CopyNotHeld;
      return event;
    }
    event.Steps[event.Count++] = {event.Node, static_cast<uint16_t>(place.Index), place.Weight};
    return event;
  }
  // The decoder adds an escaped byte to the context's table, whether it holds it or not.
  if (copy != 0) {
    event.Refused = TRefusal::CopyNotHeld;
  } else if (event.Node == &root) {
    event.Refused = TRefusal::EscapeFromRoot;
  } else if (event.Node->FCount >= TDic::kCapacity) {
    event.Refused = TRefusal::ContextTableFull;
  } else {
    AddStep(event, *event.Node, kEscapeSymbol);
    AddStep(event, root, byte);
  }
  return event;
}

void TStreamPacker::AddEscapesToMatch(TEvent& event) {
  event.Node = &FMirror.Context();
  AddStep(event, *event.Node, kEscapeSymbol);
  TDic& root = FMirror.Root();
  if (event.Node != &root) AddStep(event, root, kEscapeSymbol);
}

TStreamPacker::TEvent TStreamPacker::RepeatEvent(uint8_t code, uint32_t length) {
  if (!CodableLength(length)) throw std::invalid_argument("repeat length");
  TEvent event;
  AddEscapesToMatch(event);
  AddStep(event, FMirror.Codes(), code);
  AddStep(event, FMirror.Lengths(code), LengthSymbol(length));
  return event;
}

TStreamPacker::TEvent TStreamPacker::EndEvent() {
  TEvent event;
  event.End = true;
  AddEscapesToMatch(event);
  AddStep(event, FMirror.Codes(), kEscapeSymbol);
  return event;
}

TStreamPacker::TEvent TStreamPacker::EventOf(const TEventChoice& choice) {
  switch (choice.Kind) {
    case TEventChoice::TKind::Literal:
      return LiteralEvent(choice.Byte, choice.Escaped, choice.Copy);
    case TEventChoice::TKind::Repeat:
      return RepeatEvent(static_cast<uint8_t>(choice.Code), choice.Length);
    case TEventChoice::TKind::End:
      break;
  }
  return EndEvent();
}

// The steps of one event code against distinct tables, so trying them one after the
// other on the tables as they stand is exact.
TRefusal TStreamPacker::Refusal(const TEvent& event) const {
  if (event.Refused != TRefusal::None) return event.Refused;
  uint32_t range = FEncoder.Range();
  for (int i = 0; i < event.Count; ++i) {
    const TStep& step = event.Steps[i];
    if (step.Table->FTotal > kLargestCodingTotal) {
      return step.Table == &FMirror.View().Root() ? TRefusal::RootTotalFull
                                                  : TRefusal::TableTotalFull;
    }
    range = TRangeEncoder::RangeAfter(range, step.Weight, step.Table->FTotal);
    if (range == 0) {
      return event.End && i + 1 == event.Count ? TRefusal::EndMarkerNoShare
                                               : TRefusal::EntryNoShare;
    }
  }
  return TRefusal::None;
}

TRefusal TStreamPacker::Encode(const TEvent& event) {
  if (const TRefusal reason = Refusal(event); reason != TRefusal::None) return reason;
  FJournal.Open();
  FMarks.push_back({FEncoder.Save(), FMirror.History(), OutputSize(), FRefused, FEnded});
  if (FMarks.size() > FJournal.Limit()) FMarks.pop_front();
  for (int i = 0; i < event.Count; ++i) {
    const TStep& step = event.Steps[i];
    uint32_t lowWeight = 0;
    for (int j = 0; j < step.Index; ++j) lowWeight += step.Table->FItems[j].Weight();
    FEncoder.Encode(lowWeight, step.Weight, step.Table->FTotal);
    FMirror.CountEntry(*step.Table, step.Index);
  }
  if (event.End) FEnded = true;
  return TRefusal::None;
}

void TStreamPacker::Raise(TRefusal refusal) const {
  if (refusal != TRefusal::None) throw ETooLarge(RefusalText(refusal), OutputSize());
}

double TStreamPacker::Cost(const TEvent& event) {
  double bits = 0;
  for (int i = 0; i < event.Count; ++i) {
    bits += EntryCost(event.Steps[i].Weight, event.Steps[i].Table->FTotal);
  }
  return bits;
}

void TStreamPacker::RequireUsable() const {
  if (FRefused) throw std::logic_error("the stream already ends in a refused repeat");
}

double TStreamPacker::Literal(uint8_t byte) {
  double bits = 0;
  Raise(CodeLiteral(byte, std::nullopt, 0, bits));
  return bits;
}

TRefusal TStreamPacker::TryLiteral(uint8_t byte, double* bits) {
  double cost = 0;
  const TRefusal refusal = CodeLiteral(byte, std::nullopt, 0, cost);
  if (bits != nullptr) *bits = cost;
  return refusal;
}

TRefusal TStreamPacker::CodeLiteral(uint8_t byte, std::optional<bool> escaped, uint16_t copy,
                                    double& bits) {
  RequireUsable();
  const TEvent event = LiteralEvent(byte, escaped, copy);
  bits = Cost(event);
  if (const TRefusal refusal = Encode(event); refusal != TRefusal::None) return refusal;
  FMirror.ApplyLiteral(*event.Node, byte, event.Escaped);
  return TRefusal::None;
}

// The bytes a copy from the resolved start writes, as the decoder reads them back: off the
// output, and where the copy overlaps its own output, off what it has just written.
std::vector<uint8_t> TStreamPacker::CopiedBytes(uint32_t length) const {
  const std::span<const uint8_t> out = FOutput.Bytes();
  const size_t from = FMirror.RepeatFrom();
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i) {
    bytes[i] = from + i < out.size() ? out[from + i] : bytes[from + i - out.size()];
  }
  return bytes;
}

void TStreamPacker::TakeBack() {
  if (FMarks.empty()) throw std::logic_error("no event left to take back");
  const TMark& mark = FMarks.back();
  FJournal.TakeBack();
  FEncoder.Restore(mark.Coder);
  FMirror.Restore(mark.History);
  FOutput.Truncate(mark.Output);
  FRefused = mark.Refused;
  FEnded = mark.Ended;
  FMarks.pop_back();
}

void TStreamPacker::SetUndoLimit(size_t events) {
  FJournal.SetLimit(events);
  while (FMarks.size() > events) FMarks.pop_front();
}

std::vector<uint8_t> TStreamPacker::Output() const {
  const std::span<const uint8_t> bytes = FOutput.Bytes();
  return {bytes.begin(), bytes.end()};
}

void TStreamPacker::Repeat(uint8_t code, uint32_t length) {
  Raise(CodeRepeat(code, length));
}

TRefusal TStreamPacker::TryRepeat(uint8_t code, uint32_t length) {
  return CodeRepeat(code, length);
}

TRefusal TStreamPacker::CodeRepeat(uint8_t code, uint32_t length) {
  RequireUsable();
  if (const TRefusal refusal = Encode(RepeatEvent(code, length)); refusal != TRefusal::None) {
    return refusal;
  }
  if (!FMirror.StartRepeat(code, length)) {
    FRefused = true;
    return TRefusal::None;
  }
  // The decoder's copy, without reading each byte back through the output stream.
  FMirror.CopyRepeat(CopiedBytes(length));
  return TRefusal::None;
}

void TStreamPacker::EndMarker() {
  RequireUsable();
  Raise(Encode(EndEvent()));
}

TRefusal TStreamPacker::TryEnd() {
  RequireUsable();
  return Encode(EndEvent());
}

TRefusal TStreamPacker::ChoiceRefusal(const TEventChoice& choice) {
  RequireUsable();
  if (FEnded) return TRefusal::AfterEnd;
  if (choice.Kind != TEventChoice::TKind::Repeat) return TRefusal::None;
  if (!CodableLength(choice.Length)) return TRefusal::LengthUncodable;
  if (!FMirror.CanRepeat(choice.Code, choice.Length)) return TRefusal::InvalidOffset;
  return TRefusal::None;
}

TRefusal TStreamPacker::TryEvent(const TEventChoice& choice) {
  if (const TRefusal refusal = ChoiceRefusal(choice); refusal != TRefusal::None) return refusal;
  switch (choice.Kind) {
    case TEventChoice::TKind::Literal: {
      double bits = 0;
      return CodeLiteral(choice.Byte, choice.Escaped, choice.Copy, bits);
    }
    case TEventChoice::TKind::Repeat:
      return CodeRepeat(static_cast<uint8_t>(choice.Code), choice.Length);
    case TEventChoice::TKind::End:
      break;
  }
  return Encode(EndEvent());
}

TRefusal TStreamPacker::RefusalOf(const TEventChoice& choice) {
  if (const TRefusal refusal = ChoiceRefusal(choice); refusal != TRefusal::None) return refusal;
  return Refusal(EventOf(choice));
}

std::vector<uint8_t> TStreamPacker::Finish(const std::vector<uint8_t>& trailing) const {
  std::vector<uint8_t> stream = FEncoder.Finish();
  stream.insert(stream.end(), trailing.begin(), trailing.end());
  return stream;
}

TFinishedStream TStreamPacker::Finish(const TStreamTail& tail) const {
  if (!FEnded || tail.CodeLeftShare || !FEncoder.Fits(tail)) return {FEncoder.Finish(), false};
  return {FEncoder.Finish(tail), true};
}

bool TStreamPacker::CanRepeat(uint8_t code, uint32_t length) {
  return Refusal(RepeatEvent(code, length)) == TRefusal::None;
}

bool TStreamPacker::CanEnd() {
  return !FRefused && Refusal(EndEvent()) == TRefusal::None;
}

double TStreamPacker::LiteralCost(uint8_t byte) {
  return Cost(LiteralEvent(byte));
}

double TStreamPacker::RepeatCost(uint8_t code, uint32_t length) {
  return Cost(RepeatEvent(code, length));
}

double TStreamPacker::EscapesCost() {
  TEvent event;
  AddEscapesToMatch(event);
  return Cost(event);
}

}  // namespace lumera
