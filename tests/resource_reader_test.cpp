#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "encoder/pack.h"
#include "pe_damage.h"
#include "pe_fixture.h"
#include "resource/pe_image.h"
#include "resource/resource_tree.h"
#include "resource/resources.h"
#include "test_support.h"
#include "wine.h"

namespace lumera {
namespace {

using testing::BytesOf;
using testing::Damages;
using testing::Example;
using testing::Executable;
using testing::FailureMessage;
using testing::LayoutOf;
using testing::Signed;
using testing::TDamage;
using testing::TScratchDir;
using testing::TTreeLayout;

class ResourceReader : public testing::TPeFixtureTest {};

struct TRow {
  std::string Type;
  std::string Name;
  uint32_t Language;
  uint32_t Size;
};

std::vector<TRow> RowsOf(const std::vector<TResourceInfo>& list) {
  std::vector<TRow> rows;
  for (const TResourceInfo& info : list) {
    EXPECT_EQ(info.Error, "") << info.Name.Text();
    rows.push_back({TypeText(info.Type), info.Name.Text(), info.Language.value_or(0), info.Size});
  }
  return rows;
}

bool operator==(const TRow& a, const TRow& b) {
  return a.Type == b.Type && a.Name == b.Name && a.Language == b.Language && a.Size == b.Size;
}

void PrintTo(const TRow& row, std::ostream* out) {
  *out << row.Type << " " << row.Name << " " << row.Language << " " << row.Size;
}

TEST_F(ResourceReader, ListsEveryResourceInDirectoryOrder) {
  const std::vector<TRow> lumera{{"RT_RCDATA", "IDR_LUMERA", 1033, 132}};
  const struct {
    const char* exe;
    std::vector<TRow> rows;
  } cases[] = {
      {"lumera64", lumera},
      {"lumera32", lumera},
      {"numeric_id", {{"RT_RCDATA", "#101", 1033, 132}}},
      {"languages",
       {{"RT_RCDATA", "IDR_LUMERA", 1031, 132}, {"RT_RCDATA", "IDR_LUMERA", 1033, 227}}},
      {"mixed",
       {{"DOCS", "README", 1033, 227},
        {"RT_STRING", "#1", 1033, 44},
        {"RT_RCDATA", "IDR_LUMERA", 1033, 132},
        {"RT_RCDATA", "ZZ_OTHER", 1033, 227},
        {"RT_VERSION", "#1", 1033, 92},
        {"RT_MANIFEST", "#1", 1033, 227}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exe);
    const std::vector<uint8_t> file = Executable(c.exe);
    const std::vector<TResourceInfo> list = ListResourceEntries(file);
    EXPECT_EQ(RowsOf(list), c.rows);
    for (const TResourceInfo& info : list) {
      ASSERT_LE(info.FileOffset + info.Size, file.size());
    }
  }
}

TResourceQuery Query(TResourceKey name, std::optional<uint32_t> language = std::nullopt,
                     TResourceKey type = TResourceKey::OfId(kRcdataTypeId)) {
  return {.Type = type, .Name = name, .Language = language};
}

TEST_F(ResourceReader, FindsTheBytesThatWentIn) {
  const TResourceKey lumera = TResourceKey::OfName("IDR_LUMERA");
  const struct {
    const char* exe;
    TResourceQuery query;
    const char* content;
    uint32_t language;
    std::vector<uint32_t> languages;
  } cases[] = {
      {"lumera64", {}, "sample.lum", 1033, {1033}},
      {"lumera32", {}, "sample.lum", 1033, {1033}},
      {"numeric_id", Query(TResourceKey::OfId(101)), "sample.lum", 1033, {1033}},
      {"languages", {}, "sample.lum", 1031, {1031, 1033}},
      {"languages", Query(lumera, 1033), "dec.xml", 1033, {1031, 1033}},
      {"mixed", Query(TResourceKey::OfName("idr_Lumera")), "sample.lum", 1033, {1033}},
      {"mixed", Query(TResourceKey::OfName("zz_other")), "dec.xml", 1033, {1033}},
      {"mixed",
       Query(TResourceKey::OfName("ReadMe"), {}, TResourceKey::OfName("docs")),
       "dec.xml",
       1033,
       {1033}},
      {"mixed", Query(TResourceKey::OfId(1), {}, TResourceKey::OfId(24)), "dec.xml", 1033, {1033}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.exe) + " " + c.query.Name.Text());
    const std::vector<uint8_t> file = Executable(c.exe);
    const TFoundResource found = LookUpResource(file, c.query);
    EXPECT_EQ(found.Bytes, Example(c.content));
    EXPECT_EQ(found.Language, c.language);
    EXPECT_EQ(found.Languages, c.languages);
    EXPECT_TRUE(std::equal(found.Bytes.begin(), found.Bytes.end(),
                           file.begin() + static_cast<std::ptrdiff_t>(found.FileOffset)));
  }
}

TEST_F(ResourceReader, NamesWhatTheFileHasWhenNothingMatches) {
  const struct {
    const char* exe;
    TResourceQuery query;
    const char* message;
  } cases[] = {
      {"lumera64", Query(TResourceKey::OfId(101)),
       "no RCDATA resource with ID 101; its RCDATA resources are IDR_LUMERA"},
      {"numeric_id", {}, "no RCDATA resource named IDR_LUMERA; its RCDATA resources are #101"},
      {"mixed", Query(TResourceKey::OfName("IDR_LUMERA2")),
       "no RCDATA resource named IDR_LUMERA2; its RCDATA resources are IDR_LUMERA, ZZ_OTHER"},
      {"languages", Query(TResourceKey::OfName("IDR_LUMERA"), 2057),
       "no RCDATA resource named IDR_LUMERA in language 2057; its languages are 1031, 1033"},
      {"mixed", Query(TResourceKey::OfName("IDR_LUMERA"), {}, TResourceKey::OfId(3)),
       "no ICON resource named IDR_LUMERA; the file has no ICON resources"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FailureMessage([&] { LookUpResource(Executable(c.exe), c.query); }), c.message);
  }
}

uint32_t StoredChecksum(const std::vector<uint8_t>& file) {
  return ReadLe32(file, TPeImage(file).ChecksumOffset());
}

// The linker writes the checksum, which makes it an independent check of ours.
TEST_F(ResourceReader, ComputesTheChecksumTheLinkerWrote) {
  for (const char* exe : {"lumera64", "lumera32", "numeric_id", "languages", "mixed"}) {
    const std::vector<uint8_t> file = Executable(exe);
    EXPECT_NE(StoredChecksum(file), 0u) << exe;
    EXPECT_EQ(PeChecksum(file, TPeImage(file).ChecksumOffset()), StoredChecksum(file)) << exe;
  }
}

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0xA5 ^ i);
  return bytes;
}

// Reading the copy back gives the new bytes, and the only bytes that changed are the
// size field, the checksum and the room.
void ExpectReplacedInPlace(const std::vector<uint8_t>& file, const TResourceQuery& query,
                           const std::vector<uint8_t>& replacement) {
  const TFoundResource before = LookUpResource(file, query);
  const uint64_t room = ResourceRoom(file, query);
  const std::vector<uint8_t> copy = ReplaceResource(file, query, replacement);
  ASSERT_EQ(copy.size(), file.size());
  EXPECT_EQ(LookUpResource(copy, query).Bytes, replacement);
  const uint64_t checksum = TPeImage(file).ChecksumOffset();
  const uint64_t sizeField = LayoutOf(file).DataEntry + 4;
  for (uint64_t i = 0; i < file.size(); ++i) {
    const bool mayChange = (i >= before.FileOffset && i < before.FileOffset + room) ||
                           (i >= checksum && i < checksum + 4) ||
                           (i >= sizeField && i < sizeField + 4);
    if (!mayChange) {
      ASSERT_EQ(copy[i], file[i]) << "byte " << i;
    }
  }
  for (uint64_t i = before.FileOffset + replacement.size(); i < before.FileOffset + room; ++i) {
    ASSERT_EQ(copy[i], 0) << "padding byte " << i;
  }
  const uint32_t expected = StoredChecksum(file) == 0 ? 0 : PeChecksum(copy, checksum);
  EXPECT_EQ(StoredChecksum(copy), expected);
}

TEST_F(ResourceReader, ReplacesTheBytesInPlaceWithinTheRoom) {
  const struct {
    const char* exe;
    uint32_t room;  // the size rounded up to 8: the linker leaves that much
  } cases[] = {{"lumera64", 136}, {"lumera32", 136}, {"languages", 136}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exe);
    const std::vector<uint8_t> file = Executable(c.exe);
    const TResourceQuery query;
    EXPECT_EQ(ResourceRoom(file, query), c.room);
    for (size_t size : {size_t{1}, size_t{100}, size_t{132}, size_t{c.room}}) {
      SCOPED_TRACE(size);
      ExpectReplacedInPlace(file, query, Pattern(size));
    }
    EXPECT_EQ(FailureMessage([&] { ReplaceResource(file, query, {}); }), "the new data is empty");
    EXPECT_EQ(LookUpResource(ReplaceResource(file, query, Pattern(c.room + 1)), query).Bytes,
              Pattern(c.room + 1));
    std::vector<uint8_t> unsummed = file;
    WriteLe32(unsummed, TPeImage(file).ChecksumOffset(), 0);
    ExpectReplacedInPlace(unsummed, query, Pattern(50));
  }
}

TEST_F(ResourceReader, TheRoomStopsAtTheNextStructure) {
  std::vector<uint8_t> file = Executable("lumera64");
  const TTreeLayout layout = LayoutOf(file);
  // Move the data entry into the resource's rounding bytes: the room ends where it starts.
  const uint64_t moved = layout.Data + 132;
  std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(layout.DataEntry), 16,
              file.begin() + static_cast<std::ptrdiff_t>(moved));
  WriteLe32(file, TTreeLayout::Entry(layout.LanguageTable, 0) + 4, layout.Relative(moved));
  EXPECT_EQ(ResourceRoom(file, {}), 132u);
  ExpectReplacedInPlace(file, {}, Pattern(132));
  // Data that starts inside another structure (here the name before it) has no room.
  const uint32_t nameRva =
      ReadLe32(file, moved) - static_cast<uint32_t>(layout.Data - layout.NameString);
  WriteLe32(file, moved, nameRva + 2);
  EXPECT_EQ(FailureMessage([&] { ResourceRoom(file, {}); }),
            "the resource's bytes overlap another resource or the directory");
  // A section whose raw data starts at 0 maps the headers: they are never room.
  const uint64_t firstSection = ReadLe32(file, 0x3C) + 24 + 240;
  WriteLe32(file, firstSection + 20, 0);
  WriteLe32(file, moved, ReadLe32(file, firstSection + 12) + 0x10);
  EXPECT_EQ(FailureMessage([&] { ResourceRoom(file, {}); }),
            "the resource's bytes overlap the headers");
}

uint32_t HeaderField(const std::vector<uint8_t>& file, uint64_t offset) {
  return ReadLe32(file, TPeImage(file).OptionalHeader() + offset);
}

uint32_t SymbolTable(const std::vector<uint8_t>& file) {
  return ReadLe32(file, TPeImage(file).FileHeader() + 8);
}

uint64_t DataEntryOf(const std::vector<uint8_t>& file, uint64_t dataOffset) {
  for (const TResourceEntry& entry : ReadResourceTree(TPeImage(file)).Entries) {
    if (entry.Info.FileOffset == dataOffset) return entry.DataEntryOffset;
  }
  return 0;
}

uint64_t InitializedData(const TPeImage& image) {
  uint64_t sum = 0;
  for (const TSection& s : image.Sections()) sum += (s.Characteristics & 0x40) ? s.RawSize : 0;
  return sum;
}

void SetLastVirtualSize(std::vector<uint8_t>& file, uint32_t size) {
  WriteLe32(file, TPeImage(file).Sections().back().Header + 8, size);
}

// What every growing replacement must give: the new bytes where the data entry points,
// every other resource as it was, the sections, SizeOfImage, SizeOfInitializedData,
// checksum and symbol table agreeing, and no other byte of the old sections changed.
std::vector<uint8_t> ExpectGrown(const std::vector<uint8_t>& file, const TResourceQuery& query,
                                 const std::vector<uint8_t>& replacement, size_t addedSections) {
  const TFoundResource old = LookUpResource(file, query);
  const uint64_t room = ResourceRoom(file, query);
  const std::vector<uint8_t> copy = ReplaceResource(file, query, replacement);
  const TPeImage before(file), after(copy);
  const TFoundResource found = LookUpResource(copy, query);
  EXPECT_EQ(found.Bytes, replacement);
  for (const TResourceInfo& info : ListResourceEntries(file)) {
    if (info.FileOffset == old.FileOffset) continue;
    const TResourceQuery other{.Type = info.Type, .Name = info.Name, .Language = info.Language};
    EXPECT_EQ(LookUpResource(copy, other).Bytes, LookUpResource(file, other).Bytes)
        << info.Name.Text();
  }
  EXPECT_EQ(after.Sections().size(), before.Sections().size() + addedSections);
  const TSection& last = after.Sections().back();
  const uint32_t alignment = HeaderField(copy, 32);
  EXPECT_EQ(HeaderField(copy, 56),
            (last.VirtualAddress + last.VirtualSize + alignment - 1) / alignment * alignment);
  EXPECT_EQ(HeaderField(copy, 8) - HeaderField(file, 8),
            InitializedData(after) - InitializedData(before));
  EXPECT_EQ(HeaderField(copy, 64), PeChecksum(copy, after.ChecksumOffset()));
  const uint64_t symbols = file.size() - SymbolTable(file);
  EXPECT_TRUE(std::equal(file.end() - static_cast<std::ptrdiff_t>(symbols), file.end(),
                         copy.begin() + SymbolTable(copy)));
  const std::vector<std::pair<uint64_t, uint64_t>> changes{
      {after.ChecksumOffset(), 4},
      {after.FileHeader() + 2, 2},                // NumberOfSections
      {after.FileHeader() + 8, 4},                // PointerToSymbolTable
      {after.OptionalHeader() + 8, 4},            // SizeOfInitializedData
      {after.OptionalHeader() + 56, 4},           // SizeOfImage
      {before.Sections().back().Header + 8, 12},  // VirtualSize to SizeOfRawData
      {before.HeadersEnd(), 40},                  // a new section's header
      {DataEntryOf(file, old.FileOffset), 8},     // the data's RVA and size
      {old.FileOffset, room},                     // the old room, zeroed
      {found.FileOffset, file.size()},            // the new data and all after it
  };
  const uint64_t oldEnd = SymbolTable(file);
  for (uint64_t i = 0; i < oldEnd; ++i) {
    const bool mayChange = std::any_of(changes.begin(), changes.end(), [&](const auto& c) {
      return i >= c.first && i - c.first < c.second;
    });
    if (!mayChange) {
      EXPECT_EQ(copy[i], file[i]) << "byte " << i;
      if (copy[i] != file[i]) break;
    }
  }
  if (found.FileOffset != old.FileOffset) {
    const auto oldRoom = std::span(copy).subspan(old.FileOffset, room);
    EXPECT_TRUE(std::all_of(oldRoom.begin(), oldRoom.end(), [](uint8_t b) { return b == 0; }));
  }
  return copy;
}

TEST_F(ResourceReader, GrowsTheFileForDataThatDoesNotFit) {
  const TResourceKey lumera = TResourceKey::OfName("IDR_LUMERA");
  const struct {
    const char* exe;
    TResourceQuery query;
    size_t size;
    size_t addedSections;
    bool moves;  // the data moves; otherwise it grows where it is, the last in .rsrc
    std::function<void(std::vector<uint8_t>&)> change = [](auto&) {};
  } cases[] = {
      {"lumera64", {}, 1320, 0, false},
      {"lumera32", {}, 132000, 0, false},
      {"numeric_id", Query(TResourceKey::OfId(101)), 500, 0, false},
      {"languages", {}, 1320, 0, true},
      {"languages", Query(lumera, 1033), 5000, 0, false},
      {"mixed", {}, 132000, 0, true},
      {"mixed_tail", {}, 1320, 1, true},
      {"mixed_tail", Query(TResourceKey::OfName("README"), {}, TResourceKey::OfName("DOCS")), 300,
       1, true},
      // Padding the file up to the end of .rsrc's memory would write 700 MB of zeros.
      {"lumera64", {}, 1320, 1, true, [](auto& f) { SetLastVirtualSize(f, 0x2C0000F8); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.exe) + " " + c.query.Name.Text());
    std::vector<uint8_t> file = Executable(c.exe);
    c.change(file);
    const std::vector<uint8_t> grown = ExpectGrown(file, c.query, Pattern(c.size), c.addedSections);
    EXPECT_EQ(LookUpResource(grown, c.query).FileOffset != LookUpResource(file, c.query).FileOffset,
              c.moves);
    // Growing again adds no section: the data is the last thing in the last section now.
    const std::vector<uint8_t> again = ExpectGrown(grown, c.query, Pattern(3 * c.size), 0);
    EXPECT_EQ(LookUpResource(again, c.query).FileOffset, LookUpResource(grown, c.query).FileOffset);
  }
}

TEST_F(ResourceReader, RefusesToGrowWhereBytesWouldBeLost) {
  const auto afterTable = [](const std::vector<uint8_t>& f) { return TPeImage(f).HeadersEnd(); };
  const std::string noHeader =
      "the file cannot grow: the resource section is not the last section, and there is no "
      "room for another section header (";
  const struct {
    const char* name;
    const char* exe;
    std::function<void(std::vector<uint8_t>&)> change;
    std::string message;
  } cases[] = {
      {"section table room in use", "mixed_tail", [&](auto& f) { f[afterTable(f) + 39] = 1; },
       noHeader + "the bytes after the section table are in use)"},
      {"headers too short", "mixed_tail",
       [&](auto& f) { WriteLe32(f, TPeImage(f).OptionalHeader() + 60, afterTable(f) + 8); },
       noHeader + "the headers end at 0x230, and it would end at 0x250)"},
      {"bound imports after the table", "mixed_tail",
       [&](auto& f) {
         WriteLe32(f, TPeImage(f).DirectoryField(11), static_cast<uint32_t>(afterTable(f)));
         WriteLe32(f, TPeImage(f).DirectoryField(11) + 4, 0x20);
       },
       noHeader + "the bound imports lie after the section table)"},
      {"an overlay", "lumera64", [](auto& f) { f.insert(f.end(), 100, 7); },
       "the file has 100 bytes at offset 0x1091 after its sections (an overlay), which growing "
       "the file would cut off"},
      {"bytes before the symbol table", "mixed",
       [](auto& f) {
         const uint32_t table = SymbolTable(f);
         f.insert(f.begin() + table, 4, 0);
         WriteLe32(f, TPeImage(f).FileHeader() + 8, table + 4);
       },
       "the file has 4 bytes at offset 0xE00 after its sections (an overlay), which growing "
       "the file would cut off"},
      {"a file alignment of 2 GiB", "lumera64",
       [](auto& f) { WriteLe32(f, TPeImage(f).OptionalHeader() + 36, 0x80000000); },
       "the section alignment 0x1000 or the file alignment 0x80000000 is not a power of two that "
       "a PE file allows"},
      {"symbol table past the end", "lumera64",
       [](auto& f) { WriteLe32(f, TPeImage(f).FileHeader() + 12, 0x10000); },
       "the COFF symbol table reaches past the end of the file"},
      {"a long memory tail, and the section table room in use", "lumera64",
       [&](auto& f) {
         SetLastVirtualSize(f, 0x2C0000F8);
         f[afterTable(f) + 39] = 1;
       },
       "the file cannot grow: the resource section's memory runs 0x2BFFFEF8 bytes past its data "
       "in the file, and there is no room for another section header (the bytes after the "
       "section table are in use)"},
      {"a signature", "lumera64", [](auto& f) { f = Signed(f); },
       "the file is signed, and any change to it breaks the signature"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> file = Executable(c.exe);
    c.change(file);
    EXPECT_EQ(FailureMessage([&] { ReplaceResource(file, {}, Pattern(2000)); }), c.message);
  }
}

TEST_F(ResourceReader, StripsASignatureOnlyWhenAsked) {
  const std::vector<uint8_t> plain = Executable("lumera64");
  const std::vector<uint8_t> file = Signed(plain);
  EXPECT_TRUE(IsSigned(file));
  EXPECT_FALSE(IsSigned(plain));
  for (size_t size : {100, 2000}) {
    EXPECT_EQ(FailureMessage([&] { ReplaceResource(file, {}, Pattern(size)); }),
              "the file is signed, and any change to it breaks the signature");
    EXPECT_EQ(ReplaceResource(file, {}, Pattern(size), {.StripSignature = true}),
              ReplaceResource(plain, {}, Pattern(size)));
  }
  const std::vector<uint8_t> inside = Signed(plain, 0x200);
  EXPECT_EQ(
      FailureMessage([&] { ReplaceResource(inside, {}, Pattern(8), {.StripSignature = true}); }),
      "the certificate table at 0x200 is not the last thing in the file, so it cannot be "
      "removed");
}

std::vector<std::string> ListedErrors(const std::vector<uint8_t>& file) {
  std::vector<std::string> errors;
  try {
    for (const TResourceInfo& info : ListResourceEntries(file)) errors.push_back(info.Error);
  } catch (const Exception& e) {
    errors = {e.Message()};
  }
  return errors;
}

TEST_F(ResourceReader, RefusesEachDamageWithItsMessage) {
  for (const TDamage& d : Damages()) {
    SCOPED_TRACE(d.name);
    std::vector<uint8_t> file = Executable(d.exe);
    d.damage(file, LayoutOf(file));
    EXPECT_EQ(FailureMessage([&] { LookUpResource(file, {}); }), d.find);
    EXPECT_EQ(ListedErrors(file), d.listed);
    const std::string replaced = FailureMessage([&] { ReplaceResource(file, {}, Pattern(4)); });
    EXPECT_EQ(replaced == "none", d.find == "none") << replaced;
  }
}

// The system's own loader, as Wine has it, finds the grown stream: in a section of its own
// when .reloc follows .rsrc, at the end of .rsrc when it is the last section. Of a resource
// in German (1031) and English (1033), lumera-pack --replace patches the languages asked
// for, in place or growing the file: the loader finds the new stream in them and the old
// one in the other. (One test, since each run of Wine's server serves one test alone.)
TEST_F(ResourceReader, ALoaderReadsTheStreamPutBack) {
  if (std::string(LUMERA_LOADERS).empty()) {
    GTEST_SKIP() << "the mingw-w64 g++ or Wine is not installed: no loader to run";
  }
  const testing::TWine wine(LUMERA_WINE, LUMERA_WINESERVER, LUMERA_WINE_PREFIX);
  TScratchDir dir;
  // What the loader finds in exe; with a language, in that language.
  const auto run = [&](const std::vector<uint8_t>& exe, const std::vector<std::string>& language) {
    testing::WriteFile(dir / "loader.exe", exe);
    const testing::TChildRun child = wine.Run("loader.exe", dir, language);
    EXPECT_EQ(child.Status, 0) << child.Err;
    return BytesOf(child.Out);
  };
  const auto loader = [](const std::string& name) {
    return BytesOf(testing::ReadFile(std::string(LUMERA_LOADERS) + "/" + name + ".exe"));
  };
  for (const auto& [name, added] : {std::pair{"loader", 1u}, std::pair{"loader_rsrc_last", 0u}}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> exe = loader(name);
    const size_t sections = TPeImage(exe).Sections().size();
    EXPECT_EQ(run(exe, {}), Example("sample.lum"));
    const std::vector<uint8_t> tenfold = ReplaceResource(exe, {}, Pattern(1320));
    EXPECT_EQ(TPeImage(tenfold).Sections().size(), sections + added);
    EXPECT_EQ(run(tenfold, {}), Pattern(1320));
    const std::vector<uint8_t> thousandfold = ReplaceResource(tenfold, {}, Pattern(132000));
    EXPECT_EQ(TPeImage(thousandfold).Sections().size(), sections + added);
    EXPECT_EQ(run(thousandfold, {}), Pattern(132000));
  }

  testing::WriteFile(dir / "languages.exe", loader("loader_languages"));
  const struct {
    std::vector<std::string> options;
    bool german;
    bool english;
  } cases[] = {
      {{}, true, false},
      {{"--language", "1033"}, false, true},
      {{"--all-languages"}, true, true},
  };
  for (const auto& c : cases) {
    // Ten numbers fit in place; a thousand do not.
    for (const int count : {10, 1000}) {
      SCOPED_TRACE(::testing::PrintToString(c.options) + " " + std::to_string(count));
      std::string numbers;
      for (int i = 0; i < count; ++i) numbers += std::to_string(i * 7919 % 10007) + " ";
      const std::vector<uint8_t> stream = Pack(BytesOf(numbers));
      testing::WriteFile(dir / "new.lum", stream);
      std::vector<std::string> args{"-f", "--replace", "new.lum", "languages.exe", "new.exe"};
      args.insert(args.end(), c.options.begin(), c.options.end());
      const testing::TChildRun packed = testing::RunChild(LUMERA_PACK_BINARY, args, dir);
      ASSERT_EQ(packed.Status, 0) << packed.Err;
      const std::vector<uint8_t> exe = BytesOf(testing::ReadFile(dir / "new.exe"));
      EXPECT_EQ(run(exe, {"1031"}), c.german ? stream : Example("sample.lum"));
      EXPECT_EQ(run(exe, {"1033"}), c.english ? stream : Example("dec.xml"));
    }
  }
}

TEST(ResourceKey, ComparesAndPrintsAsTheLoaderDoes) {
  const struct {
    TResourceKey a;
    TResourceKey b;
    bool matches;
  } cases[] = {
      {TResourceKey::OfName("IDR_LUMERA"), TResourceKey::OfName("idr_lumera"), true},
      {TResourceKey::OfName("IDR_LUMERA"), TResourceKey::OfName("IDR_LUMERA "), false},
      // Only the ASCII letters fold: the loader leaves other scripts' case alone.
      {TResourceKey::OfName("\xC3\x84"), TResourceKey::OfName("\xC3\xA4"), false},
      {TResourceKey::OfId(101), TResourceKey::OfId(101), true},
      {TResourceKey::OfId(101), TResourceKey::OfName("101"), false},
      {TResourceKey::OfId(101), TResourceKey::OfName("#101"), false},
      {TResourceKey{.Kind = TKeyKind::Unreadable, .Id = 0, .Name = {}},
       TResourceKey{.Kind = TKeyKind::Unreadable, .Id = 0, .Name = {}}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.a.Matches(c.b), c.matches) << c.a.Text() << " / " << c.b.Text();
    EXPECT_EQ(c.b.Matches(c.a), c.matches) << c.b.Text() << " / " << c.a.Text();
  }
  const struct {
    TResourceKey key;
    std::string text;
  } texts[] = {
      {TResourceKey::OfId(7), "#7"},
      {TResourceKey::OfName("plain"), "plain"},
      {TResourceKey::OfName("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"),
       "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {TResourceKey::OfName("a\xFF"
                            "b\xE2\x82"),
       "a\xEF\xBF\xBD"
       "b\xEF\xBF\xBD\xEF\xBF\xBD"},
      // Overlong forms and surrogates are not UTF-8: each of their bytes stands for U+FFFD.
      {TResourceKey::OfName("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {TResourceKey::OfName("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {TResourceKey{.Kind = TKeyKind::Name, .Id = 0, .Name = {u'x', 0xD800}}, "x\xEF\xBF\xBD"},
      {TResourceKey{.Kind = TKeyKind::Unreadable, .Id = 0, .Name = {}}, "?"},
  };
  for (const auto& t : texts) EXPECT_EQ(t.key.Text(), t.text);
  // As users write names, for the programs and the library alike: "#" and a 16-bit number
  // is an ID, anything else a name.
  const struct {
    const char* written;
    TKeyKind kind;
    std::string text;
  } parsed[] = {
      {"#101", TKeyKind::Id, "#101"},
      {"#0", TKeyKind::Id, "#0"},
      {"#65535", TKeyKind::Id, "#65535"},
      {"#65536", TKeyKind::Name, "#65536"},
      {"#1x", TKeyKind::Name, "#1x"},
      {"#", TKeyKind::Name, "#"},
      {"#-1", TKeyKind::Name, "#-1"},
      {"101", TKeyKind::Name, "101"},
      {"IDR_LUMERA", TKeyKind::Name, "IDR_LUMERA"},
  };
  for (const auto& p : parsed) {
    const TResourceKey key = TResourceKey::Parse(p.written);
    EXPECT_EQ(key.Kind, p.kind) << p.written;
    EXPECT_EQ(key.Text(), p.text);
  }
  EXPECT_EQ(TResourceKey::OfName("\xF0\x9F\x98\x80").Name, std::u16string(u"\U0001F600"));
}

TEST(ResourceKey, KnowsTheStandardTypes) {
  EXPECT_EQ(StandardTypeId("rcdata"), kRcdataTypeId);
  EXPECT_EQ(StandardTypeId("RT_ICON"), 3u);
  EXPECT_EQ(StandardTypeId("Manifest"), 24u);
  EXPECT_EQ(StandardTypeId("IDR_LUMERA"), std::nullopt);
  EXPECT_EQ(TypeText(TResourceKey::OfId(16)), "RT_VERSION");
  EXPECT_EQ(TypeText(TResourceKey::OfId(13)), "#13");
  EXPECT_EQ(TypeText(TResourceKey::OfName("DOCS")), "DOCS");
}

}  // namespace
}  // namespace lumera
