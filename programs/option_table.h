// A program's options as one table: each row holds an option's names, its line in the
// help and what it sets. The parse and the help are both read from the table, so that an
// option is added, renamed or explained in one place.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lumera {

// An option as the command line gave it: the name that messages use for it (the short
// form given, or else the row's first name) and its value, empty for a flag.
struct TGiven {
  std::string_view Name;
  const std::string& Value;
};

struct TOptionRow {
  // As the user writes them: "-d", "--decompress", "--uncompress". The help shows them in
  // this order; every long name may be cut to a prefix that names it alone.
  std::vector<std::string> Names;
  // The name of the option's value in the help, such as "N"; empty for a flag.
  std::string Value;
  // What the option does, in a few words; wrapped to the help's width.
  std::string Help;
  std::function<void(const TGiven&)> Set;
  // What the help shows instead of the names, for a row of many ("-1 ... -9").
  std::string Shown = {};
};

// A setter that turns flag on.
std::function<void(const TGiven&)> Sets(bool& flag);

// A setter for a byte count such as "64M", at most ceiling (see ParseByteCount).
std::function<void(const TGiven&)> SetsByteCount(uint64_t& count, uint64_t ceiling);

// The rows that every program has: -h and -V.
TOptionRow HelpRow(bool& help);
TOptionRow VersionRow(bool& version);

// Reads argv against rows, calling the Set of each option given, in the given order.
// Returns the operands. Raises EUsage naming an unknown option, a missing or extra value.
std::vector<std::string> ParseWithTable(int argc, char** argv, std::span<const TOptionRow> rows);

// One line of the help: label, then help from the help column on, wrapped.
std::string HelpLine(std::string_view label, std::string_view help);

// A line of HelpLine for each row, in the table's order.
std::string OptionsHelp(std::span<const TOptionRow> rows);

}  // namespace lumera
