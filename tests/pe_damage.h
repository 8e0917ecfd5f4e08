// Executables damaged on purpose, each cut or patched from one of the real ones, with
// what the reader says of it. The reader's tests and lumera-pack's share the list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pe_fixture.h"
#include "resource/pe_image.h"

namespace lumera::testing {

// Each damaged file is cut or patched from a real one. find is what looking up the
// stream says; listed is what the list says of each entry ("" for a sound one), or the
// refusal of the whole file.
struct TDamage {
  const char* name;
  const char* exe;
  std::function<void(std::vector<uint8_t>&, const TTreeLayout&)> damage;
  std::string find;
  std::vector<std::string> listed;
};

inline void Cut(std::vector<uint8_t>& file, uint64_t size) {
  file.resize(size);
}

inline uint64_t PeHeader(const std::vector<uint8_t>& file) {
  return ReadLe32(file, 0x3C);
}

inline std::vector<TDamage> Damages() {
  const std::string notPe = "not a PE file (no MZ header)";
  const std::string noSignature = "not a PE file (no PE signature)";
  const std::string lumera = "RCDATA resource named IDR_LUMERA (language 1033): ";
  const std::string inventory = "no RCDATA resource named IDR_LUMERA; its RCDATA resources are ? (";
  const auto patch32 = [](std::function<uint64_t(const TTreeLayout&)> at, uint32_t value) {
    return [=](std::vector<uint8_t>& f, const TTreeLayout& l) { WriteLe32(f, at(l), value); };
  };
  const auto patch16 = [](std::function<uint64_t(const TTreeLayout&)> at, uint16_t value) {
    return [=](std::vector<uint8_t>& f, const TTreeLayout& l) {
      f[at(l)] = static_cast<uint8_t>(value);
      f[at(l) + 1] = static_cast<uint8_t>(value >> 8);
    };
  };
  const auto firstTypeTarget = [](const TTreeLayout& l) {
    return TTreeLayout::Entry(l.Root, 0) + 4;
  };
  const auto languageTarget = [](const TTreeLayout& l) {
    return TTreeLayout::Entry(l.LanguageTable, 0) + 4;
  };
  const auto dataRva = [](const TTreeLayout& l) { return l.DataEntry; };
  const auto dataSize = [](const TTreeLayout& l) { return l.DataEntry + 4; };
  const auto nameLength = [](const TTreeLayout& l) { return l.NameString; };
  return {
      {"empty", "lumera64", [](auto& f, auto&) { Cut(f, 0); }, notPe, {notPe}},
      {"one byte", "lumera64", [](auto& f, auto&) { Cut(f, 1); }, notPe, {notPe}},
      {"no MZ", "lumera64", [](auto& f, auto&) { f[0] = 'Z'; }, notPe, {notPe}},
      {"cut in the MS-DOS header",
       "lumera64",
       [](auto& f, auto&) { Cut(f, 0x3C); },
       "truncated MS-DOS header",
       {"truncated MS-DOS header"}},
      {"cut before the signature",
       "lumera64",
       [](auto& f, auto&) { Cut(f, 0x40); },
       noSignature,
       {noSignature}},
      {"no PE signature",
       "lumera64",
       [](auto& f, auto&) { f[PeHeader(f) + 1] = 'X'; },
       noSignature,
       {noSignature}},
      {"cut in the file header",
       "lumera64",
       [](auto& f, auto&) { Cut(f, PeHeader(f) + 14); },
       "truncated COFF file header",
       {"truncated COFF file header"}},
      {"cut in the optional header",
       "lumera32",
       [](auto& f, auto&) { Cut(f, PeHeader(f) + 90); },
       "truncated optional header",
       {"truncated optional header"}},
      {"unknown magic",
       "lumera64",
       [](auto& f, auto&) { f[PeHeader(f) + 25] = 0x12; },
       "unknown optional header magic 0x120B (neither PE32 nor PE32+)",
       {"unknown optional header magic 0x120B (neither PE32 nor PE32+)"}},
      {"cut in the section table",
       "lumera64",
       [](auto& f, auto&) { Cut(f, PeHeader(f) + 24 + 240 + 50); },
       "truncated section table",
       {"truncated section table"}},
      {"cut in the root directory",
       "lumera64",
       [](auto& f, auto& l) { Cut(f, l.Root + 8); },
       "resource directory points outside the file",
       {"resource directory points outside the file"}},
      {"cut after the root directory",
       "lumera64",
       [](auto& f, auto& l) { Cut(f, l.Root + 24); },
       inventory + "resource directory points outside the file)",
       {"resource directory points outside the file"}},
      {"cut in the data",
       "lumera64",
       [](auto& f, auto& l) { Cut(f, l.Data + 10); },
       lumera + "resource data points outside the file",
       {"resource data points outside the file"}},
      {"root entry count past the section",
       "lumera64",
       patch16([](auto& l) { return l.Root + 14; }, 0xFFFF),
       "resource directory of 65535 entries reaches past its section's raw data",
       {"resource directory of 65535 entries reaches past its section's raw data"}},
      {"type entry points to the root",
       "lumera64",
       patch32(firstTypeTarget, 0x80000000),
       inventory + "resource directory loop: the directory at 0x0 is reached again)",
       {"resource directory loop: the directory at 0x0 is reached again"}},
      {"type entry points to data",
       "lumera64",
       patch32(firstTypeTarget, 0x10),
       inventory + "type entry points to data instead of a directory)",
       {"type entry points to data instead of a directory"}},
      {"language entry points to its own directory",
       "lumera64",
       [](auto& f, auto& l) {
         WriteLe32(f, TTreeLayout::Entry(l.LanguageTable, 0) + 4,
                   0x80000000 | l.Relative(l.LanguageTable));
       },
       lumera + "language entry points to a directory: more than 3 levels",
       {"language entry points to a directory: more than 3 levels"}},
      {"directories overlap",
       "lumera64",
       [](auto& f, auto& l) {
         // 8 bytes early, where the header's counts read the language table's zero stamp.
         const uint32_t early = l.Relative(l.LanguageTable - 8);
         WriteLe32(f, TTreeLayout::Entry(l.NameTable, 0) + 4, 0x80000000 | early);
       },
       "RCDATA resource named IDR_LUMERA: resource directory at 0x28 overlaps another directory",
       {"resource directory at 0x28 overlaps another directory"}},
      {"data entry past the end",
       "lumera64",
       patch32(languageTarget, 0x7FFFFFF0),
       lumera + "resource data entry lies outside every section",
       {"resource data entry lies outside every section"}},
      {"data RVA past the end",
       "lumera64",
       patch32(dataRva, 0xFFFFFFF0),
       lumera + "resource data lies outside every section",
       {"resource data lies outside every section"}},
      {"data past the raw data",
       "lumera32",
       patch32(dataSize, 0x10000),
       lumera + "resource data reaches past its section's raw data",
       {"resource data reaches past its section's raw data"}},
      {"data of size 0",
       "lumera64",
       patch32(dataSize, 0),
       lumera + "resource data entry has size 0",
       {"resource data entry has size 0"}},
      {"name length 0xFFFF",
       "lumera64",
       patch16(nameLength, 0xFFFF),
       inventory + "resource name of 65535 characters reaches past its section's raw data)",
       {"resource name of 65535 characters reaches past its section's raw data"}},
      {"empty name",
       "lumera64",
       patch16(nameLength, 0),
       inventory + "resource name is empty)",
       {"resource name is empty"}},
      {"control character in a name",
       "lumera64",
       patch16([](auto& l) { return l.NameString + 4; }, 0x0007),
       inventory + "resource name holds a control character)",
       {"resource name holds a control character"}},
      {"named language",
       "lumera64",
       [](auto& f, auto& l) {
         WriteLe32(f, TTreeLayout::Entry(l.LanguageTable, 0),
                   0x80000000 | l.Relative(l.NameString));
       },
       "RCDATA resource named IDR_LUMERA: language entry has a name instead of a number",
       {"language entry has a name instead of a number"}},
      {"duplicate language",
       "languages",
       patch32([](auto& l) { return TTreeLayout::Entry(l.LanguageTable, 1); }, 1031),
       "none",
       {"", "duplicate language entry #1031"}},
      {"damaged type beside sound ones",
       "mixed",
       patch32(firstTypeTarget, 0x80000000),
       "none",
       {"resource directory loop: the directory at 0x0 is reached again", "", "", "", "", ""}},
  };
}

}  // namespace lumera::testing
