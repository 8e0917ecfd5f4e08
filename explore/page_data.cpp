#include "explore/page_data.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "platform/utf8.h"

namespace lumera {

namespace {

constexpr char kBase64Digits[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string_view AsText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void AppendNumber(std::vector<uint8_t>& out, uint64_t value) {
  for (; value >= 0x80; value >>= 7) out.push_back(static_cast<uint8_t>(value | 0x80));
  out.push_back(static_cast<uint8_t>(value));
}

void AppendSigned(std::vector<uint8_t>& out, int64_t value) {
  AppendNumber(out, value < 0 ? ~(static_cast<uint64_t>(value) << 1)
                              : static_cast<uint64_t>(value) << 1);
}

int64_t Hundredths(double info) {
  return std::isfinite(info) ? std::llround(info * 100) : -100;
}

int EventKindCode(const TEvent& e) {
  if (e.Kind == TEventKind::Repeat) return 2;
  return e.Escaped ? 1 : 0;
}

void WriteTemplateByte(std::ostream& out, uint8_t byte, bool afterLessThan) {
  const bool special = byte == '\\' || byte == '`' || byte == '$' ||
                       (afterLessThan && (byte == '/' || byte == '!'));
  if (special) {
    out << '\\' << static_cast<char>(byte);
  } else if ((byte < 0x20 && byte != '\t' && byte != '\n') || byte == 0x7F) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02X", byte);
    out << text;
  } else {
    out.put(static_cast<char>(byte));
  }
}

}  // namespace

void WriteBase64(std::ostream& out, std::span<const uint8_t> bytes) {
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t n = std::min<size_t>(3, bytes.size() - at);
    uint32_t group = 0;
    for (size_t i = 0; i < 3; ++i) group = group << 8 | (i < n ? bytes[at + i] : 0);
    for (size_t digit = 0; digit < 4; ++digit) {
      out.put(digit <= n ? kBase64Digits[group >> (18 - 6 * digit) & 63] : '=');
    }
  }
}

bool IsWellFormedUtf8(std::span<const uint8_t> bytes) {
  const std::string_view text = AsText(bytes);
  for (size_t at = 0; at < text.size();) {
    const size_t length = Utf8Length(text.substr(at));
    if (length == 0) return false;
    at += length;
  }
  return true;
}

void WriteTemplateLiteral(std::ostream& out, std::span<const uint8_t> bytes) {
  out << '`';
  for (size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] >= 0x80) {
      out.put(static_cast<char>(bytes[at]));
    } else {
      WriteTemplateByte(out, bytes[at], at > 0 && bytes[at - 1] == '<');
    }
  }
  out << '`';
}

std::vector<uint8_t> PackedShades(std::span<const uint8_t> shades) {
  std::vector<uint8_t> packed((shades.size() + 1) / 2);
  for (size_t at = 0; at < shades.size(); ++at) {
    packed[at / 2] |= static_cast<uint8_t>((shades[at] & 0x0F) << (at % 2 * 4));
  }
  return packed;
}

std::vector<uint8_t> EventRecords(const std::vector<TEvent>& events) {
  std::vector<uint8_t> records;
  for (const TEvent& e : events) {
    if (e.Kind == TEventKind::End) continue;
    AppendNumber(records, uint64_t{e.Depth} * 3 + EventKindCode(e));
    AppendNumber(records, e.Bits);
    AppendSigned(records, Hundredths(e.Info) - int64_t{100} * e.Bits);
    if (e.Kind == TEventKind::Repeat) {
      AppendNumber(records, e.Code);
      AppendNumber(records, e.Len);
      AppendSigned(records, static_cast<int64_t>(e.Out) - e.From);
    }
  }
  return records;
}

}  // namespace lumera
