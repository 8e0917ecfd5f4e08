// What the decoder tells an observer while it works, as values: the figures of every
// arithmetic step, each output byte, each repeat, the end marker and the warnings. The
// trace formats its lines from them; the explorer records events. A decoder with no
// observer attached runs silent.
//
// One decoding step reports three times, in the order its trace lines need:
// StepStarted before the table is searched (so its line is out before a failed search),
// EntryFound before any state changes (the reference check reads the table then), and
// StepFinished after the bits are pulled and the entry is hit.
#pragma once

#include <cstdint>

namespace lumera {

class TDic;

// Which of the decoder's tables a step decodes from.
enum class TTableKind : uint8_t {
  Context,  // the table the literal step's walk reached, at Depth (0 is the root)
  Root,     // the root, after the context table yielded the escape
  Match,    // the match table: an offset code, or the end marker
  Length,   // the length table of offset codes 1 to 255
  Length0,  // the length table of offset code 0
};

struct TTableRole {
  TTableKind Kind = TTableKind::Context;
  uint8_t Depth = 0;  // for a context table: 0 to 4
};

struct TStepStart {
  TTableRole Role;
  const TDic* Table = nullptr;
  uint32_t Code = 0;
  uint32_t Range = 0;
  uint32_t Total = 0;
  uint32_t NeededWeight = 0;  // the code value on the table's weight scale
};

struct TStepEntry {
  uint32_t Entry = 0;  // the decoded entry's word: weight low, symbol high
  uint16_t Index = 0;
  uint32_t LowWeight = 0;  // the weights in front of the entry
  uint32_t First = 0;      // the code value counted from the bottom of the entry's share
  uint32_t Code = 0;
  uint32_t Range = 0;
  uint32_t Total = 0;
  const TDic* Table = nullptr;  // as it stands, before the hit
};

class TDiagnostics {
 public:
  virtual ~TDiagnostics() = default;

  virtual void StepStarted(const TStepStart& step) = 0;
  virtual void EntryFound(const TStepEntry& found) = 0;
  // bitsNeeded: the bits pulled to renormalize. overloaded: the table's total stood at
  // 0x2000 or more after the hit.
  virtual void StepFinished(uint8_t bitsNeeded, bool overloaded) = 0;
  // A byte was appended to the output at offset, by a literal or by a copy.
  virtual void ByteOutput(uint8_t byte, uint64_t offset) = 0;
  // A repeat was decoded and resolved: it copies length bytes from output offset from
  // (0 for code 0). Its bytes follow as ByteOutput calls.
  virtual void RepeatStarted(uint16_t code, uint32_t from, uint32_t length) = 0;
  virtual void EndMarker() = 0;
  // The end marker was decoded before the source was read to its end.
  virtual void SourceLeftOver() = 0;
};

}  // namespace lumera
