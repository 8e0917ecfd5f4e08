// lumera-pack: writes a stream that the decompressor decodes to a given file, or decodes
// a whole stream silently.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "tools/pack.h"
#include "tools/unpack.h"

namespace {

constexpr const char* kUsage =
    "usage: lumera-pack INPUT OUTPUT      pack INPUT into a stream OUTPUT\n"
    "       lumera-pack -d INPUT OUTPUT   decode the whole stream INPUT into OUTPUT\n"
    "       lumera-pack --help            show this text\n";

std::vector<uint8_t> ReadAll(lumera::TFileStream& file) {
  std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
  if (file.Read(bytes.data(), bytes.size()) != bytes.size()) {
    throw lumera::EInOutError("Cannot read the input file.");
  }
  return bytes;
}

// The input stays open, and so locked, until the output is written: naming the same
// file twice fails instead of destroying it. Returns whether a decoded stream was not
// used up.
bool Run(bool decode, const std::string& inputPath, const std::string& outputPath) {
  lumera::TFileStream input(inputPath, lumera::TFileMode::OpenRead);
  const std::vector<uint8_t> bytes = ReadAll(input);
  bool leftOver = false;
  const std::vector<uint8_t> result =
      decode ? lumera::Unpack(bytes, leftOver) : lumera::Pack(bytes);
  {
    lumera::TFileStream output(outputPath, lumera::TFileMode::Create);
    if (output.Write(result.data(), result.size()) == result.size()) return leftOver;
  }
  std::remove(outputPath.c_str());
  throw lumera::EInOutError("Cannot write the output file.");
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const bool decode = !args.empty() && args[0] == "-d";
  if (decode) args.erase(args.begin());
  if (args.size() != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    if (Run(decode, std::string(args[0]), std::string(args[1]))) {
      std::fputs(
          "lumera-pack: warning: data extracted successfully but not the whole source "
          "stream has been used.\n",
          stderr);
    }
  } catch (const lumera::Exception& e) {
    std::fprintf(stderr, "lumera-pack: %s: %s\n", e.ClassName(), e.what());
    return 1;
  }
  return 0;
}
