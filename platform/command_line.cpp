#include "platform/process.h"

namespace lumera {

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::string arg;
  bool inArg = false;  // quotes open an argument even when nothing stands between them
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArg) args.push_back(std::move(arg));
      arg.clear();
      inArg = false;
    } else {
      arg.push_back(c);
      inArg = true;
    }
  }
  if (inArg) args.push_back(std::move(arg));
  return args;
}

TArgv::TArgv(int argc, char** argv) : FArgs(ProgramArguments(argc, argv)) {
  for (std::string& arg : FArgs) FValues.push_back(arg.data());
  FValues.push_back(nullptr);
}

}  // namespace lumera
