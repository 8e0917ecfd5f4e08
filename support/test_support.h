// Small helpers shared by the tests: a scratch folder that is removed afterwards,
// whole-file reads and writes, and the message of a failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace lumera::testing {

// Paths are held as UTF-8 here, as the programs hold them, on Windows too.
inline std::filesystem::path Utf8Path(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

inline std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

// What the system says of a missing file, as a pattern. Windows' words are not asserted:
// Wine's differ from them.
#ifdef _WIN32
inline constexpr const char* kNoSuchFile = ".+";
#else
inline constexpr const char* kNoSuchFile = "No such file or directory";
#endif

// A fresh folder under the system's temporary directory. With enter set, the working
// directory moves into it for the folder's lifetime.
class TScratchDir {
 public:
  explicit TScratchDir(bool enter = false) {
    std::random_device random;
    do {
      FPath = std::filesystem::temp_directory_path() / ("lumera-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(FPath));
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

  std::string operator/(const std::string& name) const { return Utf8(FPath / Utf8Path(name)); }
  const std::filesystem::path& Path() const { return FPath; }

 private:
  std::filesystem::path FPath;
  std::filesystem::path FPrevious;
};

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(Utf8Path(path), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(Utf8Path(path), std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(Utf8Path(path), std::ios::binary);
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
