// The executables that the test build links from tests/pe/*.rc, and where their resource
// structures lie, so that a test can cut or patch them. Without the mingw-w64 binutils
// there are no such files, and the tests on them skip.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resource/pe_image.h"
#include "test_support.h"

namespace lumera::testing {

inline std::vector<uint8_t> BytesOf(const std::string& text) {
  return {text.begin(), text.end()};
}

inline std::vector<uint8_t> Example(const std::string& name) {
  return BytesOf(ReadFile(std::string(LUMERA_EXAMPLES) + "/" + name));
}

inline std::string ExecutablePath(const std::string& name) {
  return std::string(LUMERA_PE_FIXTURES) + "/" + name + ".exe";
}

inline std::vector<uint8_t> Executable(const std::string& name) {
  return BytesOf(ReadFile(ExecutablePath(name)));
}

class TPeFixtureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(LUMERA_PE_FIXTURES).empty()) {
      GTEST_SKIP() << "the mingw-w64 binutils are not installed: no executables to test on";
    }
  }
};

// File offsets along the first entry of each level of the resource tree, found with
// plain reads so that a test can damage one structure on purpose.
struct TTreeLayout {
  uint64_t Root = 0;        // the type directory
  uint64_t NameTable = 0;   // the first type's name directory
  uint64_t NameString = 0;  // the first name's length-prefixed text (0 for an ID)
  uint64_t LanguageTable = 0;
  uint64_t DataEntry = 0;  // the first language's data entry
  uint64_t Data = 0;

  // The file offset of the directory entry i of the table at tableOffset.
  static uint64_t Entry(uint64_t tableOffset, int i) { return tableOffset + 16 + 8 * i; }
  // A target field's offset, relative to the root as the file stores it.
  uint32_t Relative(uint64_t offset) const { return static_cast<uint32_t>(offset - Root); }
};

inline TTreeLayout LayoutOf(const std::vector<uint8_t>& file) {
  const TPeImage image(file);
  TTreeLayout layout;
  layout.Root = image.FileOffsetOf(image.ResourceRva(), 16, "root");
  const auto follow = [&](uint64_t table) {
    return layout.Root + (ReadLe32(file, TTreeLayout::Entry(table, 0) + 4) & 0x7FFFFFFF);
  };
  layout.NameTable = follow(layout.Root);
  const uint32_t nameField = ReadLe32(file, TTreeLayout::Entry(layout.NameTable, 0));
  if (nameField & 0x80000000) layout.NameString = layout.Root + (nameField & 0x7FFFFFFF);
  layout.LanguageTable = follow(layout.NameTable);
  layout.DataEntry = follow(layout.LanguageTable);
  layout.Data = image.FileOffsetOf(ReadLe32(file, layout.DataEntry), 1, "data");
  return layout;
}

// A certificate table of 16 made-up bytes at the end of the file, or at offset at.
inline std::vector<uint8_t> Signed(std::vector<uint8_t> file, std::optional<uint32_t> at = {}) {
  const uint32_t table = at.value_or(static_cast<uint32_t>(file.size()));
  if (!at) file.insert(file.end(), 16, 0x5A);
  WriteLe32(file, TPeImage(file).DirectoryField(kSecurityDirectory), table);
  WriteLe32(file, TPeImage(file).DirectoryField(kSecurityDirectory) + 4, 16);
  return file;
}

}  // namespace lumera::testing
