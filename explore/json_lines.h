// JSON Lines for jq and scripts: a stream line, one line per event, the failure, the
// --against verdict and the summary. The field names are a promise to scripts: later
// versions only add fields.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "explore/comparison.h"
#include "explore/exploration.h"

namespace lumera {

// against may be null.
void WriteJsonLines(std::ostream& out, const TExploration& run, const TComparison* against);

// text as a JSON string, quotes included. Control bytes, quotes and backslashes are
// escaped; bytes that are not well-formed UTF-8 become U+FFFD, so that every line parses.
std::string JsonString(std::string_view text);

}  // namespace lumera
