#include "app/failure_report.h"

#include "platform/exceptions.h"
#include "platform/hex.h"
#include "platform/process.h"
#include "platform/standard_streams.h"

namespace lumera {

std::string FormatFailureReport(const TFailure& failure, std::string_view module) {
  const std::string& message = failure.Message;
  const bool needsPeriod = !message.empty() && message.back() != '.';
  return "Exception " + failure.ClassName + " in module " + std::string(module) + " at " +
         Hex(failure.Location, 8) + ".\r\n" + message + (needsPeriod ? "." : "") + "\r\n\r\n";
}

void ReportFailure(TConsole& console, const TFailure& failure, std::string_view module) noexcept {
  try {
    console.Flush();
  } catch (const Exception&) {
    // Standard output is gone; the report on standard error still matters.
  }
  try {
    WriteStandardError(FormatFailureReport(failure, module));
  } catch (...) {
    // Out of memory while formatting: nothing more can be said.
  }
  // A console window of the process's own closes when it ends: the report would vanish
  // unread, so it stays until Enter, as after "ok.".
  if (AloneOnConsole()) {
    try {
      console.Pause();
    } catch (...) {
      // Nobody can press Enter: the window closes anyway.
    }
  }
}

}  // namespace lumera
