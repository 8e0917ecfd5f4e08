#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "encoder/pack.h"
#include "encoder/stream_packer.h"
#include "lumera_version.h"
#include "test_support.h"

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
       "Cannot open file \"DIR/missing.lum\". " + std::string(testing::kNoSuchFile) + "\\.",
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
       "Cannot open file \"DIR/dec.xml\". " + std::string(testing::kNoSuchFile) + "\\.",
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
        std::regex_replace(c.message, std::regex("DIR/"), Escaped(dir / ""));
    EXPECT_TRUE(std::regex_match(
        run.Err, std::regex(std::string("Exception ") + c.className + " in module " +
                            Escaped(std::string("lumera") + LUMERA_EXE_SUFFIX) +
                            " at [0-9A-F]{8}\\.\r\n" + message + "\r\n\r\n")))
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
  EXPECT_NE(refused.Err.find("too large for the format at input offset"), std::string::npos)
      << refused.Err;
  EXPECT_FALSE(Exists(dir / "noise.lum"));

  std::vector<uint8_t> trailing = LiteralStream("<x/>");
  trailing.insert(trailing.end(), {1, 2, 3, 4});
  WriteFile(dir / "trailing.lum", trailing);
  const TChildRun decoded =
      RunChild(LUMERA_PACK_BINARY, {"-d", "--allow-trailing", "trailing.lum", "x.xml"}, dir);
  EXPECT_EQ(decoded.Status, 0);
  EXPECT_NE(decoded.Err.find("trailing.lum: warning: 4 source bytes left unused"),
            std::string::npos);
  EXPECT_EQ(decoded.Out, "");
  EXPECT_EQ(ReadFile(dir / "x.xml"), "<x/>");

  // With or without OUTPUT, a missing input is named as missing.
  for (const std::vector<std::string>& words : {std::vector<std::string>{"-d", "none.lum", "y.xml"},
                                                std::vector<std::string>{"none.lum"}}) {
    const TChildRun missing = RunChild(LUMERA_PACK_BINARY, words, dir);
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(std::regex_search(missing.Err,
                                  std::regex(std::string("none\\.lum: cannot open the input \\(") +
                                             testing::kNoSuchFile + "\\)")))
        << missing.Err;
  }
  EXPECT_FALSE(Exists(dir / "y.xml"));
}

std::string Literal(char byte, bool escaped = false) {
  return "{\"type\":\"literal\",\"byte\":" + std::to_string(byte) +
         ",\"escaped\":" + (escaped ? "true" : "false") + "}\n";
}

std::string Repeat(int code, int length) {
  return "{\"type\":\"repeat\",\"code\":" + std::to_string(code) +
         ",\"len\":" + std::to_string(length) + "}\n";
}

const std::string kEnd = "{\"type\":\"end\"}\n";

std::string Times(int count, const std::string& line) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += line;
  return lines;
}

// lumera-pack --events refuses a list that cannot be read or packed with its line, and
// leaves no file. (The shell cases below pack lists back; these run on every system.)
TEST(PackCli, EventListsThatCannotBePackedAreRefusedWithTheirLine) {
  TScratchDir dir;
  struct TCase {
    const char* Name;
    std::string Events;
    std::string Err;  // a pattern for what follows "lumera-pack: e.json: "
    std::vector<std::string> Options = {};
  };
  const std::string a = Literal('a');
  // A run of one byte soon reaches the deepest context, which holds it, and stays there.
  WriteFile(dir / "run.lum", LiteralStream(std::string(40, 'a')));
  std::string run = RunChild(LUMERA_EXPLAIN_BINARY, {"--json", "run.lum"}, dir).Out;
  run.erase(run.rfind("{\"type\":\"end\""));
  const std::string last = run.substr(run.rfind('{'));
  const TCase cases[] = {
      {"not JSON", a + "{\"type\":\"literal\",\"byte\":97,\n",
       "line 2, column 29: not valid JSON \\(.+\\)"},
      {"an unknown type", a + "{\"type\":\"jump\"}\n", "line 2: unknown type 'jump'"},
      {"a missing choice", "{\"type\":\"literal\",\"byte\":97}\n",
       "line 1: a literal's \"escaped\" must be true or false"},
      {"a length as text", a + "{\"type\":\"repeat\",\"code\":0,\"len\":\"3\"}\n",
       "line 2: a repeat's \"len\" must be a number from 0 to 4294967295"},
      {"a byte its context lacks", a + Literal('b') + kEnd,
       "line 2: literal byte 98 escaped false cannot be coded: the context table does not hold "
       "the byte, so it must be escaped"},
      {"a copy the table lacks",
       a + "{\"type\":\"literal\",\"byte\":97,\"escaped\":false,\"copy\":2}\n" + kEnd,
       "line 2: literal byte 97 escaped false copy 2 cannot be coded: the table holds fewer "
       "copies of the byte than the literal names"},
      {"a code that names nothing", a + Repeat(5, 3) + kEnd,
       "line 2: repeat code 5 len 3 cannot be coded: the offset code names no output to copy "
       "from"},
      {"a length no table codes", a + Repeat(0, 300) + kEnd,
       "line 2: repeat code 0 len 300 cannot be coded: the length tables code only lengths 0 "
       "to 255 and 65535"},
      {"an event after the end", a + kEnd + a,
       "line 3: literal byte 97 escaped false cannot be coded: the end marker has been coded "
       "already"},
      {"no end", a, "the events end without the end marker"},
      {"a table full", run + Times(70000, last) + kEnd,
       "line 6[0-9]{4}: literal byte 97 escaped false cannot be coded: a table's total would "
       "reach 0x10000"},
      {"an entry without a share", run + Times(60000, last) + Literal('b', true) + kEnd,
       "line 60042: literal byte 98 escaped true cannot be coded: an entry's share of the "
       "range would be 0"},
      {"past --max-output",
       a + Repeat(0, 255) + kEnd,
       "line 2: repeat code 0 len 255 cannot be coded: the output would pass its bound of 100 "
       "bytes",
       {"--max-output", "100"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteFile(dir / "e.json", c.Events);
    std::vector<std::string> args = c.Options;
    args.insert(args.end(), {"--events", "e.json", "e.lum"});
    const TChildRun refused = RunChild(LUMERA_PACK_BINARY, args, dir);
    EXPECT_EQ(refused.Status, 1);
    EXPECT_TRUE(std::regex_match(refused.Err, std::regex("lumera-pack: e\\.json: " + c.Err + "\n")))
        << refused.Err;
    EXPECT_FALSE(Exists(dir / "e.lum"));
  }
}

// lumera-pack driven from a shell, as users drive it: pipes, process substitution, links,
// limits and redirections. Every case starts in a fresh folder holding
//   s.txt      about 12 KB of text        s.lum      s.txt packed
//   bad.lum    s.lum with a byte spoiled  trailing.lum  a stream with 4 bytes after its end
//   bomb.lum   a stream that expands to 262,141 bytes
// and runs its script with bash, PACK naming the program. Afterwards its check, another
// script, must succeed.
struct TPackCase {
  const char* Name;
  std::string Script;
  int Status;
  std::string Err = {};  // a pattern searched for in standard error; empty: nothing there
  std::string Out = {};  // a pattern searched for in standard output; empty: no check
  std::string Check = "true";
};

// Text with enough repetition for repeats and enough variety for deep contexts.
std::string Text12K() {
  std::mt19937 random(16);
  const char* words[] = {"region", "code", "name", "type", "parent", "Province", "District"};
  std::string text = "<?xml version=\"1.0\"?>\n<entries>\n";
  while (text.size() < 12000) {
    text += "  <entry code=\"XX-" + std::to_string(random() % 900 + 100) + "\" ";
    text += words[random() % 7];
    text += "=\"";
    for (unsigned n = random() % 9 + 3; n > 0; --n)
      text.push_back(static_cast<char>('a' + random() % 20));
    text += "\"/>\n";
  }
  return text + "</entries>\n";
}

struct TPackFixture {
  std::string Text = Text12K();
  std::vector<uint8_t> Stream = Pack(Bytes(Text));
  std::vector<uint8_t> Bomb;
  std::vector<uint8_t> Trailing = LiteralStream("<x/>");

  TPackFixture() {
    TStreamPacker packer;
    packer.Literal('a');
    for (int i = 0; i < 4; ++i) packer.Repeat(0, kEscapeLength);
    packer.EndMarker();
    Bomb = packer.Finish();
    Trailing.insert(Trailing.end(), {1, 2, 3, 4});
  }

  void Lay(const TScratchDir& dir) const {
    WriteFile(dir / "s.txt", Text);
    WriteFile(dir / "s.lum", Stream);
    std::vector<uint8_t> bad = Stream;
    bad[bad.size() / 2] ^= 0x5A;
    WriteFile(dir / "bad.lum", bad);
    WriteFile(dir / "bomb.lum", Bomb);
    WriteFile(dir / "trailing.lum", Trailing);
  }
};

const TPackFixture& Fixture() {
  static const TPackFixture fixture;
  return fixture;
}

// No file but the fixture's and those named, and no temporary file left behind.
std::string OnlyFiles(const std::string& names) {
  return "[ \"$(ls -A | sort | tr '\\n' ' ')\" = \"$(printf '%s\\n' bad.lum bomb.lum s.lum "
         "s.txt trailing.lum " +
         names + " | sort | tr '\\n' ' ')\" ]";
}

const std::string kNotValid =
    "bad\\.lum: not a valid stream: decoding failed after [0-9]+ output bytes, at source byte "
    "[0-9]+ \\(.+\\)\n";
const std::string kHint = "\nTry 'lumera-pack --help' for more information\\.\n";

std::vector<TPackCase> PackCases() {
  const std::string size = std::to_string(Fixture().Text.size());
  const std::string stream = std::to_string(Fixture().Stream.size());
  return {
      // Nothing lost on the way through pipes and files without a size.
      {"pipe in, pipe out", "cat s.txt | $PACK | $PACK -d | cat > back.txt", 0, "", "",
       "cmp s.txt back.txt && " + OnlyFiles("back.txt")},
      {"process substitution and /dev/stdin",
       "$PACK <(cat s.txt) a.lum && cat s.txt | $PACK /dev/stdin b.lum && $PACK - c.lum < s.txt", 0,
       "", "", "for f in a b c; do $PACK -d -c $f.lum | cmp - s.txt || exit 1; done"},
      {"no INPUT reads standard input", "$PACK < s.txt > x.lum && $PACK -d < x.lum", 0, "", "",
       "cmp x.lum s.lum"},
      {"-c writes to standard output", "$PACK -c s.txt | $PACK -dc", 0, "", "^<\\?xml",
       OnlyFiles("")},
      // Default names, existing outputs and the same file.
      {"default names",
       "mv s.txt orig.txt && $PACK orig.txt && mv orig.txt kept.txt && $PACK -d orig.txt.lum", 0,
       "", "", "cmp orig.txt.lum s.lum && cmp orig.txt kept.txt"},
      {"decoding a name without .lum", "cp s.lum plain && $PACK -d plain", 1,
       "^lumera-pack: plain: the name does not end with \\.lum, so there is no default OUTPUT", "",
       OnlyFiles("plain")},
      {"a FILE.lum is packed again to its default name only with -f",
       "$PACK s.lum; $PACK -m s.txt s.lum; $PACK s.lum again.lum && $PACK -f s.lum", 0,
       "^(lumera-pack: s\\.lum: the name ends with \\.lum already, so it is left alone; -f "
       "packs it again, to s\\.lum\\.lum\n){2}$",
       "",
       "cmp again.lum s.lum.lum && $PACK -dc s.lum.lum | cmp - s.lum && " +
           OnlyFiles("s.txt.lum again.lum s.lum.lum")},
      {"-k and --keep change nothing: inputs are always kept",
       "$PACK -k s.txt && $PACK --keep -d -f s.txt.lum", 0, "", "",
       "cmp s.txt.lum s.lum && " + OnlyFiles("s.txt.lum")},
      {"an existing output needs -f", "cp s.txt s.txt.lum && $PACK s.txt", 1,
       "^lumera-pack: s\\.txt\\.lum: already exists; use -f to overwrite\n$", "",
       "cmp s.txt s.txt.lum"},
      {"decoding onto an existing file needs -f", "cp s.lum s.txt.lum && $PACK -d s.txt.lum", 1,
       "^lumera-pack: s\\.txt: already exists; use -f to overwrite\n$", "",
       "cmp s.txt <(cat s.txt) && " + OnlyFiles("s.txt.lum")},
      {"-f replaces a file, keeps its mode and follows a link",
       "echo old > t.lum && chmod 640 t.lum && ln -s t.lum link.lum && $PACK -f s.txt link.lum", 0,
       "", "",
       "cmp t.lum s.lum && [ -L link.lum ] && [ $(stat -c %a t.lum) = 640 ] && " +
           OnlyFiles("t.lum link.lum")},
      {"an output takes its input's mode and time, as the common compressors do",
       "chmod 640 s.txt && touch -d @1000000000.5 s.txt && $PACK s.txt && mv s.txt orig.txt && "
       "$PACK -d s.txt.lum && $PACK -c s.txt > c.lum",
       0, "", "",
       "[ \"$(stat -c '%a %.1Y' s.txt.lum s.txt | sort -u)\" = '640 1000000000.5' ] && "
       "[ $(stat -c %Y c.lum) != 1000000000 ]"},
      {"the same file", "$PACK -f s.txt s.txt; echo $? >> status; $PACK -df s.lum s.lum", 1,
       "^lumera-pack: s\\.txt: input and output are the same file\n"
       "lumera-pack: s\\.lum: input and output are the same file\n$",
       "", "[ $(cat status) = 1 ] && cmp s.lum <(cat s.lum) && " + OnlyFiles("status")},
      {"the same file through a hard link", "ln s.txt h.txt && $PACK -f s.txt h.txt", 1,
       "^lumera-pack: h\\.txt: input and output are the same file\n$", "",
       "[ $(wc -c < h.txt) = " + size + " ]"},
      {"a locked output", "flock -n s.txt.lum -c '$PACK -f s.txt s.txt.lum'", 1,
       "s\\.txt\\.lum: cannot replace the output \\(The process cannot access the file because "
       "it is being used by another process\\)",
       "", OnlyFiles("s.txt.lum")},
      // Outputs that are not regular files.
      {"/dev/null and a pipe as outputs",
       "$PACK -d s.lum /dev/null && $PACK s.txt /dev/stdout | wc -c", 0, "",
       "^" + std::to_string(Fixture().Stream.size()) + "\n$", OnlyFiles("")},
      {"/dev/stdout redirected to a file", "$PACK -d s.lum /dev/stdout > back.txt", 0, "", "",
       "cmp back.txt s.txt"},
      {"never compressed data to a terminal", "script -qec '$PACK -c s.txt' /dev/null", 1, "",
       "compressed data is not written to a terminal", OnlyFiles("")},
      // -t, -l and the bounds.
      {"--max-input bounds what is read", "$PACK -c --max-input 1K s.txt; $PACK -c /dev/zero", 1,
       "^lumera-pack: s\\.txt: longer than 1024 bytes; --max-input sets the bound\n"
       "lumera-pack: /dev/zero: longer than 67108864 bytes; --max-input sets the bound\n$",
       "", OnlyFiles("")},
      {"-t on a good and a bad stream", "$PACK -t s.lum bad.lum", 1,
       "^s\\.lum: OK \\(" + size + " decoded bytes\\)\nlumera-pack: " + kNotValid, "",
       OnlyFiles("")},
      {"-q keeps only errors",
       "$PACK -tq --allow-trailing s.lum trailing.lum && $PACK -dq --allow-trailing trailing.lum x",
       0, "", "", "[ \"$(cat x)\" = '<x/>' ]"},
      {"-v adds sizes and times", "$PACK -v s.txt x.lum", 0,
       "^s\\.txt: " + size +
           " -> [0-9]+ bytes \\(stream [0-9.]+% of the decoded size\\), "
           "[0-9.]+ s\n$",
       "", "cmp x.lum s.lum"},
      {"-l lists each stream, then their sums", "$PACK -l s.lum trailing.lum s.lum", 0,
       "^lumera-pack: trailing\\.lum: warning: 4 source bytes left unused\n$",
       "Decoded .*\n +" + stream + " +" + size +
           " +[0-9.]+% +[0-9]+ +[0-9]+ +yes +0 +s\\.lum\n"
           " +16 +4 +400\\.00% +4 +0 +yes +4 +trailing\\.lum\n.*s\\.lum\n +" +
           std::to_string(2 * Fixture().Stream.size() + 16) + " +" +
           std::to_string(2 * Fixture().Text.size() + 4) +
           " +[0-9.]+% +[0-9]+ +[0-9]+ +- +4 +\\(3 streams in all\\)\n$"},
      {"-l of one stream has no sums", "$PACK -l s.lum none.lum", 1, "none\\.lum: cannot open",
       "^ +Stream .*\n.* s\\.lum\n$"},
      {"-l on a bad stream", "$PACK -l bad.lum", 1, "^lumera-pack: " + kNotValid, " no +- +bad"},
      {"an executable given as a stream gets a hint to take its stream out",
       "cp $EXES/lumera64.exe 'a b.exe' && $PACK -t 'a b.exe'; $PACK -d 'a b.exe' x; "
       "$PACK -l 'a b.exe' > /dev/null; $EXPLAIN - < 'a b.exe' > /dev/null",
       1,
       "^(lumera-pack: a b\\.exe: not a valid stream: .+\n"
       "lumera-pack: hint: a b\\.exe is an executable; take its stream out with lumera-pack -x "
       "\"a b\\.exe\"\n){3}"
       "lumera-explain: standard input: not a valid stream: .+\n"
       "lumera-explain: hint: standard input is an executable; take its stream out with "
       "lumera-pack -x -\n$",
       "", OnlyFiles("'a b.exe'")},
      {"a stream that expands past --max-output", "$PACK -d --max-output 100000 bomb.lum out", 1,
       "^lumera-pack: bomb\\.lum: the decoded output passes its bound: decoding stopped after "
       "[0-9]+ output bytes, at source byte [0-9]+ \\(The decoded output exceeds the bound of "
       "100000 bytes\\.\\)\n$",
       "", OnlyFiles("")},
      {"an output of exactly --max-output", "$PACK -t --max-output 262141 bomb.lum", 0,
       "^bomb\\.lum: OK \\(262141 decoded bytes\\)\n$"},
      {"--max-output past the ceiling", "$PACK -t --max-output 2G bomb.lum", 2,
       "past the ceiling of 2147483647 bytes" + kHint},
      {"a bad stream leaves no output", "$PACK -d bad.lum out", 1, "^lumera-pack: " + kNotValid, "",
       OnlyFiles("")},
      // Write failures.
      {"a write to /dev/full", "$PACK -d s.lum /dev/full", 1,
       "^lumera-pack: /dev/full: cannot write the output \\(No space left on device\\)\n$"},
      {"--help to /dev/full", "$PACK --help > /dev/full", 1,
       "^lumera-pack: standard output: cannot write the output \\(No space left on device\\)\n$"},
      {"a failure in the middle of a write leaves the old file",
       "echo old > out && trap '' XFSZ && ulimit -f 8 && $PACK -f -d s.lum out", 1,
       "^lumera-pack: out: cannot write the output \\(File too large\\)\n$", "",
       "[ \"$(cat out)\" = old ] && " + OnlyFiles("out")},
      // Events: explain's list packed back, edited, or into an executable.
      {"--events gives explain's stream back",
       "$EXPLAIN --json s.lum | $PACK --events - t.lum && $EXPLAIN --json trailing.lum > tr.json "
       "&& $PACK --events tr.json && $PACK --events -c tr.json > c.lum",
       0, "", "", "cmp t.lum s.lum && cmp tr.json.lum trailing.lum && cmp c.lum trailing.lum"},
      {"an edited list ends with a tail made anew",
       "$EXPLAIN --json s.lum | sed '0,/\\(\"depth\":[1-4],[^}]*\"escaped\":\\)false/s//\\1true/' "
       "| $PACK --events - e.lum",
       0,
       "^lumera-pack: standard input: the events differ from those the summary's tail was "
       "taken with, so the stream ends with a tail made anew\n$",
       "",
       "bits() { $EXPLAIN --json $1 | tail -1 | sed 's/.*\"bits_taken\":\\([0-9]*\\).*/\\1/'; } && "
       "[ $(bits e.lum) -gt $(bits s.lum) ] && $PACK -dc e.lum | cmp - s.txt"},
      {"a tail outside the range cannot come back",
       "$EXPLAIN --json s.lum | sed 's/\"tail_code\":\"[0-9A-F]*\"/\"tail_code\":\"00010000\"/' "
       "> t.json && $PACK --events -q t.json q.lum && $PACK --events t.json d.lum",
       0,
       "^lumera-pack: t\\.json: the stream differs from the one the events were read from, "
       "though it decodes to the same events: its code value lay outside its entry's share\n$",
       "", "$PACK -dc d.lum | cmp - s.txt && cmp d.lum q.lum"},
      {"--events with --replace packs into an executable",
       "$EXPLAIN --json s.lum > s.json && $PACK --events --replace s.json "
       "$CORPUS/resource/lumera64.exe "
       "new.exe",
       0, "", "", "$PACK -x new.exe -c | cmp - s.lum && " + OnlyFiles("s.json new.exe")},
      // Several inputs.
      {"-m packs each input to its name", "cp s.txt t.txt && $PACK -m s.txt t.txt", 0, "", "",
       "cmp s.txt.lum s.lum && cmp t.txt.lum s.lum"},
      {"-m goes on after a failure", "$PACK -dm --allow-trailing bad.lum trailing.lum", 1,
       "^lumera-pack: " + kNotValid +
           "lumera-pack: trailing\\.lum: warning: 4 source bytes left unused\n$"},
      {"4 bytes after the end marker are damage", "$PACK -t trailing.lum; $PACK -d trailing.lum x",
       1,
       "^(lumera-pack: trailing\\.lum: the stream is damaged, or other data follows it: its end "
       "marker came after 4 output bytes, at source byte [0-9]+ \\(4 source bytes left "
       "unused\\.\\); --allow-trailing takes it as it is\n){2}$",
       "", OnlyFiles("")},
      // The command line itself.
      {"-h and --help", "$PACK -h && $PACK --help extra", 0, "",
       "^usage: lumera-pack .*\n(.*\n)*usage: lumera-pack "},
      {"--version", "$PACK -V && $PACK --version", 0, "",
       std::string("^lumera-pack ") + kVersion + "\nlumera-pack " + kVersion + "\n$"},
      {"an unknown long option", "$PACK --bogus s.txt", 2,
       "^lumera-pack: unknown option '--bogus'" + kHint, "", OnlyFiles("")},
      {"an unknown short option", "$PACK -j a b", 2, "^lumera-pack: unknown option '-j'" + kHint},
      {"-- ends the options", "cp s.txt ./-d && $PACK -- -d", 0, "", "", "cmp ./-d.lum s.lum"},
      {"-c with -m", "$PACK -cm s.txt", 2, "streams cannot be concatenated" + kHint},
      {"standard input is read once", "$PACK -m - - < s.txt; $PACK -t - - < s.lum", 2,
       "^lumera-pack: standard input \\('-'\\) can be read only once" + kHint +
           "lumera-pack: standard input \\('-'\\) can be read only once" + kHint + "$",
       "", OnlyFiles("")},
      {"- - is standard input to standard output", "$PACK - - < s.txt > x.lum", 0, "", "",
       "cmp x.lum s.lum"},
      {"a pipe has no default OUTPUT", "$PACK <(cat s.txt)", 1,
       "^lumera-pack: /dev/fd/[0-9]+: not a regular file, so there is no default OUTPUT; give one "
       "or use -c\n$",
       "", OnlyFiles("")},
      {"a value for a flag", "$PACK --stdout=1 s.txt", 2,
       "^lumera-pack: option '--stdout' takes no argument" + kHint},
      // A reader that went away ends the run quietly, with the status of a death by SIGPIPE.
      {"a closed pipe", "$PACK -dc bomb.lum | head -c 10; exit ${PIPESTATUS[0]}", 141, "", "",
       OnlyFiles("")},
      {"a closed pipe through /dev/stdout",
       "$PACK -d bomb.lum /dev/stdout | head -c 1; exit "
       "${PIPESTATUS[0]}",
       141, "", "", OnlyFiles("")},
      // The synopsis names each row of --help by one of its names at least.
      {"--help and the man pages name the same options, the synopsis each of them",
       R"(for p in "$PACK" "$EXPLAIN"; do
            page="$MAN/$(basename "$p").1"
            diff <("$p" --help | grep -oE -- '--([a-z]+(-[a-z]+)*)?' | sort -u) \
                 <(grep -oE -- '\\-\\-([a-z]+(\\-[a-z]+)*)?' "$page" | tr -d '\\' | sort -u) ||
              exit 1
            synopsis=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH DESCRIPTION/p' "$page" |
                       sed 's/\\f[BIRP]//g; s/\\-/-/g' | grep -oE -- '-[-a-zA-Z0-9]+' | sort -u)
            "$p" --help | grep -E '^(  |      )-' | sed -E 's/^ +//; s/  .*//' | grep -vx -- '--' |
              while read -r label; do
                for name in ${label//,/ }; do
                  grep -qx -- "$name" <<< "$synopsis" && continue 2
                done
                echo "the synopsis of $page lacks $label" >&2
                exit 1
              done || exit 1
          done)",
       0},
      {"no arguments on a terminal", "script -qec '$PACK' /dev/null", 2, "",
       "^usage: lumera-pack "},
      // The traced tool shares the file layer.
      {"the traced tool reads a FIFO to its end",
       "mkfifo f.lum && cp s.txt dec.xml && { cat s.lum > f.lum & } && $LUMERA f.lum < /dev/null "
       "> /dev/null",
       0, "", "", "[ \"$(cat out.xml)\" = \"$(head -c 20 s.txt)\" ]"},
      {"the traced tool reports denied sharing", "cp s.lum out.xml && $LUMERA out.xml", 1,
       "^Exception EFCreateError in module lumera at [0-9A-F]{8}\\.\r\nCannot create file "
       "\".+/out\\.xml\"\\. The process cannot access the file because it is being used by "
       "another process\\.\r\n\r\n$",
       "", "cmp out.xml s.lum"},
  };
}

// Runs c in a fresh folder that holds the fixture and what lay adds. EXES names the
// folder of the test executables, CORPUS the fuzz corpus.
void RunPackCase(const TPackCase& c, const std::function<void(const TScratchDir&)>& lay = {}) {
  SCOPED_TRACE(c.Name);
  TScratchDir dir;
  Fixture().Lay(dir);
  if (lay) lay(dir);
  const std::string examples = LUMERA_EXAMPLES;
  const std::string program = std::string("export PACK=") + LUMERA_PACK_BINARY +
                              " LUMERA=" + LUMERA_BINARY + " EXPLAIN=" + LUMERA_EXPLAIN_BINARY +
                              " MAN=" + examples + "/../man EXES=" + examples +
                              "/../fuzz/corpus/resource CORPUS=" + examples + "/../fuzz/corpus\n";
  const TChildRun run = RunChild("/bin/bash", {"-c", program + c.Script}, dir);
  EXPECT_EQ(run.Status, c.Status) << run.Err;
  if (c.Err.empty()) {
    EXPECT_EQ(run.Err, "");
  } else {
    EXPECT_TRUE(std::regex_search(run.Err, std::regex(c.Err))) << run.Err;
  }
  if (!c.Out.empty()) {
    EXPECT_TRUE(std::regex_search(run.Out, std::regex(c.Out))) << run.Out;
  }
  const TChildRun check = RunChild("/bin/bash", {"-c", program + c.Check}, dir);
  EXPECT_EQ(check.Status, 0) << c.Check << "\\n" << check.Err;
}

TEST(PackCli, EachCommandLineDoesWhatItSays) {
  for (const TPackCase& c : PackCases()) RunPackCase(c);
}

// The damaged stream that a user met: xkb-data's base.xml packed with -9, its byte at
// offset 5922 flipped, decodes to 69,720 of 247,104 bytes and reaches its end marker with
// 11,664 source bytes unread. Every run that wants a whole stream refuses it, unless
// --allow-trailing takes it; -l lists it as before.
TEST(PackCli, ADamagedStreamFailsUnlessTrailingBytesAreAllowed) {
  const char* const rules = "/usr/share/X11/xkb/rules/base.xml";
  if (!Exists(rules)) GTEST_SKIP() << rules << " (xkb-data) is missing";
  std::vector<uint8_t> damaged = Pack(Bytes(ReadFile(rules)), kSmallestLevel);
  damaged[5922] ^= 0xFF;
  const std::string early =
      "lumera-pack: damaged\\.lum: the stream is damaged, or other data follows it: its end "
      "marker came after 69720 output bytes, at source byte 5961 \\(11664 source bytes left "
      "unused\\.\\); --allow-trailing takes it as it is";
  const std::string warning =
      "lumera-pack: damaged\\.lum: warning: 11664 source bytes left unused\n";
  const std::string replace = "$PACK --replace damaged.lum $EXES/lumera64.exe new.exe";
  const TPackCase cases[] = {
      {"-t", "$PACK -t damaged.lum", 1, "^" + early + "\n$"},
      {"-d leaves no output", "$PACK -d damaged.lum out", 1, "^" + early + "\n$", "",
       OnlyFiles("damaged.lum")},
      {"--replace refuses it", replace, 1,
       "^" + early + "; --force-stream puts it in all the same\n$", "", OnlyFiles("damaged.lum")},
      {"--force-stream skips every check", replace + " --force-stream", 0, "", "",
       "$PACK -x new.exe - | cmp - damaged.lum"},
      {"--allow-trailing takes it",
       "$PACK -t --allow-trailing damaged.lum && $PACK -d --allow-trailing damaged.lum out && " +
           replace + " --allow-trailing",
       0, "^damaged\\.lum: OK \\(69720 decoded bytes\\)\n" + warning + warning + warning + "$", "",
       "[ $(wc -c < out) = 69720 ] && $PACK -x new.exe - | cmp - damaged.lum"},
      {"-l lists it", "$PACK -l damaged.lum", 0, "^" + warning + "$",
       " 17628 +69720 .* yes +11664  damaged\\.lum\n"},
  };
  for (const TPackCase& c : cases) {
    RunPackCase(c, [&](const TScratchDir& dir) { WriteFile(dir / "damaged.lum", damaged); });
  }
}

}  // namespace
}  // namespace lumera
