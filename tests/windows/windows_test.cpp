// What only the Windows build has: drive letters and both delimiters in the output path,
// sharing denied by the open itself, and paths outside ASCII on the command line, in files
// and in the report.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "child_process.h"
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

}  // namespace
}  // namespace lumera
