#include "platform/output_file.h"

#include "platform/exceptions.h"
#include "platform/output_sink.h"

namespace lumera {

void TOutputSink::Fail(const std::string& what, int error) const {
  throw Exception(Name + ": " + what + " (" + SystemErrorText(error) + ")");
}

bool TOutputFile::IsTerminal() const {
  return IsTerminalHandle(Sink().Handle.Get());
}

void TOutputFile::Write(std::span<const uint8_t> bytes) {
  if (const int error = WriteAll(Sink().Handle.Get(), bytes.data(), bytes.size()); error != 0) {
    RaiseWriteFailure(Sink().Name, error);
  }
}

}  // namespace lumera
