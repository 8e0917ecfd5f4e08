#include "platform/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace lumera {
namespace {

TEST(Console, LinesEndWithCrLfAndPendingTextWaitsForFlushOrPause) {
  TMemoryConsole console("one\n");
  console.WriteLine("first");
  console.WriteLine();
  console.Write("w ");
  EXPECT_EQ(console.Output(), "first\r\n\r\n");
  console.Flush();
  EXPECT_EQ(console.Output(), "first\r\n\r\nw ");
  console.Write("in: ");
  console.Pause();
  console.Pause();  // at the end of input: returns at once
  EXPECT_EQ(console.Output(), "first\r\n\r\nw in: ");
  EXPECT_EQ(console.Pauses(), 2);
}

// Standard input replaced by a pipe holding two lines and then its end: each pause must
// take exactly one line and leave the rest unread.
TEST(Console, StandardPauseConsumesExactlyOneLine) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const std::string input = "one\ntwo\n";
  ASSERT_EQ(::write(pipeEnds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  ::close(pipeEnds[1]);
  const int savedInput = ::dup(STDIN_FILENO);
  ::dup2(pipeEnds[0], STDIN_FILENO);
  ::close(pipeEnds[0]);
  TStdConsole console;
  console.Pause();
  char rest[8] = {};
  const ssize_t got = ::read(STDIN_FILENO, rest, 4);
  console.Pause();  // nothing left: returns at once
  ::dup2(savedInput, STDIN_FILENO);
  ::close(savedInput);
  EXPECT_EQ(got, 4);
  EXPECT_STREQ(rest, "two\n");
}

}  // namespace
}  // namespace lumera
