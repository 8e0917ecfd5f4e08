// Small helpers shared by the tests: a scratch folder that is removed afterwards,
// whole-file reads and writes, and the message of a failure.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace lumera::testing {

// A fresh folder under the system's temporary directory. With enter set, the working
// directory moves into it for the folder's lifetime.
class TScratchDir {
 public:
  explicit TScratchDir(bool enter = false) {
    std::string pattern = (std::filesystem::temp_directory_path() / "lumera-XXXXXX").string();
    FPath = ::mkdtemp(pattern.data());
    if (enter) {
      FPrevious = std::filesystem::current_path();
      std::filesystem::current_path(FPath);
    }
  }
  ~TScratchDir() {
    if (!FPrevious.empty()) std::filesystem::current_path(FPrevious);
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
  }
  TScratchDir(const TScratchDir&) = delete;
  TScratchDir& operator=(const TScratchDir&) = delete;

  std::string operator/(const std::string& name) const { return (FPath / name).string(); }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
  std::filesystem::path FPrevious;
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The message of the failure that action raises, or "none" when it raises nothing.
template <class F>
std::string FailureMessage(F action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "none";
}

}  // namespace lumera::testing
