#include "tools/unpack.h"

#include "engine/decompressor.h"

namespace lumera {

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& stream, bool& leftOver) {
  TMemoryStream source(stream);
  TMemoryStream output;
  TDecompressor decompressor;
  decompressor.FSource = &source;
  decompressor.FDest = &output;
  decompressor.Decompress();
  leftOver = !decompressor.FBits->AtEnd();
  return output.Bytes();
}

}  // namespace lumera
