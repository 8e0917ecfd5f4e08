// lumera-explain run as a process, as a user would: its options, its exit statuses, the
// standard input, the page file and the --against verdict.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "child_process.h"
#include "encoder/pack.h"
#include "encoder/stream_packer.h"
#include "test_support.h"

namespace lumera {
namespace {

using testing::ReadFile;
using testing::RunChild;
using testing::TChildOptions;
using testing::TChildRun;
using testing::TScratchDir;
using testing::WriteFile;
using Bytes = std::vector<uint8_t>;

constexpr const char* kText = "<list>\n  <item>one</item>\n  <item>two</item>\n</list>\n";

Bytes ToBytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// The folder every case runs in: a good stream of kText, its decoding, a file that
// differs, a stream that fails in the middle, one that is too short, and a folder.
void Populate(const TScratchDir& dir) {
  WriteFile(dir / "s.lum", Pack(ToBytes(kText)));
  WriteFile(dir / "s.txt", std::string(kText));
  std::string other = kText;
  other[9] = 'X';
  WriteFile(dir / "other.txt", other);
  WriteFile(dir / "short.txt", std::string(kText).substr(0, 20));
  TStreamPacker bad;
  for (char c : std::string("abcabc")) bad.Literal(static_cast<uint8_t>(c));
  bad.Repeat(9, 2);
  WriteFile(dir / "bad.lum", bad.Finish());
  WriteFile(dir / "tiny.lum", Bytes(7, 0));
  std::filesystem::create_directory(dir.Path() / "folder");
  std::filesystem::create_hard_link(dir.Path() / "s.lum", dir.Path() / "link.lum");
}

struct TCliCase {
  const char* name;
  std::vector<std::string> args;
  int status;
  std::vector<std::string> out;  // pieces standard output holds, in order
  std::vector<std::string> err;  // pieces standard error holds, in order
  TChildOptions options = {};
};

bool HoldsInOrder(const std::string& text, const std::vector<std::string>& pieces) {
  size_t at = 0;
  for (const std::string& piece : pieces) {
    at = text.find(piece, at);
    if (at == std::string::npos) return false;
    at += piece.size();
  }
  return true;
}

const std::string kHint = "Try 'lumera-explain --help' for more information.\n";

TEST(ExplainCli, OptionsStatusesAndMessages) {
  const std::vector<TCliCase> cases = {
      {"help", {"--help"}, 0, {"usage: lumera-explain [--json | --html PAGE", "--max-output"}, {}},
      {"short help", {"-h"}, 0, {"usage: lumera-explain"}, {}},
      {"version", {"-V"}, 0, {"lumera-explain 0.2.0\n"}, {}},
      {"long version", {"--version"}, 0, {"lumera-explain "}, {}},
      {"unknown long option",
       {"--bogus", "s.lum"},
       2,
       {},
       {"lumera-explain: unknown option '--bogus'\n", kHint}},
      {"unknown with a value", {"--bogus=1", "s.lum"}, 2, {}, {"unknown option '--bogus'"}},
      {"unknown short option", {"-x", "s.lum"}, 2, {}, {"unknown option '-x'\n", kHint}},
      // The same words as lumera-pack's for the same mistake.
      {"a value for a flag", {"--json=1", "s.lum"}, 2, {}, {"option '--json' takes no argument\n"}},
      {"missing argument",
       {"s.lum", "--html"},
       2,
       {},
       {"option '--html' needs an argument\n", kHint}},
      {"two formats", {"--json", "--html", "p.html", "s.lum"}, 2, {}, {"--json and --html cannot"}},
      {"no stream", {}, 2, {}, {"no STREAM given", kHint}},
      {"two streams", {"s.lum", "bad.lum"}, 2, {}, {"one STREAM at a time; unexpected 'bad.lum'"}},
      {"bad bound",
       {"--max-output", "12Q", "s.lum"},
       2,
       {},
       {"--max-output wants a byte count such as 1048576 or 64M, not '12Q'"}},
      {"bound with a suffix", {"--max-output", "12k", "s.lum"}, 0, {"\nsummary\n"}, {}},
      {"negative bound", {"--max-output", "-1", "s.lum"}, 2, {}, {"not '-1'"}},
      {"bound past the ceiling",
       {"--max-output", "2147483648", "s.lum"},
       2,
       {},
       {"past the ceiling of 2147483647"}},
      {"stdin twice",
       {"--against", "-", "-"},
       2,
       {},
       {"standard input ('-') can be read only once"}},
      {"input past --max-input",
       {"--max-input", "20", "s.lum"},
       1,
       {},
       {"lumera-explain: s.lum: longer than 20 bytes; --max-input sets the bound\n"}},
      {"--against past --max-input",
       {"--max-input", "48", "--against", "s.txt", "s.lum"},
       1,
       {},
       {"s.txt: longer than 48 bytes"}},
      {"listing",
       {"s.lum"},
       0,
       {" event       out depth  kind", "\nsummary\n", "end marker       reached"},
       {}},
      {"json",
       {"--json", "s.lum"},
       0,
       {"{\"type\":\"stream\",\"format_version\":1,", "\"type\":\"summary\""},
       {}},
      {"standard input", {"-"}, 0, {"\nsummary\n"}, {}, {.Input = "s.lum"}},
      {"missing file",
       {"nothere.lum"},
       1,
       {},
       {"lumera-explain: nothere.lum: cannot open the input (No such file or directory)\n"}},
      {"a folder",
       {"folder"},
       1,
       {},
       {"lumera-explain: folder: cannot read the input (Is a directory)\n"}},
      {"too short",
       {"tiny.lum"},
       1,
       {"failure  not a valid stream"},
       {"lumera-explain: tiny.lum: not a valid stream: decoding failed after 0 output bytes, at "
        "source byte 0 (Too short source stream, min length is 8 bytes.)\n"}},
      {"failure in the middle",
       {"bad.lum"},
       1,
       {"  escaped ", "failure  not a valid stream: decoding failed after 6 output bytes",
        "\nsummary\n"},
       {"bad.lum: not a valid stream: decoding failed after 6 output bytes, at source byte ",
        "(Invalid offset code for the repeater.)"}},
      {"failure as json",
       {"--json", "bad.lum"},
       1,
       {"{\"type\":\"failure\",\"out\":6,\"source_byte\":",
        "\"class\":\"Exception\",\"message\":\"Invalid offset code for the "
        "repeater.\"}\n{\"type\":\"summary\""},
       {}},
      {"output bound",
       {"--max-output", "10", "--json", "s.lum"},
       1,
       {"\"type\":\"failure\"",
        "\"class\":\"OutputLimit\",\"message\":\"The decoded output exceeds the bound of 10 "
        "bytes.\""},
       {"s.lum: the decoded output passes its bound: decoding stopped after 11 output bytes"}},
      {"against a match",
       {"--against", "s.txt", "s.lum"},
       0,
       {"against  matches s.txt (", "\nsummary\n"},
       {}},
      {"against a difference",
       {"s.lum", "--against", "other.txt"},
       3,
       {"against  differs from other.txt at offset 9: output 3C '<', other.txt 58 'X', written by "
        "event 9 (literal)\n"},
       {}},
      {"against a shorter file",
       {"--json", "--against", "short.txt", "s.lum"},
       3,
       {"{\"type\":\"against\",\"matches\":false,\"file\":\"short.txt\"",
        "\"ended_first\":\"file\""},
       {}},
      {"against a missing file",
       {"--against", "none.txt", "s.lum"},
       1,
       {},
       {"none.txt: cannot open the input"}},
      {"against standard input",
       {"--against", "-", "s.lum"},
       0,
       {"matches standard input ("},
       {},
       {.Input = "s.txt"}},
      {"page to standard output",
       {"--html", "-", "s.lum"},
       0,
       {"<!DOCTYPE html>", "<title>s.lum - lumera-explain</title>", "</html>\n"},
       {}},
      {"page with a verdict",
       {"--html", "p.html", "--against", "other.txt", "s.lum"},
       3,
       {"differs from other.txt at offset 9"},
       {}},
      {"page of a bad stream",
       {"--html", "p.html", "bad.lum"},
       1,
       {},
       {"bad.lum: not a valid stream"}},
      {"page in a missing folder",
       {"--html", "no/p.html", "s.lum"},
       1,
       {},
       {"no/p.html: cannot create the output (No such file or directory)"}},
      // The page never replaces a file unasked, nor one of its inputs, even through a link.
      {"page onto an existing file",
       {"--html", "s.txt", "s.lum"},
       1,
       {},
       {"s.txt: already exists; use -f"}},
      {"page onto its stream",
       {"-f", "--html", "s.lum", "s.lum"},
       1,
       {},
       {"s.lum: input and output are the same file\n"}},
      {"page onto its stream through a hard link",
       {"-f", "--html", "link.lum", "s.lum"},
       1,
       {},
       {"link.lum: input and output are the same file\n"}},
      {"page onto the --against file",
       {"--force", "--html", "s.txt", "--against", "s.txt", "s.lum"},
       1,
       {},
       {"s.txt: input and output are the same file\n"}},
      {"-f replaces a page", {"-f", "--html", "other.txt", "s.lum"}, 0, {}, {}},
      {"closed output",
       {"--help"},
       1,
       {},
       {"lumera-explain: standard output: cannot write the output (Bad file descriptor)\n"},
       {.CloseOutput = true}},
      // A reader that went away ends the run quietly, as the common compressors do.
      {"broken pipe", {"s.lum"}, 141, {}, {}, {.BrokenPipe = true}},
      // The verdict goes out before the page is put in place, so that no page is left.
      {"broken pipe with a page",
       {"--html", "q.html", "--against", "other.txt", "s.lum"},
       141,
       {},
       {},
       {.BrokenPipe = true}},
  };
  for (const TCliCase& c : cases) {
    SCOPED_TRACE(c.name);
    TScratchDir dir;
    Populate(dir);
    TChildOptions options = c.options;
    if (options.Input != "/dev/null") options.Input = dir / options.Input;
    std::set<std::string> before;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      before.insert(entry.path().filename().string());
    }
    const TChildRun run = RunChild(LUMERA_EXPLAIN_BINARY, c.args, dir, options);
    EXPECT_EQ(run.Status, c.status) << run.Err;
    EXPECT_TRUE(HoldsInOrder(run.Out, c.out)) << run.Out.substr(0, 2000);
    EXPECT_TRUE(HoldsInOrder(run.Err, c.err)) << run.Err;
    if (c.status == 0) {
      EXPECT_EQ(run.Err, "");
    }
    // Nothing is written but the page.
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(before.count(name) || name == "p.html") << name;
    }
  }
}

std::vector<nlohmann::json> JsonLines(const std::string& text) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

// The explorer and the silent whole-stream decoder agree on the output of a real text,
// given as a file and through a pipe; the page is written and matches the stream.
TEST(ExplainCli, SummaryAgreesWithTheSilentDecoderAndThePage) {
  std::string text;
  for (int i = 0; i < 300; ++i) {
    text += "  <entry code=\"" + std::to_string(i * 37 % 1000) + "\" name=\"item " +
            std::to_string(i) + "\"/>\n";
  }
  TScratchDir dir;
  WriteFile(dir / "t.lum", Pack(ToBytes(text)));
  const TChildRun unpack = RunChild(LUMERA_PACK_BINARY, {"-d", "t.lum", "t.out"}, dir);
  ASSERT_EQ(unpack.Status, 0) << unpack.Err;
  const std::string decoded = ReadFile(dir / "t.out");
  EXPECT_EQ(decoded, text);

  const TChildRun json = RunChild(LUMERA_EXPLAIN_BINARY, {"--json", "t.lum"}, dir);
  ASSERT_EQ(json.Status, 0) << json.Err;
  const std::vector<nlohmann::json> lines = JsonLines(json.Out);
  ASSERT_GE(lines.size(), 3u);
  const nlohmann::json& summary = lines.back();
  EXPECT_EQ(summary["output_bytes"], decoded.size());
  EXPECT_EQ(summary["end"], true);
  uint64_t bytes = 0;
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["out"], bytes);
    if (lines[i]["type"] == "literal") bytes += 1;
    if (lines[i]["type"] == "repeat") bytes += lines[i]["len"].get<uint64_t>();
  }
  EXPECT_EQ(bytes, decoded.size());
  const TChildRun piped =
      RunChild(LUMERA_EXPLAIN_BINARY, {"--json", "-"}, dir, {.Input = dir / "t.lum"});
  EXPECT_EQ(piped.Out, json.Out);

  const TChildRun page = RunChild(LUMERA_EXPLAIN_BINARY, {"--html", "t.html", "t.lum"}, dir);
  ASSERT_EQ(page.Status, 0) << page.Err;
  EXPECT_EQ(page.Out, "");
  const std::string html = ReadFile(dir / "t.html");
  EXPECT_TRUE(html.starts_with("<!DOCTYPE html>")) << html.substr(0, 100);
  EXPECT_NE(html.find(std::to_string(decoded.size()) + " bytes, ratio"), std::string::npos);
}

}  // namespace
}  // namespace lumera
