// Read me first: the part of TOutputFile's state that both systems share, so that writing
// and failing are written once, in output_file.cpp. Each system's TOutputFile::TState
// derives from it and adds how it puts the result in place.
#pragma once

#include <string>

#include "platform/system_handle.h"

namespace lumera {

struct TOutputSink {
  std::string Name;  // as the user gave it
  TOwnedHandle Handle;

  // Raises Exception: the name, what failed and the system's text for error.
  [[noreturn]] void Fail(const std::string& what, int error) const;
};

}  // namespace lumera
