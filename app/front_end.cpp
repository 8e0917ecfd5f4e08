#include "app/front_end.h"

#include <memory>

#include "app/output_path.h"
#include "diag/trace.h"
#include "engine/decompressor.h"
#include "platform/file_stream.h"

namespace lumera {

namespace {

void WriteBanner(TConsole& console) {
  console.WriteLine(
      "~ Lumera decompressor ~\tby the lumera developers\tlumera@example.org\t"
      "https://lumera.example.org");
  console.WriteLine(
      "  Intended for programmers/advanced users. Drop an IDR_LUMERA onto this tool.");
  console.WriteLine();
}

}  // namespace

void DecompressFile(const std::string& source, const std::string& dest, TConsole& console) {
  // Declared in the reverse of the release order: output, source, decoder, trace.
  TTrace trace(console);
  auto decompressor = std::make_unique<TDecompressor>(&trace, kTracedStop);
  TFileStream input(source, TFileMode::OpenRead);
  TFileStream output(dest, TFileMode::Create);
  decompressor->FSource = &input;
  decompressor->FDest = &output;
  decompressor->Decompress();
}

int RunFrontEnd(const std::vector<std::string>& args, TConsole& console) {
  WriteBanner(console);
  if (!args.empty() && !args.front().empty()) {
    DecompressFile(args.front(), OutputPathFor(args.front()), console);
    console.WriteLine("ok.");
  }
  console.Pause();
  return 0;
}

}  // namespace lumera
