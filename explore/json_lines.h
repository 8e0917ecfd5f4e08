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

// The types of the records besides the events'.
inline constexpr const char* kStreamRecord = "stream";
inline constexpr const char* kFailureRecord = "failure";
inline constexpr const char* kAgainstRecord = "against";
inline constexpr const char* kSummaryRecord = "summary";

// The summary's fields that carry the tail of a stream that reached its end marker,
// besides "bits_taken": the code value left (eight hex digits), the count of unused bits
// of the last word and their value (eight hex digits), and the bytes after that word (two
// hex digits each). With the events, they give the stream back byte for byte.
inline constexpr const char* kTailCodeField = "tail_code";
inline constexpr const char* kTailUnusedCountField = "tail_unused_bit_count";
inline constexpr const char* kTailUnusedBitsField = "tail_unused_bits";
inline constexpr const char* kTailBytesField = "tail_bytes";
inline constexpr const char* kCodeLeftShareField = "code_left_share";

// against may be null.
void WriteJsonLines(std::ostream& out, const TExploration& run, const TComparison* against);

// text as a JSON string, quotes included. Control bytes, quotes and backslashes are
// escaped; bytes that are not well-formed UTF-8 become U+FFFD, so that every line parses.
std::string JsonString(std::string_view text);

}  // namespace lumera
