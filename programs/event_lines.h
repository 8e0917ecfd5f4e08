// The events that lumera-pack --events packs, read from JSON Lines in the shape that
// lumera-explain --json writes. Only the choices count: a literal's "byte" and "escaped",
// a repeat's "code" and "len", the end marker, and the tail that the summary record
// carries. Everything the decoder derives (out, depth, bits, info, from, the stream and
// failure records, the other summary fields) is ignored, so an edited list needs no
// figures recomputed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "encoder/stream_packer.h"
#include "engine/stream_tail.h"

namespace lumera {

struct TEventLines {
  std::vector<TEventChoice> Events;
  std::vector<uint64_t> Lines;      // the line each event was read from, counted from 1
  std::optional<TStreamTail> Tail;  // from the summary record, when it carries one
};

// Raises Exception for a line that is not JSON ("line 3, column 7: ..."), a record of
// an unknown type ("line 3: unknown type 'x'") and a choice or tail field that is
// missing or of the wrong kind ("line 3: a literal's \"byte\" must be ...").
TEventLines ReadEventLines(std::string_view text);

}  // namespace lumera
