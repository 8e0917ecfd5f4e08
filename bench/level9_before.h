// Level 9's sizes on the bench set as they were before its windows grew from 64 positions
// (48 coded, a repeat of 128 bytes ending a window) to 256 (192 coded, 255): the column
// "-9 before" of compression_set. A size of 0 means the file was refused.
#pragma once

#include <cstddef>

namespace lumera::bench {

struct TSizeBefore {
  const char* Name;
  size_t Size;
};

inline constexpr TSizeBefore kLevel9Before[] = {
    {"iso-codes: iso_15924.xml", 4076},       {"iso-codes: iso_3166-1.xml", 7336},
    {"iso-codes: iso_3166-2.xml", 52200},     {"iso-codes: iso_4217.xml", 5704},
    {"iso-codes: iso_639-2.xml", 7172},       {"iso-codes: iso_639-3.xml", 0},
    {"iso-codes: iso_639-5.xml", 2100},       {"xkb-data: rules/base.extras.xml", 4888},
    {"xkb-data: rules/base.xml", 18096},
};

}  // namespace lumera::bench
