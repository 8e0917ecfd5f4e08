// How the explorer's text outputs show decoded bytes to a person: a byte with its
// character where it has one, and a short quoted preview of a run of bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lumera {

// True for the bytes that read as plain text: printable ASCII, tab, line feed and
// carriage return.
bool IsTextByte(uint8_t byte);

// "3C '<'", "0A '\n'", or "C3" for a byte with no character of its own.
std::string ByteLabel(uint8_t byte);

// The first maxBytes of bytes between double quotes, escaped as in C ("\n", "\x00",
// "\""), with "..." after the closing quote when bytes go on.
std::string QuotedPreview(std::span<const uint8_t> bytes, size_t maxBytes);

}  // namespace lumera
