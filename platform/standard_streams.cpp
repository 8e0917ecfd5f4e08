#include "platform/standard_streams.h"

#include "platform/system_handle.h"

namespace lumera {

bool IsTerminal(TStandardStream stream) {
  return IsTerminalHandle(StandardHandle(stream));
}

void WriteStandardOutput(std::string_view text) {
  const int error = WriteAll(StandardHandle(TStandardStream::Output), text.data(), text.size());
  if (error != 0) RaiseWriteFailure(kStandardOutputName, error);
}

void WriteStandardError(std::string_view text) noexcept {
  try {
    WriteAll(StandardHandle(TStandardStream::Error), text.data(), text.size());
  } catch (...) {
    // Out of memory for a console's copy of the text: nothing is left to tell.
  }
}

}  // namespace lumera
