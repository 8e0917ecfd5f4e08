#include "explore/comparison.h"

#include <algorithm>

#include "explore/byte_text.h"

namespace lumera {

namespace {

std::string WrittenBy(const TComparison& c, const std::vector<TEvent>& events) {
  if (!c.Event || *c.Event >= events.size()) return "";
  return ", written by event " + std::to_string(*c.Event) + " (" +
         EventKindName(events[*c.Event].Kind) + ")";
}

}  // namespace

TComparison Compare(const TExploration& run, const std::vector<uint8_t>& file,
                    std::string fileName) {
  TComparison c;
  c.FileName = std::move(fileName);
  c.OutputBytes = run.Output.size();
  c.FileBytes = file.size();
  const auto [outputAt, fileAt] =
      std::mismatch(run.Output.begin(), run.Output.end(), file.begin(), file.end());
  c.Offset = static_cast<uint64_t>(outputAt - run.Output.begin());
  if (outputAt != run.Output.end() && fileAt != file.end()) {
    c.Verdict = TVerdict::Differs;
    c.OutputByte = *outputAt;
    c.FileByte = *fileAt;
  } else if (outputAt != run.Output.end()) {
    c.Verdict = TVerdict::FileShorter;
  } else if (fileAt != file.end()) {
    c.Verdict = TVerdict::OutputShorter;
  }
  if (c.Verdict == TVerdict::Differs || c.Verdict == TVerdict::FileShorter) {
    const size_t event = EventAt(run.Events, c.Offset);
    if (event < run.Events.size()) c.Event = event;
  }
  return c;
}

std::string VerdictText(const TComparison& c, const std::vector<TEvent>& events) {
  const std::string& name = c.FileName;
  switch (c.Verdict) {
    case TVerdict::Matches:
      return "matches " + name + " (" + std::to_string(c.OutputBytes) + " bytes)";
    case TVerdict::Differs:
      return "differs from " + name + " at offset " + std::to_string(c.Offset) + ": output " +
             ByteLabel(c.OutputByte) + ", " + name + " " + ByteLabel(c.FileByte) +
             WrittenBy(c, events);
    case TVerdict::OutputShorter:
      return "the output ends first, after " + std::to_string(c.OutputBytes) + " bytes; " + name +
             " has " + std::to_string(c.FileBytes);
    case TVerdict::FileShorter:
      break;
  }
  return name + " ends first, after " + std::to_string(c.FileBytes) + " bytes; the output has " +
         std::to_string(c.OutputBytes) + WrittenBy(c, events);
}

}  // namespace lumera
