// Round-trips a buffer through the installed library, checks the error on a corrupt
// stream, and calls each resource lookup. Exits 0 when all holds, 1 with a line on
// standard error when not.
#include <lumera/lumera.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

bool Fail(const char* what) {
  std::fprintf(stderr, "consumer: %s\n", what);
  return false;
}

bool RoundTrips() {
  std::vector<uint8_t> data;
  for (int i = 0; i < 2000; ++i) data.push_back(static_cast<uint8_t>("<item/>\n"[i % 8]));
  if (lumera::Decompress(lumera::Compress(data)) != data) return Fail("round trip differs");
  return true;
}

bool CorruptStreamIsReported() {
  std::vector<uint8_t> stream = lumera::Compress(std::vector<uint8_t>(500, 'x'));
  stream.resize(stream.size() / 2);
  try {
    lumera::Decompress(stream);
  } catch (const lumera::Error& e) {
    if (e.kind() != lumera::ErrorKind::InvalidStream) return Fail("wrong error kind");
    if (!e.out_offset() || !e.source_offset()) return Fail("offsets missing");
    return true;
  }
  return Fail("a corrupt stream decoded");
}

// Both lookups link, whether the type is a number or a name.
bool ResourceLookupsLink() {
  const std::vector<uint8_t> notExe{'M', 'Z'};
  for (int byName = 0; byName < 2; ++byName) {
    try {
      byName ? lumera::FindResource(notExe, "README", "DOCS") : lumera::FindResource(notExe);
      return Fail("a resource was found in two bytes");
    } catch (const lumera::Error& e) {
      if (e.kind() != lumera::ErrorKind::BadExecutable) return Fail("wrong error kind");
    }
  }
  return true;
}

}  // namespace

int main() {
  if (std::string(lumera::Version()) != std::to_string(LUMERA_VERSION_MAJOR) + "." +
                                             std::to_string(LUMERA_VERSION_MINOR) + "." +
                                             std::to_string(LUMERA_VERSION_PATCH)) {
    Fail("library and header versions differ");
    return 1;
  }
  return RoundTrips() && CorruptStreamIsReported() && ResourceLookupsLink() ? 0 : 1;
}
