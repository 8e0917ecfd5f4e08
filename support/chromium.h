// How the tests and the benchmarks start Chromium: headless, with a fresh profile, and
// fetching nothing on its own account. As root it needs --no-sandbox.
#pragma once

#include <unistd.h>

#include <string>
#include <vector>

#include "child_process.h"

namespace lumera::testing {

// The Chromium that CMake found; empty when there is none or it was turned off.
inline constexpr const char* kChromium = LUMERA_CHROMIUM;

// The arguments after the program's name: the switches, then action's, then page as a
// file URL.
inline std::vector<std::string> ChromiumArgs(const std::string& profileDir,
                                             const std::vector<std::string>& action,
                                             const std::string& page) {
  std::vector<std::string> args = {"--headless",
                                   "--disable-gpu",
                                   "--no-first-run",
                                   "--disable-background-networking",
                                   "--disable-component-update",
                                   "--disable-sync",
                                   "--user-data-dir=" + profileDir};
  if (::geteuid() == 0) args.push_back("--no-sandbox");
  args.insert(args.end(), action.begin(), action.end());
  args.push_back("file://" + page);
  return args;
}

// Chromium run from folder dir with action on page, its profile in dir, and stopped by
// timeout(1) should it hang.
inline TChildRun RunChromium(const TScratchDir& dir, const std::vector<std::string>& action,
                             const std::string& page) {
  std::vector<std::string> args = {"120", kChromium};
  for (std::string& arg : ChromiumArgs(dir / "profile", action, page)) {
    args.push_back(std::move(arg));
  }
  return RunChild("/usr/bin/timeout", args, dir);
}

}  // namespace lumera::testing
