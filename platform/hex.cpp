#include "platform/hex.h"

namespace lumera {

std::string Hex(uint32_t value, int minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  int digits = 1;
  while (digits < 8 && (value >> (4 * digits)) != 0) ++digits;
  if (digits < minDigits) digits = minDigits;
  std::string text(static_cast<size_t>(digits), '0');
  for (auto place = text.rbegin(); value != 0; ++place, value >>= 4) *place = kDigits[value & 0xF];
  return text;
}

std::string FormatHex(std::string_view pattern, std::initializer_list<uint32_t> values) {
  std::string text;
  auto value = values.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const std::string_view rest = pattern.substr(i);
    const bool conversion = rest.starts_with("%.2x") || rest.starts_with("%.4x");
    if (conversion && value != values.end()) {
      text.append(Hex(*value++, rest[2] - '0'));
      i += 3;
    } else {
      text.push_back(pattern[i]);
    }
  }
  return text;
}

}  // namespace lumera
