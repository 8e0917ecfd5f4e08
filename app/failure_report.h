// What the user sees when a failure ends the run: standard output is flushed first, then
// three lines on standard error naming the failure's class, the program and the place
// that raised it, then the message.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/console.h"

namespace lumera {

struct TFailure {
  std::string ClassName;
  std::string Message;
  uint32_t Location = 0;
};

// The report's text for a program file name (without directory).
std::string FormatFailureReport(const TFailure& failure, std::string_view module);

// Flushes the console, ignoring a failure to do so, and writes the report to standard
// error. When the process is alone on its console, waits for Enter afterwards. Never
// raises.
void ReportFailure(TConsole& console, const TFailure& failure, std::string_view module) noexcept;

}  // namespace lumera
