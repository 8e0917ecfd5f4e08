#include <lumera/lumera.h>

#include <cstdio>
#include <string>

int main() {
  const std::string text = "<root><item>one</item><item>two</item></root>";
  const std::vector<uint8_t> bytes(text.begin(), text.end());

  const std::vector<uint8_t> packed = lumera::Compress(bytes, {.level = 9});
  const std::vector<uint8_t> unpacked = lumera::Decompress(packed);
  std::printf("%zu bytes -> %zu bytes, round trip: %s\n", bytes.size(), packed.size(),
              unpacked == bytes ? "ok" : "FAILED");
}
