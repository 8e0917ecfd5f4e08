// Arbitrary bytes as an executable: every resource listed, the first sound one and the
// stream looked up, and the stream replaced by a shorter one and by a longer one, which
// grows the file, and read back. A refusal is a normal outcome; a crash, a sanitizer
// report, an exception of any other class, a listed resource outside the file, or a
// replaced copy that does not read back is a fault.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "resource/resources.h"

namespace {

void Fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

void CheckList(std::span<const uint8_t> file) {
  const std::vector<lumera::TResourceInfo> list = lumera::ListResourceEntries(file);
  for (const lumera::TResourceInfo& info : list) {
    if (!info.Error.empty()) continue;
    if (info.FileOffset > file.size() || info.Size > file.size() - info.FileOffset) {
      Fail("a sound resource lies outside the file");
    }
    const lumera::TResourceQuery query{
        .Type = info.Type, .Name = info.Name, .Language = info.Language};
    const lumera::TFoundResource found = lumera::LookUpResource(file, query);
    if (found.FileOffset != info.FileOffset || found.Bytes.size() != info.Size) {
      Fail("the lookup disagrees with the list");
    }
    return;
  }
}

void CheckReplacement(std::span<const uint8_t> file) {
  const lumera::TFoundResource found = lumera::LookUpResource(file, {});
  // Reversed, so that the new bytes differ from the old ones.
  std::vector<uint8_t> shorter(found.Bytes.rbegin(), found.Bytes.rend());
  shorter.resize(shorter.size() / 2 + 1);
  const std::vector<uint8_t> copy = lumera::ReplaceResource(file, {}, shorter);
  if (copy.size() != file.size()) Fail("the replaced copy changed size");
  if (lumera::LookUpResource(copy, {}).Bytes != shorter) Fail("the replaced copy reads back wrong");
}

// Grown twice: the second time the data is the last thing in the last section.
void CheckGrowth(std::span<const uint8_t> file) {
  std::vector<uint8_t> longer = lumera::LookUpResource(file, {}).Bytes;
  std::vector<uint8_t> copy(file.begin(), file.end());
  for (int round = 0; round < 2; ++round) {
    longer.resize(longer.size() * 2 + 4096, static_cast<uint8_t>(0x4C + round));
    copy = lumera::ReplaceResource(copy, {}, longer);
    if (lumera::LookUpResource(copy, {}).Bytes != longer) Fail("the grown copy reads back wrong");
    lumera::ListResourceEntries(copy);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  try {
    CheckList(file);
  } catch (const lumera::EBadExecutable&) {
    // A damaged or foreign file is refused; that is what it should do.
  }
  try {
    CheckReplacement(file);
  } catch (const lumera::EBadExecutable&) {
  }
  try {
    CheckGrowth(file);
  } catch (const lumera::EBadExecutable&) {
  }
  return 0;
}
