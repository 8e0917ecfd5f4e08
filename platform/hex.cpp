#include "platform/hex.h"

namespace lumera {

std::string Hex(uint32_t value, int minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string reversed;
  do {
    reversed.push_back(kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  while (static_cast<int>(reversed.size()) < minDigits) reversed.push_back('0');
  return {reversed.rbegin(), reversed.rend()};
}

std::string FormatHex(std::string_view pattern, std::initializer_list<uint32_t> values) {
  std::string text;
  auto value = values.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    const std::string_view rest = pattern.substr(i);
    const bool conversion = rest.starts_with("%.2x") || rest.starts_with("%.4x");
    if (conversion && value != values.end()) {
      text += Hex(*value++, rest[2] - '0');
      i += 3;
    } else {
      text.push_back(pattern[i]);
    }
  }
  return text;
}

}  // namespace lumera
