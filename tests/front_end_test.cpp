#include <gtest/gtest.h>

#include "app/failure_report.h"
#include "app/output_path.h"
#include "platform/file_stream.h"

namespace lumera {
namespace {

TEST(OutputPath, OutXmlGoesInTheDirectoryPartUnderEitherRule) {
  struct Case {
    const char* source;
    TPathRule rule;
    const char* output;
  };
  for (const Case& c : {
           Case{"blob.bin", kPosixPaths, "out.xml"},  // beside the input, not in the root
           Case{"sub/blob.bin", kPosixPaths, "sub/out.xml"},
           Case{"/data/x/blob.bin", kPosixPaths, "/data/x/out.xml"},
           Case{"/blob.bin", kPosixPaths, "/out.xml"},
           Case{"sub\\blob.bin", kPosixPaths, "out.xml"},
           Case{"C:\\data\\blob.bin", kDrivePaths, "C:\\data\\out.xml"},
           Case{"C:blob.bin", kDrivePaths, "C:out.xml"},  // drive C's current folder
           Case{"sub\\blob.bin", kDrivePaths, "sub\\out.xml"},
           Case{"blob.bin", kDrivePaths, "out.xml"},
           Case{"data/blob.bin", kDrivePaths, "data/out.xml"},  // Windows takes '/' too
           Case{"\\\\server\\share\\blob.bin", kDrivePaths, "\\\\server\\share\\out.xml"},
       }) {
    EXPECT_EQ(OutputPathFor(c.source, c.rule), c.output) << c.source;
  }
}

// The full path that the file messages quote, for source, out.xml and dec.xml alike.
TEST(OutputPath, MessagesQuoteTheFullPathNormalizedAsText) {
  struct Case {
    const char* path;
    const char* full;
  };
  for (const Case& c : {
           Case{"./src.bin", "/srv/work/src.bin"},
           Case{"sub/../src.bin", "/srv/work/src.bin"},
           Case{"a//b.lum", "/srv/work/a/b.lum"},
           Case{"../x/src.bin", "/srv/x/src.bin"},
           Case{"../../../../up.bin", "/up.bin"},  // ".." at the root stays there
           Case{"sub/./out.xml", "/srv/work/sub/out.xml"},
           Case{"/abs//./dec.xml", "/abs/dec.xml"},
           Case{"sub/", "/srv/work/sub"},
           Case{"..", "/srv"},
           Case{"/", "/"},
       }) {
    EXPECT_EQ(FullPath(c.path, "/srv/work"), c.full) << c.path;
  }
}

TEST(FailureReport, ThreeLinesWithAPeriodAddedOnlyWhereMissing) {
  struct Case {
    const char* message;
    const char* secondLine;
  };
  for (const Case& c : {Case{"Premature stream end.", "Premature stream end."},
                        Case{"Broken pipe", "Broken pipe."}, Case{"", ""}}) {
    EXPECT_EQ(FormatFailureReport({"EInOutError", c.message, 0xA1B2C3D4}, "lumera"),
              std::string("Exception EInOutError in module lumera at A1B2C3D4.\r\n") +
                  c.secondLine + "\r\n\r\n");
  }
  EXPECT_EQ(FormatFailureReport({"Exception", "x", 0x1F}, "tool").substr(0, 39),
            "Exception Exception in module tool at 0");
}

}  // namespace
}  // namespace lumera
