#include "programs/option_table.h"

#include <map>

#include "programs/command_line.h"

namespace lumera {

namespace {

// The codes of long names without a short form start past the characters.
constexpr int kFirstLongCode = 256;
constexpr size_t kHelpColumn = 22;
constexpr size_t kLineWidth = 79;

bool IsLong(const std::string& name) {
  return name.starts_with("--");
}

int ShortCode(const std::string& name) {
  return static_cast<unsigned char>(name[1]);
}

// What the parse reports for the long names of rows[index]: the code of its short form,
// so that both forms read alike, or a code of the row's own.
int LongCode(const TOptionRow& row, size_t index) {
  for (const std::string& name : row.Names) {
    if (!IsLong(name)) return ShortCode(name);
  }
  return kFirstLongCode + static_cast<int>(index);
}

// "-d, --decompress", "    --max-output N": long names line up whether or not a short
// form comes first.
std::string LabelOf(const TOptionRow& row) {
  if (!row.Shown.empty()) return row.Shown;
  std::string label = IsLong(row.Names.front()) ? "    " : "";
  for (const std::string& name : row.Names) {
    label += (&name == &row.Names.front() ? "" : ", ") + name;
  }
  return row.Value.empty() ? label : label + " " + row.Value;
}

}  // namespace

std::function<void(const TGiven&)> Sets(bool& flag) {
  return [&flag](const TGiven&) { flag = true; };
}

std::function<void(const TGiven&)> SetsByteCount(uint64_t& count, uint64_t ceiling) {
  return [&count, ceiling](const TGiven& given) {
    count = ParseByteCount(given.Name, given.Value, ceiling);
  };
}

TOptionRow HelpRow(bool& help) {
  return {{"-h", "--help"}, "", "show this text", Sets(help)};
}

TOptionRow VersionRow(bool& version) {
  return {{"-V", "--version"}, "", "show the version", Sets(version)};
}

std::vector<std::string> ParseWithTable(int argc, char** argv, std::span<const TOptionRow> rows) {
  std::vector<TOptionEntry> entries;
  std::map<int, size_t> rowOfCode;
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool takesValue = !rows[i].Value.empty();
    for (const std::string& name : rows[i].Names) {
      const int code = IsLong(name) ? LongCode(rows[i], i) : ShortCode(name);
      entries.push_back(IsLong(name) ? TOptionEntry{name.c_str() + 2, 0, takesValue, code}
                                     : TOptionEntry{nullptr, name[1], takesValue, code});
      rowOfCode[code] = i;
    }
  }
  const TParsedCommandLine parsed = ReadCommandLine(argc, argv, entries);
  for (const auto& [code, value] : parsed.Options) {
    const TOptionRow& row = rows[rowOfCode.at(code)];
    const std::string name =
        code < kFirstLongCode ? std::string{'-', static_cast<char>(code)} : row.Names.front();
    row.Set({name, value});
  }
  return parsed.Operands;
}

std::string HelpLine(std::string_view label, std::string_view help) {
  std::string text;
  std::string line = "  " + std::string(label);
  if (line.size() + 2 > kHelpColumn) {
    text += line + "\n";
    line.clear();
  }
  line.resize(kHelpColumn, ' ');
  bool lineStart = true;
  for (size_t at = 0; at < help.size();) {
    const size_t end = std::min(help.find(' ', at), help.size());
    const std::string_view word = help.substr(at, end - at);
    if (!lineStart && line.size() + 1 + word.size() > kLineWidth) {
      text += line + "\n";
      line.assign(kHelpColumn, ' ');
      lineStart = true;
    }
    line += (lineStart ? "" : " ") + std::string(word);
    lineStart = false;
    at = end + 1;
  }
  return text + line + "\n";
}

std::string OptionsHelp(std::span<const TOptionRow> rows) {
  std::string text;
  for (const TOptionRow& row : rows) text += HelpLine(LabelOf(row), row.Help);
  return text;
}

}  // namespace lumera
