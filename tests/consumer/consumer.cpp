// Round-trips a buffer through the installed library, checks the error on a corrupt
// stream, and looks a resource up by its type's name. Exits 0 when all holds, 1 with a
// line on standard error when not.
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

// The lookup by a type's name links from outside too.
bool NamedTypeLookupLinks() {
  try {
    lumera::FindResource(std::vector<uint8_t>{'M', 'Z'}, "README", "DOCS");
  } catch (const lumera::Error& e) {
    return e.kind() == lumera::ErrorKind::BadExecutable || Fail("wrong error kind");
  }
  return Fail("a resource was found in two bytes");
}

}  // namespace

int main() {
  if (std::string(lumera::Version()) != std::to_string(LUMERA_VERSION_MAJOR) + "." +
                                             std::to_string(LUMERA_VERSION_MINOR) + "." +
                                             std::to_string(LUMERA_VERSION_PATCH)) {
    Fail("library and header versions differ");
    return 1;
  }
  return RoundTrips() && CorruptStreamIsReported() && NamedTypeLookupLinks() ? 0 : 1;
}
