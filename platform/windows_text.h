// Shared by the Windows implementations in this folder, and by nothing else: the system
// takes text as UTF-16, the rest of the program holds it as UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace lumera {

// A sequence that is not valid UTF-8 (or UTF-16) turns into U+FFFD.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

}  // namespace lumera
