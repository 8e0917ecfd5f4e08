#include <unistd.h>

#include <csignal>

#include "platform/exceptions.h"
#include "platform/system_handle.h"

namespace lumera {

bool IsTerminal(TStandardStream stream) {
  return ::isatty(static_cast<int>(StandardHandle(stream))) == 1;
}

void WriteStandardOutput(std::string_view text) {
  const int error = WriteAll(StandardHandle(TStandardStream::Output), text.data(), text.size());
  if (error != 0) RaiseWriteFailure(kStandardOutputName, error);
}

void WriteStandardError(std::string_view text) noexcept {
  WriteAll(StandardHandle(TStandardStream::Error), text.data(), text.size());
}

void IgnoreBrokenPipeSignal() {
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace lumera
