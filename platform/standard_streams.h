// The process's standard input, output and error as the programs use them: whole texts
// written to standard output or error, and whether a stream is a terminal.
#pragma once

#include <string_view>

namespace lumera {

enum class TStandardStream { Input, Output, Error };

bool IsTerminal(TStandardStream stream);

// How messages name standard output.
inline constexpr const char* kStandardOutputName = "standard output";

// Writes all of text to standard output. Raises EBrokenPipe when its reader has gone
// away, EInOutError for any other failure, each naming standard output.
void WriteStandardOutput(std::string_view text);

// Writes all of text to standard error, unbuffered, as far as it goes: when standard
// error fails too, nothing is left to tell. Never raises.
void WriteStandardError(std::string_view text) noexcept;

// A write to a closed pipe fails with an error that the program reports, rather than
// ending the process by a signal.
void IgnoreBrokenPipeSignal();

}  // namespace lumera
