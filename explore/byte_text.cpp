#include "explore/byte_text.h"

#include <cstdio>

namespace lumera {

namespace {

bool IsPrintable(uint8_t byte) {
  return byte >= 0x20 && byte < 0x7F;
}

// The C escape of a control character that has a short one, or nullptr.
const char* ShortEscape(uint8_t byte) {
  switch (byte) {
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
  }
  return nullptr;
}

}  // namespace

bool IsTextByte(uint8_t byte) {
  return IsPrintable(byte) || byte == '\t' || byte == '\n' || byte == '\r';
}

std::string ByteLabel(uint8_t byte) {
  char text[16];
  if (IsPrintable(byte)) {
    std::snprintf(text, sizeof text, "%02X '%c'", byte, byte);
  } else if (const char* escape = ShortEscape(byte)) {
    std::snprintf(text, sizeof text, "%02X '%s'", byte, escape);
  } else {
    std::snprintf(text, sizeof text, "%02X", byte);
  }
  return text;
}

std::string QuotedPreview(std::span<const uint8_t> bytes, size_t maxBytes) {
  std::string text = "\"";
  for (size_t i = 0; i < bytes.size() && i < maxBytes; ++i) {
    const uint8_t byte = bytes[i];
    if (byte == '"' || byte == '\\') {
      text += '\\';
      text += static_cast<char>(byte);
    } else if (IsPrintable(byte)) {
      text += static_cast<char>(byte);
    } else if (const char* escape = ShortEscape(byte)) {
      text += escape;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      text += hex;
    }
  }
  text += '"';
  if (bytes.size() > maxBytes) text += "...";
  return text;
}

}  // namespace lumera
