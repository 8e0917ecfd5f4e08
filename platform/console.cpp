#include "platform/console.h"

#include "platform/standard_streams.h"

namespace lumera {

void TConsole::WriteLine(std::string_view text) {
  FPending.append(text);
  FPending.append("\r\n");
  Flush();
}

void TConsole::Flush() {
  if (FPending.empty()) return;
  // Drop the text before delivering it: after a failed write the failure report must
  // not try to write the same text again.
  const std::string text = std::move(FPending);
  FPending.clear();
  Deliver(text);
}

void TConsole::Pause() {
  Flush();
  SkipLine();
}

void TStdConsole::Deliver(std::string_view text) {
  WriteStandardOutput(text);
}

void TMemoryConsole::SkipLine() {
  ++FPauses;
  const size_t end = FInput.find('\n', FRead);
  FRead = end == std::string::npos ? FInput.size() : end + 1;
}

}  // namespace lumera
