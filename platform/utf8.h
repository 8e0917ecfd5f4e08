// UTF-8 as this system reads and writes it: strictly well-formed, so that overlong forms,
// surrogates and code points past U+10FFFF are refused, and each byte of a malformed
// sequence stands for one U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lumera {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The length of the well-formed UTF-8 sequence at the start of text, or 0 when there is
// none (also for an empty text).
size_t Utf8Length(std::string_view text);

// Decodes the sequence at text[pos] and moves pos past it; a malformed sequence yields
// U+FFFD and moves past its first byte only.
char32_t NextCodePoint(std::string_view text, size_t& pos);

// Appends point, a code point up to U+10FFFF that is not a surrogate, as UTF-8.
void AppendUtf8(std::string& out, char32_t point);

}  // namespace lumera
