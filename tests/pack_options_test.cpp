#include "programs/pack_options.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "programs/explain_options.h"
#include "test_support.h"

namespace lumera {
namespace {

// Parses a command line given as words after the program's name.
template <class TOptions = TCliOptions>
TOptions Parse(std::vector<std::string> words,
               const std::function<TOptions(int, char**)>& parse = ParseCommandLine) {
  words.insert(words.begin(), "program");
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return parse(static_cast<int>(words.size()), argv.data());
}

TExplainOptions ParseExplain(const std::vector<std::string>& words) {
  return Parse<TExplainOptions>(words, ParseExplainCommandLine);
}

TEST(CliOptions, OptionsAndOperandsInAnyOrder) {
  struct TCase {
    std::vector<std::string> Words;
    TCliMode Mode;
    int Level;
    uint64_t MaxOutput;
    std::vector<std::string> Operands;
  };
  const TCase cases[] = {
      {{}, TCliMode::Compress, 1, kDefaultMaxOutput, {}},
      {{"a", "-d", "b"}, TCliMode::Decompress, 1, kDefaultMaxOutput, {"a", "b"}},
      {{"-9", "a"}, TCliMode::Compress, 9, kDefaultMaxOutput, {"a"}},
      {{"--best", "-3"}, TCliMode::Compress, 3, kDefaultMaxOutput, {}},
      {{"-dt", "--list"}, TCliMode::List, 1, kDefaultMaxOutput, {}},
      {{"--max-output", "64M"}, TCliMode::Compress, 1, uint64_t{64} << 20, {}},
      {{"--max-output=1k", "-z"}, TCliMode::Compress, 1, 1024, {}},
      {{"--max-output=2147483647"}, TCliMode::Compress, 1, kMaxOutputCeiling, {}},
      {{"--max-output", "0", "-t"}, TCliMode::Test, 1, 0, {}},
      {{"--", "-d", "--help"}, TCliMode::Compress, 1, kDefaultMaxOutput, {"-d", "--help"}},
      {{"-", "-c"}, TCliMode::Compress, 1, kDefaultMaxOutput, {"-"}},
      // A long option may be cut to a prefix that names it alone.
      {{"--max-out=2k", "--dec", "a"}, TCliMode::Decompress, 1, 2048, {"a"}},
      {{"-9", "--", "-"}, TCliMode::Compress, 9, kDefaultMaxOutput, {"-"}},
      // Every name of an option, and a prefix of one of its names, reads alike.
      {{"--uncompress", "-5"}, TCliMode::Decompress, 5, kDefaultMaxOutput, {}},
      {{"--unc", "--to-std"}, TCliMode::Decompress, 1, kDefaultMaxOutput, {}},
      {{"--list-res", "--be"}, TCliMode::ListResources, 9, kDefaultMaxOutput, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Words));
    const TCliOptions options = Parse(c.Words);
    EXPECT_EQ(options.Mode, c.Mode);
    EXPECT_EQ(options.Level, c.Level);
    EXPECT_EQ(options.MaxOutput, c.MaxOutput);
    EXPECT_EQ(options.Operands, c.Operands);
  }
  // -k and --keep are taken, as scripts for other compressors give them: inputs stay anyway.
  const TCliOptions flags = Parse({"-cfmkqh", "-V", "-v", "--keep"});
  EXPECT_TRUE(flags.ToStdout && flags.Force && flags.Multiple && flags.Help && flags.Version);
  EXPECT_EQ(flags.Verbosity, TVerbosity::Verbose);
  EXPECT_EQ(Parse({"--replace", "n", "--lang=7", "a", "b"}).Resource.Language, 7u);
  EXPECT_EQ(Parse({"--language", "1033", "-x", "a"}).Resource.Language, 1033u);
  const TCliOptions each = Parse({"--replace", "n", "--all-lang", "a", "b"});
  EXPECT_TRUE(each.Resource.AllLanguages && !each.Resource.Language);
}

TEST(CliOptions, UsageErrorsNameWhatWasWrong) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--bogus"}, "unknown option '--bogus'"},
      {{"--bogus=3"}, "unknown option '--bogus'"},
      {{"-j", "a"}, "unknown option '-j'"},
      {{"--verbose", "-qj"}, "unknown option '-j'"},
      {{"--help=3"}, "option '--help' takes no argument"},
      {{"--max-output"}, "option '--max-output' needs an argument"},
      {{"--max-output", "12Q"},
       "--max-output wants a byte count such as 1048576 or 64M, not '12Q'"},
      {{"--max-output", "-5"}, "--max-output wants a byte count such as 1048576 or 64M, not '-5'"},
      {{"--max-output", "2G"}, "--max-output 2G is past the ceiling of 2147483647 bytes"},
      {{"--max-output", "99999999999999999999999"},
       "--max-output 99999999999999999999999 is past the ceiling of 2147483647 bytes"},
      {{"--max-input", "3X"}, "--max-input wants a byte count such as 1048576 or 64M, not '3X'"},
      {{"--max-input=3G"}, "--max-input 3G is past the ceiling of 2147483647 bytes"},
      {{"--force-stream=1"}, "option '--force-stream' takes no argument"},
      {{"--replace", "n", "-d", "a", "b"}, "--replace and -d cannot be used together"},
      {{"-t", "--replace=n", "a", "b"}, "--replace and -t cannot be used together"},
      {{"-xc", "--replace", "n", "a"}, "--replace and -x cannot be used together"},
      {{"--decompress", "--replace", "n", "a"}, "--replace and -d cannot be used together"},
      {{"-x", "--lang", "x", "e"}, "--language wants a number from 0 to 65535, not 'x'"},
      {{"-x", "--all-languages", "e"}, "--all-languages goes with --replace"},
      {{"--replace", "n", "--lang", "9", "--all-lang", "a", "b"},
       "--language and --all-languages cannot both be given"},
      {{"-x", "--id=65536", "e"}, "--id wants a number from 0 to 65535, not '65536'"},
      {{"--li"}, "unknown option '--li'"},  // --list or --list-resources
      {{"--events", "-d", "a"},
       "--events goes with packing or --replace, not with -d, -t, -l, -x or --list-resources"},
      {{"-x", "--events", "a"},
       "--events goes with packing or --replace, not with -d, -t, -l, -x or --list-resources"},
      {{"--events", "-9", "a"},
       "--events and a level cannot be used together: the events are packed as they stand"},
      {{"--events", "--force-stream", "--replace", "n", "a", "b"},
       "--events and --force-stream cannot be used together: the events are packed as they "
       "stand"},
  };
  for (const auto& [words, message] : cases) {
    try {
      Parse(words);
      ADD_FAILURE() << "parsed " << ::testing::PrintToString(words);
    } catch (const EUsage& e) {
      EXPECT_EQ(e.Message(), message);
    }
  }
}

TEST(CliOptions, JobsFollowTheOperands) {
  struct TCase {
    std::vector<std::string> Words;
    bool StdinIsTerminal;
    std::vector<std::string> Jobs;  // "input>output", the output empty for its default
    std::string Usage;              // the usage error, if any
  };
  const TCase cases[] = {
      {{}, false, {"->"}, ""},
      {{}, true, {}, "no INPUT, and standard input is a terminal"},
      {{"-t"}, true, {}, "no INPUT, and standard input is a terminal"},
      {{"a"}, true, {"a>"}, ""},
      {{"-c", "a"}, true, {"a>-"}, ""},
      {{"a", "b"}, true, {"a>b"}, ""},
      {{"-c", "a", "b"}, true, {}, "-c and an OUTPUT cannot both be given"},
      {{"a", "b", "c"}, true, {}, "too many operands; use -m to give several inputs"},
      {{"-m", "a", "b", "c"}, true, {"a>", "b>", "c>"}, ""},
      {{"-mc", "a"}, true, {}, "-c cannot be used with -m: streams cannot be concatenated"},
      {{"-t", "a", "b"}, true, {"a>", "b>"}, ""},
      {{"-lc", "-"}, true, {"->"}, ""},
      // Standard input has one content: it is one input at most, but may go to "-".
      {{"-", "-"}, false, {"->-"}, ""},
      {{"-m", "-", "a", "-"}, false, {}, "standard input ('-') can be read only once"},
      {{"-l", "-", "-"}, false, {}, "standard input ('-') can be read only once"},
      {{"--replace", "-", "-", "b"}, false, {}, "standard input ('-') can be read only once"},
      {{"--replace", "n", "-", "b"}, false, {"->b"}, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Words));
    const std::string usage = testing::FailureMessage([&] {
      std::vector<std::string> jobs;
      for (const TJob& job : PlanJobs(Parse(c.Words), c.StdinIsTerminal)) {
        jobs.push_back(job.Input + ">" + job.Output);
      }
      EXPECT_EQ(jobs, c.Jobs);
    });
    EXPECT_EQ(usage, c.Usage.empty() ? "none" : c.Usage);
  }
}

TEST(CliOptions, DefaultNamesAddOrDropTheSuffix) {
  const std::tuple<std::string, TCliMode, std::string> cases[] = {
      {"s.txt", TCliMode::Compress, "s.txt.lum"},
      {"dir/x.lum", TCliMode::Compress, "dir/x.lum.lum"},
      {"dir/x.lum", TCliMode::Decompress, "dir/x"},
      {"-", TCliMode::Decompress, "-"},
      {"x.lum.lum", TCliMode::Decompress, "x.lum"},
      {".lum", TCliMode::Decompress, "none"},
      {"x.LUM", TCliMode::Decompress, "none"},
  };
  for (const auto& c : cases) {
    std::string got;
    const std::string failure =
        testing::FailureMessage([&] { got = DefaultOutputName(std::get<0>(c), std::get<1>(c)); });
    EXPECT_EQ(failure == "none" ? got : "none", std::get<2>(c)) << std::get<0>(c);
  }
  EXPECT_EQ(testing::FailureMessage([] { DefaultOutputName("x.gz", TCliMode::Decompress); }),
            "x.gz: the name does not end with .lum, so there is no default OUTPUT; give one");
}

TEST(CliOptions, ExplainTakesOneStreamAndOneFormat) {
  struct TCase {
    std::vector<std::string> Words;
    TExplainFormat Format;
    std::string Page;
    std::string Against;  // empty: none
    uint64_t MaxOutput;
    std::string Stream;
  };
  const TCase cases[] = {
      {{"s"}, TExplainFormat::Listing, "", "", kDefaultMaxOutput, "s"},
      {{"-", "--json"}, TExplainFormat::Json, "", "", kDefaultMaxOutput, "-"},
      {{"--html", "p.html", "s"}, TExplainFormat::Page, "p.html", "", kDefaultMaxOutput, "s"},
      {{"--htm=-", "--against", "k", "--max-out=1k", "s"},
       TExplainFormat::Page,
       "-",
       "k",
       1024,
       "s"},
      {{"--", "--json"}, TExplainFormat::Listing, "", "", kDefaultMaxOutput, "--json"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Words));
    const TExplainOptions options = ParseExplain(c.Words);
    EXPECT_EQ(options.Format, c.Format);
    EXPECT_EQ(options.Page, c.Page);
    EXPECT_EQ(options.Against.value_or(""), c.Against);
    EXPECT_EQ(options.MaxOutput, c.MaxOutput);
    EXPECT_EQ(options.Stream, c.Stream);
  }
  const TExplainOptions flags = ParseExplain({"-fhV", "--max-input", "2M"});
  EXPECT_TRUE(flags.Force && flags.Help && flags.Version);
  EXPECT_EQ(flags.MaxInput, uint64_t{2} << 20);

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{}, "no STREAM given"},
      {{"a", "b"}, "one STREAM at a time; unexpected 'b'"},
      {{"--json", "--html", "p", "s"}, "--json and --html cannot be used together"},
      {{"--against", "-", "-"},
       "standard input ('-') can be read only once: it cannot be both STREAM and the --against "
       "FILE"},
      {{"s", "--html"}, "option '--html' needs an argument"},
      {{"-x", "s"}, "unknown option '-x'"},
      {{"--json=x", "s"}, "option '--json' takes no argument"},
      {{"--max-input", "1Q", "s"},
       "--max-input wants a byte count such as 1048576 or 64M, not '1Q'"},
  };
  for (const auto& [words, message] : refused) {
    const std::vector<std::string>& given = words;
    EXPECT_EQ(testing::FailureMessage([&] { ParseExplain(given); }), message)
        << ::testing::PrintToString(words);
  }
}

// Every option has its line, long names line up, and a long label or text wraps.
TEST(CliOptions, TheHelpShowsEachRowOfTheTable) {
  const std::string pack = UsageText();
  for (const char* line : {
           "\n  -d, --decompress, --uncompress\n                      decode a whole stream",
           "\n      --best          the same as -9\n",
           "\n  -1 ... -9           compression level: ",
           "\n      --list-resources\n                      list every resource",
           "\n  --                  end the options",
       }) {
    EXPECT_NE(pack.find(line), std::string::npos) << line;
  }
  const std::string explain = ExplainUsageText();
  EXPECT_NE(explain.find("\n      --html PAGE     a self-contained"), std::string::npos);
  for (const std::string& text : {pack, explain}) {
    size_t longest = 0;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
      end = text.find('\n', at);
      if (text.compare(at, 2, "  ") == 0) longest = std::max(longest, end - at);
    }
    EXPECT_LE(longest, 79u);
  }
}

}  // namespace
}  // namespace lumera
