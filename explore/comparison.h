// The --against verdict: the decoded output compared with a known file, byte for byte,
// naming the event that wrote the first byte where they part.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "explore/exploration.h"

namespace lumera {

enum class TVerdict : uint8_t {
  Matches,
  Differs,        // a byte differs at Offset
  OutputShorter,  // the output ended at Offset while the file went on
  FileShorter,    // the file ended at Offset while the output went on
};

struct TComparison {
  std::string FileName;  // as the user named it
  TVerdict Verdict = TVerdict::Matches;
  uint64_t OutputBytes = 0;
  uint64_t FileBytes = 0;
  uint64_t Offset = 0;     // where the two part: the first differing byte, or the shorter's end
  uint8_t OutputByte = 0;  // for Differs
  uint8_t FileByte = 0;    // for Differs
  // The index of the event that wrote the output byte at Offset (Differs, FileShorter).
  std::optional<size_t> Event;
};

TComparison Compare(const TExploration& run, const std::vector<uint8_t>& file,
                    std::string fileName);

// The verdict as one line for a person: "matches FILE (N bytes)" or where they part.
std::string VerdictText(const TComparison& comparison, const std::vector<TEvent>& events);

}  // namespace lumera
