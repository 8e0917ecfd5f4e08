#include "platform/output_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>

#include "test_support.h"

namespace lumera {
namespace {

using testing::FailureMessage;
using testing::ReadFile;
using testing::TScratchDir;
using testing::WriteFile;

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TEST(OutputFile, LinksAreFollowedToTheirLastTarget) {
  TScratchDir dir(true);
  std::filesystem::create_directory("sub");
  WriteFile("d", "target");
  const std::pair<const char*, const char*> links[] = {
      {"a", "b"},         {"b", "sub/c"},     {"sub/c", "../d"}, {"dangling", "sub/none"},
      {"loop1", "loop2"}, {"loop2", "loop1"},
  };
  for (const auto& [link, target] : links) std::filesystem::create_symlink(target, link);
  EXPECT_EQ(FollowLinks("a"), "./sub/../d");
  EXPECT_EQ(FollowLinks("d"), "d");
  EXPECT_EQ(FollowLinks("dangling"), "./sub/none");
  EXPECT_EQ(FollowLinks("new"), "new");
  EXPECT_EQ(FailureMessage([] { FollowLinks("loop1"); }),
            "loop1: cannot write the output (Too many levels of symbolic links)");

  // Writing through the chain replaces the last target and leaves every link a link.
  {
    TOutputFile output("a");
    output.Write(Bytes("new"));
    output.Commit();
  }
  EXPECT_EQ(ReadFile("d"), "new");
  EXPECT_TRUE(std::filesystem::is_symlink("a") && std::filesystem::is_symlink("sub/c"));
}

// Without Commit, and on every way out short of it, the target stays as it was and no
// temporary file is left.
TEST(OutputFile, NothingReplacesTheTargetButACommit) {
  TScratchDir dir(true);
  WriteFile("kept", "old");
  {
    TOutputFile output("kept");
    output.Write(Bytes("partial"));
    EXPECT_EQ(ReadFile("kept"), "old");
  }
  EXPECT_EQ(ReadFile("kept"), "old");
  EXPECT_EQ(FailureMessage([] {
              TOutputFile output("kept");
              throw Exception("stopped");
            }),
            "stopped");
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t child = ::fork();
    if (child == 0) {
      TOutputFile output("kept");
      output.Write(Bytes("partial"));
      ::raise(signal);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
  }
  EXPECT_EQ(ReadFile("kept"), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);
}

TEST(OutputFile, TheTargetsModeIsKeptAndANewFileGetsTheUmasks) {
  TScratchDir dir(true);
  using std::filesystem::perms;
  for (const auto& [name, mode] : {std::pair{"old", 0604}, {"old.exe", 0600}, {"exe", 0751}}) {
    WriteFile(name, "x");
    std::filesystem::permissions(name, perms(mode));
  }
  const auto inputTime = std::filesystem::file_time_type::clock::now() - std::chrono::hours(50);
  std::filesystem::last_write_time("exe", inputTime);
  const mode_t previous = ::umask(027);
  // A copy of an executable takes the executable's permissions, replacing a file or not;
  // a file packed or decoded takes the input's when it is new, and the input's time.
  const struct {
    const char* name;
    TOutputOrigin origin;
    perms expected;
  } outputs[] = {{"old", {}, perms(0604)},
                 {"new", {}, perms(0640)},
                 {"new.exe", {"exe", TDerivation::Edited}, perms(0751)},
                 {"old.exe", {"exe", TDerivation::Edited}, perms(0751)},
                 {"new.lum", {"exe", TDerivation::Converted}, perms(0751)},
                 {"old", {"exe", TDerivation::Converted}, perms(0604)}};
  for (const auto& o : outputs) {
    TOutputFile output(o.name, o.origin);
    output.Write(Bytes("y"));
    output.Commit();
    EXPECT_EQ(std::filesystem::status(o.name).permissions(), o.expected) << o.name;
    EXPECT_EQ(std::filesystem::last_write_time(o.name) == inputTime,
              o.origin.Derivation == TDerivation::Converted && !o.origin.Input.empty())
        << o.name;
  }
  ::umask(previous);
  for (const auto& o : outputs) EXPECT_EQ(ReadFile(o.name), "y");
}

}  // namespace
}  // namespace lumera
