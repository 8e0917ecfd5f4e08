// getopt_long comes with glibc and with the mingw-w64 runtime alike, so this file serves
// both systems.
#include "platform/option_parser.h"

#include <getopt.h>

#include <climits>
#include <string_view>

namespace lumera {

namespace {

// "--name=value" where --name takes no value: getopt_long then reports the option's code
// in optopt, which must not be taken for a short option the user gave.
bool IsValueForFlag(std::string_view written, std::span<const TOptionEntry> options) {
  const size_t equals = written.find('=');
  if (!written.starts_with("--") || equals == std::string_view::npos) return false;
  const std::string_view name = written.substr(2, equals - 2);
  for (const TOptionEntry& known : options) {
    if (known.Long != nullptr && name == known.Long) return !known.TakesValue;
  }
  return false;
}

// What getopt_long refused, code '?' or ':', in the user's words.
std::string RefusalText(int code, char** argv, std::span<const TOptionEntry> options) {
  const std::string_view written = argv[optind - 1];
  const std::string name(written.substr(0, written.find('=')));
  if (IsValueForFlag(written, options)) return "option '" + name + "' takes no argument";
  // A short option leaves its character in optopt; a long one leaves 0, or a code of its
  // own past the characters.
  const bool shortOption = optopt > 0 && optopt <= UCHAR_MAX;
  const std::string given = shortOption ? std::string("-") + static_cast<char>(optopt) : name;
  if (code == ':') return "option '" + given + "' needs an argument";
  return "unknown option '" + given + "'";
}

}  // namespace

TParsedCommandLine ParseOptions(int argc, char** argv, std::span<const TOptionEntry> options) {
  // The leading ':' makes a missing value report ':' apart from an unknown option '?'.
  std::string shortOptions = ":";
  std::vector<option> longOptions;
  for (const TOptionEntry& entry : options) {
    if (entry.Short != 0) {
      shortOptions.push_back(entry.Short);
      if (entry.TakesValue) shortOptions.push_back(':');
    }
    if (entry.Long != nullptr) {
      longOptions.push_back(
          {entry.Long, entry.TakesValue ? required_argument : no_argument, nullptr, entry.Code});
    }
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});
  TParsedCommandLine parsed;
  opterr = 0;  // the refusal names the option in the user's words
  optind = 0;  // a full reset, so that a second parse in one process starts afresh
  for (;;) {
    optopt = 0;
    const int code = ::getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), nullptr);
    if (code == -1) break;
    if (code == '?' || code == ':') throw EBadOption(RefusalText(code, argv, options));
    parsed.Options.emplace_back(code, optarg != nullptr ? optarg : "");
  }
  parsed.Operands.assign(argv + optind, argv + argc);
  return parsed;
}

}  // namespace lumera
