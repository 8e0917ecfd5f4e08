// What only the Windows build has: drive letters and both delimiters in the output path,
// sharing denied by the open itself, paths outside ASCII on the command line, in files and
// in the report, standard streams that carry bytes unchanged, lumera-pack's safe output
// with the system's own means, the input's time kept, and wildcards expanded.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>

#include "child_process.h"
#include "encoder/pack.h"
#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "test_support.h"

namespace lumera {
namespace {

using testing::ReadFile;
using testing::TScratchDir;
using testing::Utf8Path;

const std::string kResume = "R\xC3\xA9sum\xC3\xA9";  // "Résumé"

std::string Example(const std::string& name) {
  return ReadFile(std::string(LUMERA_EXAMPLES) + "/" + name);
}

// The bundled example at blob (relative to dir), dec.xml in dir, which is the working
// directory; out.xml must appear at out and nowhere else.
TEST(WindowsTool, OutXmlGoesBesideTheInputByTheWindowsRule) {
  struct Case {
    const char* blob;
    std::string arg;  // FULL stands for the scratch folder's full path
    const char* out;
  };
  for (const Case& c : {
           Case{"data\\blob.bin", "FULL\\data\\blob.bin", "data\\out.xml"},
           Case{"sub\\blob.bin", "sub\\blob.bin", "sub\\out.xml"},
           Case{"data\\blob.bin", "data/blob.bin", "data\\out.xml"},
           Case{"blob.bin", "blob.bin", "out.xml"},
           Case{"blob.bin", "C:blob.bin", "out.xml"},  // drive C's current folder
           Case{"R\xC3\xA9sum\xC3\xA9\\blob.bin", kResume + "\\blob.bin",
                "R\xC3\xA9sum\xC3\xA9\\out.xml"},
       }) {
    SCOPED_TRACE(c.arg);
    TScratchDir dir;
    if (c.arg.starts_with("C:") && dir.Path().root_name() != "C:") {
      ADD_FAILURE() << "the scratch folder is not on drive C";
      continue;
    }
    std::filesystem::create_directories(Utf8Path(dir / c.blob).parent_path());
    testing::WriteFile(dir / c.blob, Example("sample.lum"));
    const std::string reference = Example("dec.xml");
    testing::WriteFile(dir / "dec.xml", reference);
    const std::string arg = c.arg.starts_with("FULL") ? dir / c.arg.substr(5) : c.arg;
    const testing::TChildRun run = testing::RunChild(LUMERA_BINARY, {arg}, dir);
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(run.Out.ends_with("\r\nok.\r\n"));
    EXPECT_EQ(ReadFile(dir / c.out), reference.substr(0, 20));
    int outputs = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.Path())) {
      outputs += entry.path().filename() == "out.xml";
    }
    EXPECT_EQ(outputs, 1);
  }
}

// The report names the path as the user wrote it, as UTF-8 in a file; the system's words
// are not asserted, since Wine's differ from Windows'.
TEST(WindowsTool, AReportNamesAPathOutsideAsciiInUtf8) {
  TScratchDir dir;
  std::filesystem::create_directory(Utf8Path(dir / kResume));
  const testing::TChildRun run =
      testing::RunChild(LUMERA_BINARY, {kResume + "\\missing.lum"}, dir);
  EXPECT_EQ(run.Status, 1);
  EXPECT_NE(run.Err.find("\r\nCannot open file \"" + dir / kResume + "\\missing.lum\". "),
            std::string::npos)
      << run.Err;
  EXPECT_TRUE(std::filesystem::is_empty(Utf8Path(dir / kResume)));
}

// Share mode 0 refuses every second opener, whatever either asks for, and a refused
// create truncates nothing.
TEST(WindowsFiles, AHeldFileRefusesASecondOpenerAndKeepsItsContent) {
  TScratchDir dir;
  std::filesystem::create_directory(Utf8Path(dir / kResume));
  const std::string path = dir / (kResume + "\\held.bin");
  for (TFileMode held : {TFileMode::OpenRead, TFileMode::Create}) {
    for (TFileMode second : {TFileMode::OpenRead, TFileMode::Create}) {
      testing::WriteFile(path, "keep");
      {
        TFileStream holder(path, held);
        if (held == TFileMode::Create) holder.Write("keep", 4);
        const std::string message =
            testing::FailureMessage([&] { TFileStream stream(path, second); });
        const std::string verb = second == TFileMode::Create ? "create" : "open";
        EXPECT_TRUE(message.starts_with("Cannot " + verb + " file \"" + path + "\". ")) << message;
      }
      EXPECT_EQ(ReadFile(path), "keep");
      EXPECT_NO_THROW((TFileStream{path, second})) << "the file stayed held";
    }
  }
}

// Bytes that a text-mode stream would change: LF, CR LF, Ctrl-Z and every other value.
std::string BinaryText() {
  std::string text = "line\nline\r\n\x1a after Ctrl-Z\n";
  for (int round = 0; round < 40; ++round) {
    for (int c = 0; c < 256; ++c) text.push_back(static_cast<char>(c));
  }
  return text;
}

// Each case starts in a fresh folder holding s.bin (BinaryText) and runs lumera-pack with
// args, standard input from input when given. Afterwards check must hold.
struct TPackCase {
  const char* Name;
  std::vector<std::string> Args;
  std::optional<std::string> Input;
  int Status;
  std::string Err;  // a pattern searched for in standard error; empty: nothing there
  std::function<void(const TScratchDir&, const testing::TChildRun&)> Check;
  std::function<void(const TScratchDir&)> SetUp = [](const TScratchDir&) {};
};

void ExpectFiles(const TScratchDir& dir, std::vector<std::string> names) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    found.push_back(testing::Utf8(entry.path().filename()));
  }
  std::sort(found.begin(), found.end());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(found, names) << "a temporary file left behind, or an output missing";
}

// A whole number of seconds, which every file system keeps exactly.
const std::filesystem::file_time_type kLongAgo =
    std::chrono::floor<std::chrono::seconds>(std::filesystem::file_time_type::clock::now()) -
    std::chrono::hours(24 * 400);

std::string Packed(const TScratchDir& dir, const std::string& input) {
  return testing::RunChild(LUMERA_PACK_BINARY, {"-c", input}, dir).Out;
}

std::vector<TPackCase> PackCases() {
  return {
      {"standard input to standard output and back", {"-9"}, "s.bin", 0, "",
       [](const TScratchDir& dir, const testing::TChildRun& run) {
         testing::WriteFile(dir / "x.lum", run.Out);
         testing::TChildOptions fromStream;
         fromStream.Input = dir / "x.lum";
         const testing::TChildRun back =
             testing::RunChild(LUMERA_PACK_BINARY, {"-d"}, dir, fromStream);
         EXPECT_EQ(back.Status, 0) << back.Err;
         EXPECT_TRUE(back.Out == BinaryText()) << "the round trip changed the bytes";
       }},
      {"a path outside ASCII", {kResume + "\\s.bin"}, std::nullopt, 0, "",
       [](const TScratchDir& dir, const testing::TChildRun&) {
         EXPECT_EQ(ReadFile(dir / (kResume + "\\s.bin.lum")), Packed(dir, "s.bin"));
       },
       [](const TScratchDir& dir) {
         std::filesystem::create_directory(Utf8Path(dir / kResume));
         testing::WriteFile(dir / (kResume + "\\s.bin"), BinaryText());
       }},
      {"the same file", {"-f", "s.bin", "s.bin"}, std::nullopt, 1,
       "s\\.bin: input and output are the same file",
       [](const TScratchDir& dir, const testing::TChildRun&) {
         EXPECT_EQ(ReadFile(dir / "s.bin"), BinaryText());
         ExpectFiles(dir, {"s.bin"});
       }},
      {"an existing output needs -f", {"s.bin", "old.lum"}, std::nullopt, 1,
       "old\\.lum: already exists; use -f to overwrite",
       [](const TScratchDir& dir, const testing::TChildRun&) {
         EXPECT_EQ(ReadFile(dir / "old.lum"), "old");
       },
       [](const TScratchDir& dir) { testing::WriteFile(dir / "old.lum", "old"); }},
      {"-f replaces it whole", {"-f", "s.bin", "old.lum"}, std::nullopt, 0, "",
       [](const TScratchDir& dir, const testing::TChildRun&) {
         EXPECT_EQ(ReadFile(dir / "old.lum"), Packed(dir, "s.bin"));
         ExpectFiles(dir, {"s.bin", "old.lum"});
       },
       [](const TScratchDir& dir) { testing::WriteFile(dir / "old.lum", "old"); }},
      // cmd.exe passes wildcards on; the program expands them as the Windows builds of the
      // common compressors do.
      {"wildcards match in the working folder and in another",
       {"-t", "*.lum", "sub\\?.lum", "none*.lum"}, std::nullopt, 1,
       "^a\\.lum: OK \\(3 decoded bytes\\)\nb\\.lum: OK \\(3 decoded bytes\\)\n"
       "sub\\\\c\\.lum: OK \\(3 decoded bytes\\)\n"
       "lumera-pack: none\\*\\.lum: cannot open the input \\(.+\\)\n$",
       [](const TScratchDir&, const testing::TChildRun&) {},
       [](const TScratchDir& dir) {
         std::filesystem::create_directory(Utf8Path(dir / "sub"));
         for (const char* name : {"a.lum", "b.lum", "sub\\c.lum"}) {
           testing::WriteFile(dir / name, Pack(std::vector<uint8_t>{'<', 'a', '>'}));
         }
       }},
      {"an output takes its input's time", {"s.bin"}, std::nullopt, 0, "",
       [](const TScratchDir& dir, const testing::TChildRun&) {
         EXPECT_EQ(std::filesystem::last_write_time(Utf8Path(dir / "s.bin.lum")), kLongAgo);
       },
       [](const TScratchDir& dir) {
         std::filesystem::last_write_time(Utf8Path(dir / "s.bin"), kLongAgo);
       }},
  };
}

TEST(WindowsPack, EachCommandLineDoesWhatItSays) {
  for (const TPackCase& c : PackCases()) {
    SCOPED_TRACE(c.Name);
    TScratchDir dir;
    testing::WriteFile(dir / "s.bin", BinaryText());
    c.SetUp(dir);
    testing::TChildOptions options;
    if (c.Input) options.Input = dir / *c.Input;
    const testing::TChildRun run = testing::RunChild(LUMERA_PACK_BINARY, c.Args, dir, options);
    EXPECT_EQ(run.Status, c.Status) << run.Err;
    if (c.Err.empty()) {
      EXPECT_EQ(run.Err, "");
    } else {
      EXPECT_TRUE(std::regex_search(run.Err, std::regex(c.Err))) << run.Err;
    }
    c.Check(dir, run);
  }
}

// A target that another opener holds is not replaced, and no temporary file stays.
TEST(WindowsPack, AHeldOutputIsLeftAsItWas) {
  TScratchDir dir;
  testing::WriteFile(dir / "s.bin", BinaryText());
  testing::WriteFile(dir / "held.lum", "held");
  {
    const TFileStream holder(dir / "held.lum", TFileMode::OpenRead);
    const testing::TChildRun run =
        testing::RunChild(LUMERA_PACK_BINARY, {"-f", "s.bin", "held.lum"}, dir);
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(run.Err.starts_with("lumera-pack: held.lum: cannot replace the output (")) << run.Err;
  }
  EXPECT_EQ(ReadFile(dir / "held.lum"), "held");
  ExpectFiles(dir, {"s.bin", "held.lum"});
}

}  // namespace
}  // namespace lumera
