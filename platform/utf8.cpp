#include "platform/utf8.h"

#include <cstdint>

namespace lumera {

size_t Utf8Length(std::string_view text) {
  if (text.empty()) return 0;
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(0);
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

char32_t NextCodePoint(std::string_view text, size_t& pos) {
  const size_t length = Utf8Length(text.substr(pos));
  if (length == 0) {
    ++pos;
    return kReplacementCharacter;
  }
  // The lead byte keeps 7, 5, 4 or 3 bits; each continuation byte adds 6.
  constexpr uint8_t kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t point = static_cast<uint8_t>(text[pos]) & kLeadBits[length];
  for (size_t i = 1; i < length; ++i)
    point = point << 6 | (static_cast<uint8_t>(text[pos + i]) & 0x3F);
  pos += length;
  return point;
}

void AppendUtf8(std::string& out, char32_t point) {
  constexpr uint8_t kLeads[] = {0x00, 0xC0, 0xE0, 0xF0};
  const int extra = point < 0x80 ? 0 : point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
  out.push_back(static_cast<char>(kLeads[extra] | point >> (6 * extra)));
  for (int i = extra - 1; i >= 0; --i) {
    out.push_back(static_cast<char>(0x80 | (point >> (6 * i) & 0x3F)));
  }
}

}  // namespace lumera
