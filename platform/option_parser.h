// A program's command line read as the common compressors read theirs: options and
// operands in any order, "--" ends the options, short options cluster ("-cf"), a long
// option takes its value after "=" or as the next argument and may be shortened to a
// prefix that names it alone.
#pragma once

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/exceptions.h"

namespace lumera {

struct TOptionEntry {
  const char* Long;  // without the dashes; nullptr for a short option alone
  char Short;        // 0 for a long option alone
  bool TakesValue;
  // What the parse reports for the option: its character when it has a short form, so
  // that both forms read alike.
  int Code;
};

struct TParsedCommandLine {
  std::vector<std::pair<int, std::string>> Options;  // code and value, in the given order
  std::vector<std::string> Operands;
};

// The command line is not made of the options given: Message() says, in the user's words,
// which option is unknown, needs a value or takes none.
class EBadOption : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EBadOption"; }
};

// Reads argv[1..argc) against options. Raises EBadOption at the first mistake.
TParsedCommandLine ParseOptions(int argc, char** argv, std::span<const TOptionEntry> options);

}  // namespace lumera
