#include "platform/file_stream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "platform/exceptions.h"
#include "platform/input_file.h"
#include "test_support.h"

namespace lumera {
namespace {

using testing::FailureMessage;
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

// A pipe has no size and no positions: it is read to its end at the open, and then
// read, sought and read again like a file.
TEST(FileStream, APipeIsReadToItsEnd) {
  for (size_t size : {size_t{0}, size_t{10}, size_t{300000}}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    // More than a pipe holds, so a writer must run beside the reader.
    std::thread writer([&] {
      for (size_t done = 0; done < size;) {
        const ssize_t put = ::write(ends[1], bytes.data() + done, size - done);
        if (put <= 0) break;
        done += static_cast<size_t>(put);
      }
      ::close(ends[1]);
    });
    {
      TFileStream stream("/proc/self/fd/" + std::to_string(ends[0]), TFileMode::OpenRead);
      writer.join();
      EXPECT_EQ(stream.Size(), static_cast<int64_t>(size));
      for (int pass = 0; pass < 2; ++pass) {
        std::string read(size + 1, '*');
        stream.Seek(0, TSeekOrigin::Beginning);
        EXPECT_EQ(stream.Read(read.data(), read.size()), size) << size;
        EXPECT_EQ(read.substr(0, size), bytes);
      }
      EXPECT_EQ(stream.Write("x", 1), 0u);
    }
    ::close(ends[0]);
  }
}

// The programs' inputs, read whole: exactly the bound is accepted, one byte more is
// refused, and an input without end is refused without being read to it.
TEST(FileStream, WholeInputsStopOneBytePastTheirBound) {
  TScratchDir dir(true);
  WriteFile("ten", "0123456789");
  std::filesystem::create_directory("folder");
  const struct {
    const char* path;
    uint64_t bound;
    const char* failure;  // the class raised, or nullptr
  } cases[] = {
      {"ten", 10, nullptr},
      {"ten", 9, "EInputTooLarge"},
      {"ten", 0, "EInputTooLarge"},
      {"/dev/zero", 1 << 20, "EInputTooLarge"},
      {"/dev/null", 0, nullptr},
      {"none", 10, "EFOpenError"},
      {"folder", 10, "EInOutError"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " within " + std::to_string(c.bound));
    try {
      const std::vector<uint8_t> bytes = ReadWholeInput(c.path, c.bound);
      EXPECT_EQ(c.failure, nullptr);
      EXPECT_EQ(std::string(bytes.begin(), bytes.end()), ReadFile(c.path));
    } catch (const Exception& e) {
      ASSERT_NE(c.failure, nullptr) << e.Message();
      EXPECT_STREQ(e.ClassName(), c.failure);
    }
  }
  EXPECT_EQ(FailureMessage([] { ReadWholeInput("/dev/zero", 3); }),
            "The input holds more than 3 bytes.");
  EXPECT_TRUE(IsRegularFile("ten") && !IsRegularFile("folder") && !IsRegularFile("/dev/null") &&
              !IsRegularFile("none") && !IsRegularFile(kStandardStream));
}

}  // namespace
}  // namespace lumera
