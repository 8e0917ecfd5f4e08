#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/process.h"

namespace lumera {
namespace {

// Blanks separate, quotes group and are dropped, a backslash is a plain character.
TEST(CommandLine, SplitsAsTheUserMeansIt) {
  struct Case {
    const char* line;
    std::vector<std::string> args;
  };
  for (const Case& c : {
           Case{"lumera.exe blob.bin", {"lumera.exe", "blob.bin"}},
           Case{"\"C:\\Program Files\\lumera.exe\" \"C:\\dir\\\" x",
                {"C:\\Program Files\\lumera.exe", "C:\\dir\\", "x"}},
           Case{"lumera  \t\"my blob.bin\"  ", {"lumera", "my blob.bin"}},
           Case{"lumera \"\"", {"lumera", ""}},
           Case{"lumera a\"b c\"d \\\\srv\\s\\\"", {"lumera", "ab cd", "\\\\srv\\s\\"}},
           Case{"lumera R\xC3\xA9sum\xC3\xA9\\blob.bin", {"lumera", "R\xC3\xA9sum\xC3\xA9\\blob.bin"}},
           Case{"", {}},
       }) {
    EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
  }
}

}  // namespace
}  // namespace lumera
