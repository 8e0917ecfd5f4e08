#include "platform/console.h"

#include "platform/exceptions.h"
#include "platform/system_handle.h"

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

// The traced tool reports any failed write, a closed pipe too, as EInOutError.
void TStdConsole::Deliver(std::string_view text) {
  const int error = WriteAll(StandardHandle(TStandardStream::Output), text.data(), text.size());
  if (error != 0) throw EInOutError(SystemErrorText(error));
}

void TMemoryConsole::SkipLine() {
  ++FPauses;
  const size_t end = FInput.find('\n', FRead);
  FRead = end == std::string::npos ? FInput.size() : end + 1;
}

}  // namespace lumera
