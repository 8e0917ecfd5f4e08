#include "programs/resource_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "encoder/pack.h"
#include "pe_fixture.h"
#include "resource/pe_image.h"

namespace lumera {
namespace {

using testing::BytesOf;
using testing::Example;
using testing::Executable;
using testing::FailureMessage;
using testing::LayoutOf;
using testing::TScratchDir;
using testing::TTreeLayout;

TEST(ResourceOptions, SelectAResourceAndNameItsFile) {
  const struct {
    TResourceOptions options;
    std::string type;
    std::string name;
    std::string file;
  } cases[] = {
      {{}, "RT_RCDATA", "IDR_LUMERA", "IDR_LUMERA"},
      {{.Name = "Blob"}, "RT_RCDATA", "Blob", "Blob"},
      {{.Name = "#101"}, "RT_RCDATA", "#101", "101"},
      {{.Name = "#1x"}, "RT_RCDATA", "#1x", "#1x"},
      {{.Name = "a/b"}, "RT_RCDATA", "a/b", "a_b"},
      {{.Id = 7}, "RT_RCDATA", "#7", "7"},
      {{.Type = "24"}, "RT_MANIFEST", "IDR_LUMERA", "IDR_LUMERA"},
      {{.Type = "manifest"}, "RT_MANIFEST", "IDR_LUMERA", "IDR_LUMERA"},
      {{.Type = "rt_icon"}, "RT_ICON", "IDR_LUMERA", "IDR_LUMERA"},
      {{.Type = "DOCS"}, "DOCS", "IDR_LUMERA", "IDR_LUMERA"},
  };
  for (const auto& c : cases) {
    const TResourceQuery query = QueryOf(c.options);
    EXPECT_EQ(TypeText(query.Type), c.type);
    EXPECT_EQ(query.Name.Text(), c.name);
    EXPECT_EQ(DefaultExtractName(c.options, false), c.file + ".lum");
    EXPECT_EQ(DefaultExtractName(c.options, true), c.file + ".xml");
  }
  EXPECT_EQ(QueryOf({.Language = 1031}).Language, 1031u);
  EXPECT_EQ(FailureMessage([] { QueryOf({.Name = "A", .Id = 1}); }),
            "--name and --id cannot be given together");
}

class ResourceCommands : public testing::TPeFixtureTest {};

TEST_F(ResourceCommands, ExtractRawOrDecodedAndSayWhichLanguage) {
  const std::string choice =
      "IDR_LUMERA is there in languages 1031, 1033: took 1031 (choose another with --language)";
  const struct {
    const char* exe;
    TResourceOptions options;
    bool decode;
    const char* content;
    std::vector<std::string> notices;
  } cases[] = {
      {"lumera64", {}, false, "sample.lum", {}},
      {"lumera32", {}, true, "dec.xml", {}},
      {"numeric_id", {.Id = 101}, true, "dec.xml", {}},
      {"languages", {}, false, "sample.lum", {choice}},
      {"languages", {}, true, "dec.xml", {choice}},
      {"languages", {.Language = 1033}, false, "dec.xml", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exe);
    const TExtraction extraction = ExtractResource(Executable(c.exe), c.options, c.decode);
    EXPECT_EQ(extraction.Bytes, Example(c.content));
    EXPECT_EQ(extraction.Notices, c.notices);
  }
}

TEST_F(ResourceCommands, ListEveryResourceInATable) {
  EXPECT_EQ(ResourceTable(Executable("mixed")),
            "TYPE         NAME        LANG  SIZE  OFFSET\n"
            "DOCS         README      1033  227   0x000009E8\n"
            "RT_STRING    #1          1033  44    0x00000AD0\n"
            "RT_RCDATA    IDR_LUMERA  1033  132   0x00000B00\n"
            "RT_RCDATA    ZZ_OTHER    1033  227   0x00000B88\n"
            "RT_VERSION   #1          1033  92    0x00000C70\n"
            "RT_MANIFEST  #1          1033  227   0x00000CD0\n");

  std::vector<uint8_t> damaged = Executable("languages");
  WriteLe32(damaged, LayoutOf(damaged).DataEntry + 4, 0);
  EXPECT_EQ(
      ResourceTable(damaged),
      "TYPE       NAME        LANG  SIZE  OFFSET\n"
      "RT_RCDATA  IDR_LUMERA  1031  -     -           damaged: resource data entry has size 0\n"
      "RT_RCDATA  IDR_LUMERA  1033  227   0x00000910\n");

  std::vector<uint8_t> bare = Executable("lumera64");
  const uint64_t resourceSlot = ReadLe32(bare, 0x3C) + 24 + 112 + 16;
  WriteLe32(bare, resourceSlot, 0);
  EXPECT_EQ(ResourceTable(bare), "no resources\n");
}

TEST_F(ResourceCommands, ReplaceAStreamOfAnySizeAndCheckWhatItGivesBack) {
  const std::vector<uint8_t> exe = Executable("lumera64");
  std::string numbers;
  for (int i = 0; i < 1000; ++i) numbers += std::to_string(i * 7919 % 10007) + " ";
  for (const std::string& text : {std::string("<a>shorter</a>"), numbers}) {
    const std::vector<uint8_t> stream = Pack(BytesOf(text));
    const TReplacement replaced = ReplaceStream(exe, {}, stream, false);
    const std::vector<uint8_t>& copy = replaced.Executable;
    EXPECT_EQ(copy.size() == exe.size(), text.size() < 100);
    EXPECT_EQ(ExtractResource(copy, {}, true).Bytes, BytesOf(text));
    CheckReplaced(copy, {}, replaced.Languages, stream, BytesOf(text));
    EXPECT_EQ(FailureMessage([&] {
                CheckReplaced(copy, {}, replaced.Languages, stream, BytesOf(text + "!"));
              }),
              "the stream read back from the new executable does not decode to the text");
    EXPECT_EQ(FailureMessage([&] {
                CheckReplaced(copy, {}, replaced.Languages, Pack(BytesOf(text + "!")), {});
              }),
              "the new executable does not hold the new stream in language " +
                  std::to_string(replaced.Languages.at(0)));
  }
}

// Of a resource in two languages, the first is patched unless another is chosen, or each
// of them; the notice names what was patched, and the check reads every language patched.
TEST_F(ResourceCommands, ReplaceNamesTheLanguagePatchedAndPatchesEachOnRequest) {
  const std::vector<uint8_t> exe = Executable("languages");
  const std::vector<uint8_t> stream = Pack(BytesOf("<a>put back</a>"));
  const std::string choice = "IDR_LUMERA is there in languages 1031, 1033: patched ";
  const struct {
    const char* name;
    TResourceOptions options;
    std::vector<uint32_t> patched;
    std::string notice;
  } cases[] = {
      {"the first",
       {},
       {1031},
       choice + "1031 (choose another with --language, or patch each with --all-languages)"},
      {"the one chosen", {.Language = 1033}, {1033}, choice + "1033"},
      {"each", {.AllLanguages = true}, {1031, 1033}, choice + "each of them"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const TReplacement replaced = ReplaceStream(exe, c.options, stream, false);
    EXPECT_EQ(replaced.Languages, c.patched);
    EXPECT_EQ(replaced.Notices, std::vector<std::string>{c.notice});
    CheckReplaced(replaced.Executable, c.options, replaced.Languages, stream, {});
    for (const auto& [language, original] :
         {std::pair{1031u, "sample.lum"}, std::pair{1033u, "dec.xml"}}) {
      const bool patched = std::count(c.patched.begin(), c.patched.end(), language) == 1;
      EXPECT_EQ(ExtractResource(replaced.Executable, {.Language = language}, false).Bytes,
                patched ? stream : Example(original))
          << language;
    }
  }
}

// wrestool names a type with its number or its quoted name, and gives the RVA as the
// offset. For a named type it prints the type's name in place of the resource's, so
// names are compared for numbered types only.
std::string WrestoolView(const std::vector<TResourceInfo>& list) {
  const auto keyText = [](const TResourceKey& key) {
    if (key.Kind == TKeyKind::Id) return std::to_string(key.Id);
    std::string quoted = "'";
    return quoted.append(key.Text()).append("'");
  };
  std::ostringstream view;
  for (const TResourceInfo& info : list) {
    const std::string name = info.Type.Kind == TKeyKind::Id ? keyText(info.Name) : "-";
    view << keyText(info.Type) << " " << name << " " << info.Language.value_or(0) << " 0x"
         << std::hex << info.Rva << std::dec << " " << info.Size << "\n";
  }
  return view.str();
}

std::string ParsedWrestool(const std::string& output) {
  const std::regex line(
      "--type=(\\d+|'[^']*') --name=(\\d+|'[^']*') --language=(\\d+) "
      "\\[(?:type=\\w+ )?offset=(0x[0-9a-f]+) size=(\\d+)\\]");
  std::ostringstream view;
  std::istringstream lines(output);
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) {
      ADD_FAILURE() << "unexpected wrestool line: " << text;
      continue;
    }
    const std::string name = m[1].str().starts_with("'") ? "-" : m[2].str();
    view << m[1] << " " << name << " " << m[3] << " " << m[4] << " " << m[5] << "\n";
  }
  return view.str();
}

// wrestool lists what we list and extracts the bytes we find, also in grown files: PE32
// and PE32+, the stream moved within .rsrc or into a section of its own.
TEST_F(ResourceCommands, WrestoolAgreesWithTheListAndTheBytes) {
  if (std::string(LUMERA_WRESTOOL).empty()) {
    GTEST_SKIP() << "wrestool (icoutils) is not installed: nothing to compare the list with";
  }
  TScratchDir dir;
  const auto key = [](const TResourceKey& k) {
    return k.Kind == TKeyKind::Id ? std::to_string(k.Id) : k.Text();
  };
  const auto check = [&](const std::string& name, const std::vector<uint8_t>& exe) {
    SCOPED_TRACE(name);
    testing::WriteFile(dir / (name + ".exe"), exe);
    const testing::TChildRun run = testing::RunChild(LUMERA_WRESTOOL, {"-l", name + ".exe"}, dir);
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ParsedWrestool(run.Out), WrestoolView(ListResourceEntries(exe)));
    for (const TResourceInfo& r : ListResourceEntries(exe)) {
      const std::vector<std::string> args{
          "-x",         "--raw",     "-t", key(r.Type),
          "-n",         key(r.Name), "-L", std::to_string(*r.Language),
          name + ".exe"};
      const TResourceQuery query{.Type = r.Type, .Name = r.Name, .Language = r.Language};
      EXPECT_EQ(BytesOf(testing::RunChild(LUMERA_WRESTOOL, args, dir).Out),
                LookUpResource(exe, query).Bytes);
    }
  };
  for (const char* exe : {"lumera64", "lumera32", "numeric_id", "languages", "mixed"}) {
    check(exe, Executable(exe));
  }
  check("replaced", ReplaceStream(Executable("mixed"), {.Name = "zz_other"},
                                  Pack(BytesOf("<a>put back</a>")), false)
                        .Executable);
  for (const char* exe : {"lumera32", "mixed", "mixed_tail"}) {
    check(std::string(exe) + "_grown",
          ReplaceResource(Executable(exe), {}, std::vector<uint8_t>(3000, 'g')));
  }
}

}  // namespace
}  // namespace lumera
