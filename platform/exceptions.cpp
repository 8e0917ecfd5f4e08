#include "platform/exceptions.h"

#include <string_view>

namespace lumera {

namespace {

// FNV-1a over the file's base name and the line: stable across runs and builds
// from other directories.
uint32_t HashLocation(const char* file, int line) {
  std::string_view path(file);
  if (auto slash = path.find_last_of('/'); slash != std::string_view::npos) {
    path.remove_prefix(slash + 1);
  }
  uint32_t hash = 2166136261u;
  auto mix = [&hash](unsigned char c) {
    hash ^= c;
    hash *= 16777619u;
  };
  for (char c : path) mix(static_cast<unsigned char>(c));
  for (int shift = 0; shift < 32; shift += 8) mix(static_cast<unsigned char>(line >> shift));
  return hash;
}

}  // namespace

Exception::Exception(std::string message, const char* file, int line)
    : FMessage(std::move(message)), FLocation(HashLocation(file, line)) {}

}  // namespace lumera
