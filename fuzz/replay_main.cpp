// Runs a fuzz target's LLVMFuzzerTestOneInput on saved inputs without libFuzzer, so the
// ordinary test build (any compiler, with the sanitizers) replays the corpus. Each
// argument is a file or a folder whose files are all replayed, in name order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& arg) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(arg)) {
    for (const auto& entry : std::filesystem::directory_iterator(arg)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
  } else {
    files.push_back(arg);
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
    return 2;
  }
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& path : InputsOf(argv[i])) {
      std::ifstream in(path, std::ios::binary);
      if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return 2;
      }
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
      // Named before the run, so that a sanitizer report or an abort points at the file.
      std::fprintf(stderr, "replaying %s (%zu bytes)\n", path.c_str(), bytes.size());
      // An empty vector may have no buffer; the targets read nothing then.
      static const uint8_t kNothing = 0;
      const auto* data =
          bytes.empty() ? &kNothing : reinterpret_cast<const uint8_t*>(bytes.data());
      LLVMFuzzerTestOneInput(data, bytes.size());
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::fprintf(stderr, "no inputs found\n");
    return 1;
  }
  std::printf("%zu inputs replayed\n", replayed);
  return 0;
}
