#include "platform/file_stream.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "platform/exceptions.h"
#include "test_support.h"

namespace lumera {
namespace {

using testing::ReadFile;
using testing::TScratchDir;
using testing::WriteFile;

// What a lock held by another opener reads as, instead of the system's "try again".
constexpr const char* kDeniedSharing =
    "The process cannot access the file because it is being used by another process";

// Opens path in mode, expecting the failure of that mode with the given reason.
void ExpectOpenFailure(const std::string& path, TFileMode mode, const std::string& fullPath,
                       const std::string& reason) {
  const bool create = mode == TFileMode::Create;
  try {
    TFileStream stream(path, mode);
    ADD_FAILURE() << "opened " << path;
  } catch (const Exception& e) {
    EXPECT_STREQ(e.ClassName(), create ? "EFCreateError" : "EFOpenError");
    EXPECT_EQ(e.Message(), std::string(create ? "Cannot create file \"" : "Cannot open file \"") +
                               fullPath + "\". " + reason);
  }
}

TEST(FileStream, AHeldFileRefusesASecondOpenerAndKeepsItsContent) {
  TScratchDir dir;
  const std::string path = dir / "held.bin";
  for (TFileMode held : {TFileMode::OpenRead, TFileMode::Create}) {
    for (TFileMode second : {TFileMode::OpenRead, TFileMode::Create}) {
      WriteFile(path, "keep");
      {
        TFileStream holder(path, held);
        if (held == TFileMode::Create) holder.Write("keep", 4);
        ExpectOpenFailure(path, second, path, kDeniedSharing);
        EXPECT_EQ(ReadFile(path), "keep");
      }
      EXPECT_NO_THROW((TFileStream{path, second})) << "the lock outlived its stream";
    }
  }
}

TEST(FileStream, FailuresNameTheFullPath) {
  TScratchDir dir(true);
  const std::string here = std::filesystem::current_path().string() + "/";
  std::filesystem::create_directory("folder");
  for (TFileMode mode : {TFileMode::OpenRead, TFileMode::Create}) {
    ExpectOpenFailure("folder", mode, here + "folder", SystemErrorText(EISDIR));
    ExpectOpenFailure("nowhere/file.bin", mode, here + "nowhere/file.bin", SystemErrorText(ENOENT));
  }
  ExpectOpenFailure("missing.bin", TFileMode::OpenRead, here + "missing.bin",
                    SystemErrorText(ENOENT));
  ExpectOpenFailure(here + "missing.bin", TFileMode::OpenRead, here + "missing.bin",
                    SystemErrorText(ENOENT));
  ExpectOpenFailure("./folder/../missing.bin", TFileMode::OpenRead, here + "missing.bin",
                    SystemErrorText(ENOENT));
}

TEST(FileStream, CreateTruncatesAndWritesReachTheFileAtOnce) {
  TScratchDir dir;
  const std::string path = dir / "out.bin";
  WriteFile(path, "old content");
  TFileStream stream(path, TFileMode::Create);
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_EQ(stream.Write("abc", 3), 3u);
  EXPECT_EQ(ReadFile(path), "abc");
}

}  // namespace
}  // namespace lumera
