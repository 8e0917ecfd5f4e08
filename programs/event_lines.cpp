#include "programs/event_lines.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "engine/frequency_table.h"
#include "explore/json_lines.h"
#include "platform/exceptions.h"

namespace lumera {

namespace {

using nlohmann::json;

// One record, with its line for what a refusal says.
class TRecord {
 public:
  TRecord(const json& object, uint64_t line) : FObject(object), FLine(line) {}

  [[noreturn]] void Refuse(const std::string& what) const {
    throw Exception("line " + std::to_string(FLine) + ": " + what);
  }

  // The field as an unsigned number of at most max; what names the record for a refusal.
  uint64_t Number(const char* what, const char* field, uint64_t max) const {
    const json* value = Find(field);
    if (value == nullptr || !value->is_number_unsigned() || value->get<uint64_t>() > max) {
      Refuse(std::string(what) + "'s \"" + field + "\" must be a number from 0 to " +
             std::to_string(max));
    }
    return value->get<uint64_t>();
  }

  bool Bool(const char* what, const char* field) const {
    const json* value = Find(field);
    if (value == nullptr || !value->is_boolean()) {
      Refuse(std::string(what) + "'s \"" + field + "\" must be true or false");
    }
    return value->get<bool>();
  }

  // A string of hex digits, two per byte.
  std::vector<uint8_t> HexBytes(const char* field, size_t maxBytes) const {
    const json* value = Find(field);
    std::vector<uint8_t> bytes;
    if (value != nullptr && value->is_string()) {
      const std::string& text = value->get_ref<const std::string&>();
      for (size_t i = 0; i + 1 < text.size() && bytes.size() < maxBytes; i += 2) {
        const int high = Digit(text[i]), low = Digit(text[i + 1]);
        if (high < 0 || low < 0) break;
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
      }
      if (text.size() == 2 * bytes.size()) return bytes;
    }
    Refuse(std::string("the summary's \"") + field +
           "\" must be a string of hex digits, two per byte" +
           (maxBytes < SIZE_MAX ? ", at most " + std::to_string(2 * maxBytes) : std::string()));
  }

  // A 32-bit number written as eight hex digits.
  uint32_t HexNumber(const char* field) const {
    uint32_t value = 0;
    for (uint8_t byte : HexBytes(field, 4)) value = value << 8 | byte;
    return value;
  }

  bool Has(const char* field) const { return Find(field) != nullptr; }

 private:
  static int Digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  const json* Find(const char* field) const {
    const auto found = FObject.find(field);
    return found == FObject.end() ? nullptr : &*found;
  }

  const json& FObject;
  uint64_t FLine;
};

TEventChoice Literal(const TRecord& record) {
  const auto copy = static_cast<uint16_t>(
      record.Has("copy") ? record.Number("a literal", "copy", TDic::kCapacity - 1) : 0);
  return TEventChoice::Literal(static_cast<uint8_t>(record.Number("a literal", "byte", 255)),
                               record.Bool("a literal", "escaped"), copy);
}

TEventChoice Repeat(const TRecord& record) {
  const auto code = static_cast<uint8_t>(record.Number("a repeat", "code", 255));
  return TEventChoice::Repeat(code, static_cast<uint32_t>(record.Number(
                                        "a repeat", "len", std::numeric_limits<uint32_t>::max())));
}

// The summary of a stream that reached its end marker carries its tail.
std::optional<TStreamTail> Tail(const TRecord& summary) {
  if (!summary.Has(kTailCodeField)) return std::nullopt;
  TStreamTail tail;
  tail.Code = summary.HexNumber(kTailCodeField);
  tail.BitsTaken =
      summary.Number("the summary", "bits_taken", std::numeric_limits<uint64_t>::max());
  tail.UnusedBitCount =
      static_cast<uint8_t>(summary.Number("the summary", kTailUnusedCountField, 31));
  tail.UnusedBits = summary.HexNumber(kTailUnusedBitsField);
  tail.Trailing = summary.HexBytes(kTailBytesField, SIZE_MAX);
  tail.CodeLeftShare =
      summary.Has(kCodeLeftShareField) && summary.Bool("the summary", kCodeLeftShareField);
  return tail;
}

// "line 3, column 7: ...", with the parser's own words after its position.
[[noreturn]] void RefuseJson(const json::parse_error& e, uint64_t line) {
  std::string detail = e.what();
  const size_t words = detail.find(": ");
  if (words != std::string::npos) detail.erase(0, words + 2);
  throw Exception("line " + std::to_string(line) + ", column " + std::to_string(e.byte) +
                  ": not valid JSON (" + detail + ")");
}

void ReadRecord(std::string_view text, uint64_t line, TEventLines& lines) {
  json object;
  try {
    object = json::parse(text);
  } catch (const json::parse_error& e) {
    RefuseJson(e, line);
  }
  const TRecord record(object, line);
  if (!object.is_object()) record.Refuse("a record must be a JSON object");
  const auto type = object.find("type");
  if (type == object.end() || !type->is_string()) record.Refuse("a record needs a \"type\" string");
  const std::string& name = type->get_ref<const std::string&>();
  std::optional<TEventChoice> event;
  if (name == EventKindName(TEventKind::Literal)) {
    event = Literal(record);
  } else if (name == EventKindName(TEventKind::Repeat)) {
    event = Repeat(record);
  } else if (name == EventKindName(TEventKind::End)) {
    event = TEventChoice::End();
  } else if (name == kSummaryRecord) {
    lines.Tail = Tail(record);
  } else if (name != kStreamRecord && name != kFailureRecord && name != kAgainstRecord) {
    record.Refuse("unknown type '" + name + "'");
  }
  if (event) {
    lines.Events.push_back(*event);
    lines.Lines.push_back(line);
  }
}

}  // namespace

TEventLines ReadEventLines(std::string_view text) {
  TEventLines lines;
  uint64_t line = 0;
  while (!text.empty()) {
    ++line;
    const size_t end = text.find('\n');
    const std::string_view record = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (record.find_first_not_of(" \t\r") != std::string_view::npos) {
      ReadRecord(record, line, lines);
    }
  }
  return lines;
}

}  // namespace lumera
