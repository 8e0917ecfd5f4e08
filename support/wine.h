// Windows programs run under Wine, in a prefix of the test build's own. One persistent
// wineserver serves every run while a TWine lives, so that each program starts in about
// 50 ms; it is stopped when the TWine goes. Output goes to files, never through pipes:
// Wine's helper processes inherit pipes and would keep a reader waiting.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

namespace lumera::testing {

// Sets a variable of this process's environment, which child processes inherit.
inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  ::_putenv_s(name, value.c_str());
#else
  ::setenv(name, value.c_str(), 1);
#endif
}

class TWine {
 public:
  TWine(std::string wine, std::string server, const std::string& prefix)
      : FWine(std::move(wine)), FServer(std::move(server)) {
    std::filesystem::create_directories(prefix);
    SetEnvironment("WINEPREFIX", prefix);
    SetEnvironment("WINEDEBUG", "-all");
    RunChild(FServer, {"-p"}, FDir);
  }
  ~TWine() { RunChild(FServer, {"-k"}, FDir); }
  TWine(const TWine&) = delete;
  TWine& operator=(const TWine&) = delete;

  // Runs the program at path (a Windows executable) in dir, with args.
  TChildRun Run(const std::string& path, const TScratchDir& dir,
                const std::vector<std::string>& args = {}) const {
    std::vector<std::string> words{path};
    words.insert(words.end(), args.begin(), args.end());
    return RunChild(FWine, words, dir);
  }

 private:
  std::string FWine;
  std::string FServer;
  TScratchDir FDir;
};

}  // namespace lumera::testing
