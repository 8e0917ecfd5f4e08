#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "test_support.h"
#include "tools/pack.h"
#include "tools/stream_packer.h"

namespace lumera {
namespace {

using testing::ReadFile;
using testing::RunChild;
using testing::TChildOptions;
using testing::TChildRun;
using testing::TScratchDir;
using testing::WriteFile;

constexpr const char* kBannerRest =
    "  Intended for programmers/advanced users. Drop an IDR_LUMERA onto this tool.\r\n\r\n";

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

TChildRun RunTool(const TScratchDir& dir, const std::vector<std::string>& args,
                  const TChildOptions& options = {}) {
  return RunChild(LUMERA_BINARY, args, dir, options);
}

bool Exists(const std::string& path) {
  return std::filesystem::exists(path);
}

// Literals only, so that the 20-byte stop falls exactly after 20 bytes.
std::vector<uint8_t> LiteralStream(const std::string& text) {
  TStreamPacker packer;
  for (char c : text) packer.Literal(static_cast<uint8_t>(c));
  packer.EndMarker();
  return packer.Finish();
}

TEST(Tool, WithoutAnArgumentPrintsTheBannerAndWaits) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {""}}) {
    TScratchDir dir;
    const TChildRun run = RunTool(dir, args);
    EXPECT_EQ(run.Status, 0);
    const size_t lineEnd = run.Out.find("\r\n");
    const std::string title = run.Out.substr(0, lineEnd);
    EXPECT_TRUE(std::regex_match(
        title, std::regex("~ Lumera decompressor ~\tby [^\t]+\t[^\t@]+@[^\t]+\t[^\t]+")))
        << title;
    EXPECT_EQ(run.Out.substr(lineEnd + 2), kBannerRest);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
  }
}

// Up to 19 bytes reach the end marker; longer texts stop after 20. Both end in "ok.".
TEST(Tool, DecodesToOutXmlBesideTheInputAndEndsWithOk) {
  for (const std::string text : {"<a>short</a>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"}) {
    TScratchDir dir;
    std::filesystem::create_directory(dir.Path() / "sub");
    WriteFile(dir / "sub/blob.lum", LiteralStream(text));
    WriteFile(dir / "dec.xml", text);
    const TChildRun run = RunTool(dir, {"sub/blob.lum"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
    EXPECT_TRUE(run.Out.ends_with("\r\nok.\r\n")) << run.Out.substr(run.Out.size() - 40);
    EXPECT_EQ(ReadFile(dir / "sub/out.xml"), text.substr(0, 20));
    EXPECT_FALSE(Exists(dir / "out.xml"));
  }
}

struct TFailureCase {
  const char* name;
  std::function<std::vector<std::string>(const TScratchDir&)> setUp;  // returns the arguments
  TChildOptions options;
  const char* className;
  std::string message;      // a pattern; DIR stands for the scratch folder
  const char* traceEnding;  // what standard output ends with before the report
  std::string outXml;       // out.xml afterwards
};

std::string ValidStream() {
  const std::vector<uint8_t> stream = Pack(Bytes("<a>hello</a>"));
  return {stream.begin(), stream.end()};
}

std::vector<TFailureCase> FailureCases() {
  return {
      {"missing source",
       [](const TScratchDir& d) {
         WriteFile(d / "out.xml", "kept");
         return std::vector<std::string>{"missing.lum"};
       },
       {},
       "EFOpenError",
       "Cannot open file \"DIR/missing.lum\". No such file or directory\\.",
       kBannerRest,
       "kept"},
      {"source is out.xml",
       [](const TScratchDir& d) {
         WriteFile(d / "out.xml", ValidStream());
         return std::vector<std::string>{"out.xml"};
       },
       {},
       "EFCreateError",
       "Cannot create file \"DIR/out.xml\". .+\\.",
       kBannerRest,
       ValidStream()},
      {"too short",
       [](const TScratchDir& d) {
         WriteFile(d / "short.lum", "1234567");
         WriteFile(d / "out.xml", "emptied");
         return std::vector<std::string>{"short.lum"};
       },
       {},
       "Exception",
       "Too short source stream, min length is 8 bytes\\.",
       kBannerRest,
       ""},
      {"no reference",
       [](const TScratchDir& d) {
         WriteFile(d / "blob.lum", ValidStream());
         return std::vector<std::string>{"blob.lum"};
       },
       {},
       "EFOpenError",
       "Cannot open file \"DIR/dec.xml\". No such file or directory\\.",
       " ",
       ""},
      {"reference is the source",
       [](const TScratchDir& d) {
         WriteFile(d / "dec.xml", ValidStream());
         return std::vector<std::string>{"dec.xml"};
       },
       {},
       "EFOpenError",
       "Cannot open file \"DIR/dec.xml\". .+\\.",
       " ",
       ""},
      {"output closed",
       [](const TScratchDir&) { return std::vector<std::string>{}; },
       {.CloseOutput = true},
       "EInOutError",
       ".+\\.",
       "",
       ""},
      {"output pipe broken",
       [](const TScratchDir&) { return std::vector<std::string>{}; },
       {.BrokenPipe = true},
       "EInOutError",
       ".+\\.",
       "",
       ""},
  };
}

std::string Escaped(const std::string& text) {
  return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

TEST(Tool, EachFailureEndsWithItsReportAndStatusOne) {
  for (const TFailureCase& c : FailureCases()) {
    TScratchDir dir;
    const std::vector<std::string> args = c.setUp(dir);
    const TChildRun run = RunTool(dir, args, c.options);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run.Status, 1);
    const std::string message =
        std::regex_replace(c.message, std::regex("DIR"), Escaped(dir.Path().string()));
    EXPECT_TRUE(std::regex_match(
        run.Err, std::regex(std::string("Exception ") + c.className +
                            " in module lumera at [0-9A-F]{8}\\.\r\n" + message + "\r\n\r\n")))
        << run.Err;
    EXPECT_TRUE(run.Out.ends_with(c.traceEnding)) << run.Out;
    EXPECT_EQ(run.Out.find("ok."), std::string::npos);
    if (Exists(dir / "out.xml") || !c.outXml.empty()) {
      EXPECT_EQ(ReadFile(dir / "out.xml"), c.outXml);
    }
  }
}

TEST(Tool, TheReportNamesTheSameThrowSiteOnEveryRun) {
  TScratchDir dir;
  const std::string first = RunTool(dir, {"missing.lum"}).Err;
  EXPECT_EQ(RunTool(dir, {"missing.lum"}).Err, first);
  WriteFile(dir / "short.lum", "");
  EXPECT_NE(RunTool(dir, {"short.lum"}).Err.substr(0, 50), first.substr(0, 50));
}

TEST(PackCli, HelpRefusalAndSilentDecoding) {
  TScratchDir dir;
  const TChildRun help = RunChild(LUMERA_PACK_BINARY, {"--help"}, dir);
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Out.find("usage"), std::string::npos);

  std::mt19937 random(11);
  std::string noise(200000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  WriteFile(dir / "noise.bin", noise);
  const TChildRun refused = RunChild(LUMERA_PACK_BINARY, {"noise.bin", "noise.lum"}, dir);
  EXPECT_EQ(refused.Status, 1);
  EXPECT_NE(refused.Err.find("cannot be carried"), std::string::npos) << refused.Err;
  EXPECT_FALSE(Exists(dir / "noise.lum"));

  std::vector<uint8_t> trailing = LiteralStream("<x/>");
  trailing.insert(trailing.end(), {1, 2, 3, 4});
  WriteFile(dir / "trailing.lum", trailing);
  const TChildRun decoded = RunChild(LUMERA_PACK_BINARY, {"-d", "trailing.lum", "x.xml"}, dir);
  EXPECT_EQ(decoded.Status, 0);
  EXPECT_NE(decoded.Err.find("not the whole source stream has been used"), std::string::npos);
  EXPECT_EQ(decoded.Out, "");
  EXPECT_EQ(ReadFile(dir / "x.xml"), "<x/>");

  const TChildRun missing = RunChild(LUMERA_PACK_BINARY, {"-d", "none.lum", "y.xml"}, dir);
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("EFOpenError"), std::string::npos);
  EXPECT_FALSE(Exists(dir / "y.xml"));
}

}  // namespace
}  // namespace lumera
