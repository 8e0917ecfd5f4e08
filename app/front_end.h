// The console front end: banner, argument, output path, one decompression, "ok." and the
// final pause. Failures pass out of RunFrontEnd to the caller, which reports them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/console.h"

namespace lumera {

// The traced tool stops once this many bytes have been output.
inline constexpr uint64_t kTracedStop = 20;

// Decodes source into dest with the full trace and the reference check, stopping after
// 20 output bytes. The output exists, empty, before anything is decoded; the streams and
// the decoder are released on every path, the output first.
void DecompressFile(const std::string& source, const std::string& dest, TConsole& console);

// args are the command-line arguments after the program name. Returns the exit status.
int RunFrontEnd(const std::vector<std::string>& args, TConsole& console);

}  // namespace lumera
