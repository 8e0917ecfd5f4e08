#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "encoder/stream_packer.h"
#include "explore/byte_text.h"
#include "explore/comparison.h"
#include "explore/heat_map.h"
#include "explore/json_lines.h"
#include "explore/listing.h"
#include "explore/page_data.h"
#include "platform/hex.h"

namespace lumera {
namespace {

using Json = nlohmann::json;
using Bytes = std::vector<uint8_t>;

void Text(TStreamPacker& p, const std::string& s) {
  for (char c : s) p.Literal(static_cast<uint8_t>(c));
}

TExploration Scripted(const std::function<void(TStreamPacker&)>& write,
                      uint64_t maxOutput = kDefaultMaxOutput, const Bytes& trailing = {}) {
  TStreamPacker packer;
  write(packer);
  return Explore(packer.Finish(trailing), maxOutput);
}

// Every line of text parsed on its own; a line that does not parse fails the test.
std::vector<Json> JsonLines(const std::string& text) {
  std::vector<Json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    try {
      lines.push_back(Json::parse(line));
    } catch (const Json::exception& e) {
      ADD_FAILURE() << e.what() << " in: " << line;
    }
  }
  return lines;
}

std::vector<Json> JsonOf(const TExploration& run, const TComparison* against = nullptr) {
  std::ostringstream out;
  WriteJsonLines(out, run, against);
  return JsonLines(out.str());
}

std::string ListingOf(const TExploration& run, const TComparison* against = nullptr) {
  std::ostringstream out;
  WriteListing(out, run, against);
  return out.str();
}

// The streams the tests look at: each kind of event, escaped and not, the repeat's
// edges, a failure in the middle and the output bound.
struct TStreamCase {
  const char* name;
  std::function<void(TStreamPacker&)> write;
  uint64_t maxOutput;
  const char* failureClass;  // or nullptr
  Bytes trailing = {};       // source bytes after the stream
  bool leftOver = false;
  bool overloaded = false;  // a table's total reaches 0x2000
};

const std::vector<TStreamCase>& StreamCases() {
  static const std::vector<TStreamCase> cases = {
      {"literals and the end",
       [](TStreamPacker& p) {
         Text(p, "<a>b</a>");
         p.EndMarker();
       },
       kDefaultMaxOutput, nullptr},
      {"code 0, length 0 and the 65535 length",
       [](TStreamPacker& p) {
         Text(p, "xyz");
         p.Repeat(0, 3);
         p.Repeat(0, 0);
         p.Repeat(0, kEscapeLength);
         p.Repeat(2, 4);
         p.EndMarker();
       },
       kDefaultMaxOutput, nullptr},
      {"a refused repeat in the middle",
       [](TStreamPacker& p) {
         Text(p, "abcabc");
         p.Repeat(2, 3);
         p.Repeat(9, 2);
       },
       kDefaultMaxOutput, "Exception"},
      {"the output bound",
       [](TStreamPacker& p) {
         Text(p, "0123456789abcdef");
         p.EndMarker();
       },
       10, kOutputLimitClass},
      {"source left over",
       [](TStreamPacker& p) {
         Text(p, "ab");
         p.EndMarker();
       },
       kDefaultMaxOutput, nullptr, Bytes(8, 0x5A), true},
      {"a table past 0x2000",
       [](TStreamPacker& p) {
         for (int i = 0; i < 8300; ++i) p.Literal('a');
         p.EndMarker();
       },
       kDefaultMaxOutput,
       nullptr,
       {},
       false,
       true},
  };
  return cases;
}

TEST(ExploreJson, EveryLineParsesAndCarriesTheEventsAndTheSummary) {
  for (const TStreamCase& c : StreamCases()) {
    SCOPED_TRACE(c.name);
    const TExploration run = Scripted(c.write, c.maxOutput, c.trailing);
    const std::vector<Json> lines = JsonOf(run);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), Json::parse(R"({"type":"stream","format_version":1,"source_bytes":)" +
                                         std::to_string(run.SourceBytes) + "}"));
    const size_t failures = run.Failure ? 1 : 0;
    ASSERT_EQ(lines.size(), 2 + run.Events.size() + failures);
    uint64_t literals = 0, repeats = 0, repeatBytes = 0, bits = 0;
    for (size_t i = 0; i < run.Events.size(); ++i) {
      const TEvent& e = run.Events[i];
      const Json& j = lines[1 + i];
      EXPECT_EQ(j["type"], EventKindName(e.Kind));
      EXPECT_EQ(j["out"], e.Out);
      EXPECT_EQ(j["depth"], e.Depth);
      EXPECT_EQ(j["bits"], e.Bits);
      EXPECT_NEAR(j["info"].get<double>(), e.Info, 1e-4);
      if (e.Kind == TEventKind::Literal) {
        EXPECT_EQ(j["byte"], e.Byte);
        EXPECT_EQ(j["escaped"], e.Escaped);
        ++literals;
      } else {
        EXPECT_FALSE(j.contains("byte"));
      }
      if (e.Kind == TEventKind::Repeat) {
        EXPECT_EQ(j["code"], e.Code);
        EXPECT_EQ(j["from"], e.From);
        EXPECT_EQ(j["len"], e.Len);
        ++repeats;
        repeatBytes += e.Len;
      }
      bits += e.Bits;
    }
    if (run.Failure) {
      const Json& f = lines[1 + run.Events.size()];
      EXPECT_EQ(f["type"], "failure");
      EXPECT_EQ(f["class"], c.failureClass);
      EXPECT_EQ(f["out"], run.Output.size());
      EXPECT_EQ(f["source_byte"], run.Failure->SourceByte);
      EXPECT_EQ(f["message"], run.Failure->Message);
    } else {
      EXPECT_EQ(c.failureClass, nullptr);
      // The first 32 bits are the initial code value; every other bit belongs to an event.
      EXPECT_EQ(kInitialCodeBits + bits, run.BitsTaken);
    }
    const Json& s = lines.back();
    EXPECT_EQ(s["type"], "summary");
    EXPECT_EQ(s["literals"], literals);
    EXPECT_EQ(s["repeats"], repeats);
    EXPECT_EQ(s["repeat_bytes"], repeatBytes);
    EXPECT_EQ(s["output_bytes"], run.Output.size());
    EXPECT_EQ(s["output_bytes"], literals + repeatBytes);
    EXPECT_EQ(s["bits"], bits);
    EXPECT_EQ(s["end"], c.failureClass == nullptr);
    EXPECT_EQ(s["contexts"], run.Contexts);
    EXPECT_EQ(s["max_total"], run.MaxTotal);
    EXPECT_EQ(s["overloaded_hits"], run.OverloadedHits);
    EXPECT_EQ(s["left_over"], c.leftOver);
    // The stream's last word ends the source unless trailing bytes follow it.
    EXPECT_EQ(s["unused_source_bytes"], c.leftOver ? c.trailing.size() : 0u);
    EXPECT_EQ(s["max_total"].get<uint32_t>() >= 0x2000, c.overloaded);
    EXPECT_EQ(s["overloaded_hits"].get<uint64_t>() > 0, c.overloaded);
    // What follows the end marker, in hex.
    EXPECT_EQ(s.contains("tail_code"), run.Tail.has_value());
    if (run.Tail) {
      EXPECT_EQ(std::stoul(s["tail_code"].get<std::string>(), nullptr, 16), run.Tail->Code);
      EXPECT_EQ(s["tail_unused_bit_count"], run.Tail->UnusedBitCount);
      EXPECT_EQ(std::stoul(s["tail_unused_bits"].get<std::string>(), nullptr, 16),
                run.Tail->UnusedBits);
      std::string bytes;
      for (uint8_t b : c.trailing) bytes += Hex(b, 2);
      EXPECT_EQ(s["tail_bytes"], bytes);
      EXPECT_EQ(s["code_left_share"], run.Tail->CodeLeftShare);
    }
  }
}

TEST(ExploreJson, StringsAreEscapedAndAlwaysWellFormed) {
  struct Case {
    std::string raw;
    std::string decoded;  // what a JSON parser must read back, as UTF-8
  };
  const std::vector<Case> cases = {
      {"plain", "plain"},
      {"quote \" and backslash \\", "quote \" and backslash \\"},
      {std::string("nul \0 tab \t line \n bell \x07 del \x7F", 27),
       std::string("nul \0 tab \t line \n bell \x07 del \x7F", 27)},
      {"W\xC3\xBCrttemberg \xE2\x82\xAC \xF0\x9F\x98\x80",
       "W\xC3\xBCrttemberg \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"lone \x80 continuation", "lone \xEF\xBF\xBD continuation"},
      {"overlong \xC0\x80", "overlong \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate \xED\xA0\x80", "surrogate \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"past U+10FFFF \xF4\x90\x80\x80",
       "past U+10FFFF \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"cut short \xE2\x82", "cut short \xEF\xBF\xBD\xEF\xBF\xBD"},
      {"latin-1 \xE9t\xE9", "latin-1 \xEF\xBF\xBDt\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    const std::string json = JsonString(c.raw);
    EXPECT_EQ(json.find('\n'), std::string::npos) << json;
    try {
      EXPECT_EQ(Json::parse(json).get<std::string>(), c.decoded) << json;
    } catch (const Json::exception& e) {
      ADD_FAILURE() << e.what() << " in: " << json;
    }
  }
}

// The events' depths climb as a repeated text grows its contexts down to the deepest
// level, and the listing and the JSON agree on them.
TEST(ExploreJson, DepthsClimbFromTheRootToTheDeepestContext) {
  const TExploration run = Scripted([](TStreamPacker& p) {
    for (int i = 0; i < 200; ++i) Text(p, "<row>");
    p.EndMarker();
  });
  ASSERT_FALSE(run.Failure);
  bool seen[5] = {};
  for (const TEvent& e : run.Events) seen[std::min<uint8_t>(e.Depth, 4)] = true;
  for (int depth = 0; depth < 5; ++depth) EXPECT_TRUE(seen[depth]) << "depth " << depth;
  const Json summary = JsonOf(run).back();
  uint64_t literals = 0;
  for (int depth = 0; depth < 5; ++depth) {
    literals += summary["literals_by_depth"][depth].get<uint64_t>();
    EXPECT_GT(summary["literals_by_depth"][depth].get<uint64_t>(), 0u) << depth;
  }
  EXPECT_EQ(summary["literals"], literals);
}

TEST(ExploreListing, OneAlignedLinePerEventThenTheSummary) {
  const TExploration run = Scripted([](TStreamPacker& p) {
    Text(p, "ab\n");
    p.Repeat(0, 3);
    p.Repeat(0, 0);
    p.EndMarker();
  });
  const std::string listing = ListingOf(run);
  std::vector<std::string> lines;
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_GT(lines.size(), run.Events.size() + 10);
  struct Expected {
    size_t line;
    const char* text;
  };
  const std::vector<Expected> expected = {
      {0, " event       out depth  kind      bits      info  byte or repeat"},
      {1, "     0         0     0  literal"},
      {2, "     1         1     1  escaped"},
      {3, "     2         2     0  literal"},
      {4, "     3         3     "},
      {5, "     4         6     "},
      {6, "     5         6     "},
      {8, "summary"},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(lines[e.line].substr(0, std::string(e.text).size()), e.text) << lines[e.line];
  }
  EXPECT_TRUE(lines[1].ends_with("61 'a'")) << lines[1];
  EXPECT_TRUE(lines[3].ends_with("0A '\\n'")) << lines[3];
  EXPECT_TRUE(lines[4].ends_with("code   0 from        0 len     3  \"ab\\n\"")) << lines[4];
  EXPECT_TRUE(lines[5].ends_with("len     0  \"\"")) << lines[5];
  EXPECT_EQ(lines[6].substr(24, 3), "end") << lines[6];
  // The bits and info columns end at the same place on every event line.
  const size_t infoEnd = lines[0].find("info") + 4;
  for (size_t i = 1; i <= run.Events.size(); ++i) {
    const size_t figure = lines[i].rfind(' ', infoEnd - 1) + 1;
    EXPECT_EQ(std::min(lines[i].size(), lines[i].find_first_not_of("0123456789.", figure)), infoEnd)
        << lines[i];
  }
  for (const char* figure : {"  source           ", "  output           6 bytes",
                             "  contexts         ", "  repeats                  2         3",
                             "  end marker       reached, the source used up"}) {
    EXPECT_NE(listing.find(figure), std::string::npos) << figure;
  }
}

TEST(ExploreListing, FailureAndVerdictLinesComeBeforeTheSummary) {
  struct Case {
    const char* name;
    size_t streamCase;
    const char* failure;
  };
  const std::vector<Case> cases = {
      {"refused repeat", 2,
       "failure  not a valid stream: decoding failed after 9 output bytes, at source byte "},
      {"output bound", 3, "failure  the decoded output passes its bound: decoding stopped after "},
  };
  for (const Case& c : cases) {
    const TStreamCase& stream = StreamCases()[c.streamCase];
    const TExploration run = Scripted(stream.write, stream.maxOutput);
    const TComparison verdict = Compare(run, run.Output, "copy.txt");
    const std::string listing = ListingOf(run, &verdict);
    const size_t failure = listing.find(c.failure);
    const size_t against = listing.find("against  matches copy.txt (");
    const size_t summary = listing.find("\nsummary\n");
    EXPECT_NE(failure, std::string::npos) << c.name << "\n" << listing;
    EXPECT_LT(failure, against) << c.name;
    EXPECT_LT(against, summary) << c.name;
    EXPECT_NE(listing.find("(" + run.Failure->Message + ")"), std::string::npos) << c.name;
    EXPECT_NE(listing.find("end marker       not reached"), std::string::npos) << c.name;
  }
}

TEST(ExploreAgainst, NamesWhereOutputAndFileFirstPart) {
  // Output "abab" + "ababab": literals a, b, then a repeat of 6 from offset 0 written by
  // event 2 (code 0), then the end.
  const TExploration run = Scripted([](TStreamPacker& p) {
    Text(p, "ab");
    p.Repeat(0, 6);
    p.EndMarker();
  });
  ASSERT_EQ(run.Output, Bytes({'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}));
  struct Case {
    std::string file;
    TVerdict verdict;
    uint64_t offset;
    std::optional<size_t> event;
    const char* text;
  };
  const std::vector<Case> cases = {
      {"abababab", TVerdict::Matches, 8, {}, "matches f (8 bytes)"},
      {"aXababab", TVerdict::Differs, 1, 1,
       "differs from f at offset 1: output 62 'b', f 58 'X', written by event 1 (literal)"},
      {"ababa\n", TVerdict::Differs, 5, 2,
       "differs from f at offset 5: output 62 'b', f 0A '\\n', written by event 2 (repeat)"},
      {"ababababab",
       TVerdict::OutputShorter,
       8,
       {},
       "the output ends first, after 8 bytes; f has 10"},
      {"abab", TVerdict::FileShorter, 4, 2,
       "f ends first, after 4 bytes; the output has 8, written by event 2 (repeat)"},
      {"", TVerdict::FileShorter, 0, 0,
       "f ends first, after 0 bytes; the output has 8, written by event 0 (literal)"},
  };
  for (const Case& c : cases) {
    const TComparison comparison = Compare(run, Bytes(c.file.begin(), c.file.end()), "f");
    EXPECT_EQ(comparison.Verdict, c.verdict) << c.file;
    EXPECT_EQ(comparison.Offset, c.offset) << c.file;
    EXPECT_EQ(comparison.Event, c.event) << c.file;
    EXPECT_EQ(VerdictText(comparison, run.Events), c.text);
    const Json line = JsonOf(run, &comparison).end()[-2];
    EXPECT_EQ(line["type"], "against");
    EXPECT_EQ(line["matches"], c.verdict == TVerdict::Matches);
    EXPECT_EQ(line["file_bytes"], c.file.size());
    EXPECT_EQ(line.contains("offset"), c.verdict != TVerdict::Matches);
    EXPECT_EQ(line.value("offset", c.offset), c.offset);
  }
}

TEST(ExploreEvents, EventAtFindsTheWriterOfEachByte) {
  // Events: literal 0, repeat of 0 bytes at 1, repeat of 3 at 1, literal 4, end at 5.
  std::vector<TEvent> events(5);
  events[0] = {.Kind = TEventKind::Literal, .Out = 0};
  events[1] = {.Kind = TEventKind::Repeat, .Out = 1, .Len = 0};
  events[2] = {.Kind = TEventKind::Repeat, .Out = 1, .Len = 3};
  events[3] = {.Kind = TEventKind::Literal, .Out = 4};
  events[4] = {.Kind = TEventKind::End, .Out = 5};
  const size_t none = events.size();
  const std::vector<std::pair<uint64_t, size_t>> cases = {{0, 0}, {1, 2},    {3, 2},
                                                          {4, 3}, {5, none}, {99, none}};
  for (const auto& [offset, event] : cases) EXPECT_EQ(EventAt(events, offset), event) << offset;
  EXPECT_EQ(EventAt({}, 0), 0u);
}

TEST(ExploreText, BytesShowTheirCharacterWhereTheyHaveOne) {
  const std::vector<std::pair<uint8_t, const char*>> labels = {
      {'<', "3C '<'"}, {'\n', "0A '\\n'"}, {'\t', "09 '\\t'"},
      {0, "00"},       {0xC3, "C3"},       {0x7F, "7F"}};
  for (const auto& [byte, label] : labels) EXPECT_EQ(ByteLabel(byte), label);
  const std::vector<std::pair<std::string, const char*>> previews = {
      {"", "\"\""},
      {"a\"b\\", "\"a\\\"b\\\\\""},
      {std::string("\0\r\xff", 3), "\"\\x00\\r\\xFF\""},
      {"0123456789", "\"01234\"..."}};
  for (const auto& [bytes, preview] : previews) {
    EXPECT_EQ(QuotedPreview(Bytes(bytes.begin(), bytes.end()), 5), preview);
  }
}

TEST(ExplorePage, ShadesFollowTheCostScale) {
  const std::vector<std::pair<double, int>> shades = {{0, 0},   {0.49, 0}, {0.5, 1},      {0.99, 1},
                                                      {1, 2},   {3.5, 4},  {7.99, 8},     {8, 9},
                                                      {100, 9}, {NAN, 0},  {INFINITY, 9}, {-1, 0}};
  for (const auto& [bits, shade] : shades) EXPECT_EQ(ShadeOf(bits), shade) << bits;
  TEvent repeat{.Kind = TEventKind::Repeat, .Info = 6, .Len = 4};
  EXPECT_DOUBLE_EQ(CostPerByte(repeat), 1.5);
  TEvent literal{.Kind = TEventKind::Literal, .Info = 6};
  EXPECT_DOUBLE_EQ(CostPerByte(literal), 6);
}

TEST(ExplorePage, TextUnlessMoreThanATenthIsNotText) {
  const std::vector<std::pair<Bytes, bool>> cases = {
      {{}, false},
      {Bytes(10, 'a'), false},
      {[] {
         Bytes b(9, 'a');
         b.push_back(0xC3);
         return b;
       }(),
       false},
      {[] {
         Bytes b(8, 'a');
         b.push_back(0xC3);
         b.push_back(0x00);
         return b;
       }(),
       true},
      {Bytes{'\t', '\r', '\n', ' '}, false},
  };
  for (const auto& [bytes, hex] : cases) EXPECT_EQ(WantsHexGrid(bytes), hex) << bytes.size();
}

// The event records read back as the page's script reads them.
std::vector<std::vector<int64_t>> ReadRecords(const std::vector<uint8_t>& records) {
  std::vector<std::vector<int64_t>> events;
  size_t at = 0;
  const auto number = [&] {
    int64_t value = 0;
    for (int shift = 0;; shift += 7) {
      value |= int64_t{records.at(at) & 0x7F} << shift;
      if (records.at(at++) < 0x80) return value;
    }
  };
  const auto zigzag = [&] {
    const int64_t v = number();
    return v % 2 ? -(v + 1) / 2 : v / 2;
  };
  while (at < records.size()) {
    const int64_t head = number(), bits = number();
    std::vector<int64_t> e = {head / 3, head % 3, bits, zigzag() + 100 * bits};
    if (head % 3 == 2) {
      const int64_t code = number(), len = number();
      e.insert(e.end(), {code, len, zigzag()});
    }
    events.push_back(e);
  }
  return events;
}

TEST(ExplorePage, OneRecordPerEventTheBytesAndNothingFetched) {
  struct Case {
    const char* name;
    std::function<void(TStreamPacker&)> write;
    bool hex;
    const char* bytes;  // as the page carries them
  };
  const std::vector<Case> cases = {
      {"text",
       [](TStreamPacker& p) {
         Text(p, "<a>&b\n\x01</s`$\\<!");
         p.Repeat(0, 0);
         p.Repeat(0, 4);
         p.EndMarker();
       },
       false, "bytes:Utf8(`<a>&b\n\\x01<\\/s\\`\\$\\\\<\\!<a>&`)"},
      {"utf-8 kept",
       [](TStreamPacker& p) {
         Text(p, "\xC3\xA5\xE2\x86\xB5");
         p.EndMarker();
       },
       true, "bytes:Utf8(`\xC3\xA5\xE2\x86\xB5`)"},
      {"binary",
       [](TStreamPacker& p) {
         for (int b = 0; b < 4; ++b) p.Literal(uint8_t(b * 70));
         p.EndMarker();
       },
       true, "bytes:Base64(\"AEaM0g==\")"},
      {"failure",
       [](TStreamPacker& p) {
         Text(p, "ab");
         p.Repeat(9, 1);
       },
       false, "bytes:Utf8(`ab`)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TExploration run = Scripted(c.write);
    std::ostringstream out;
    WritePage(out, run, nullptr, "dir/s<1>.lum");
    const std::string page = out.str();
    EXPECT_NE(page.find(c.bytes), std::string::npos) << page.substr(page.find("bytes:"), 80);
    EXPECT_NE(page.find(std::string("Start({hex:") + (c.hex ? "true" : "false")),
              std::string::npos);
    const std::vector<std::vector<int64_t>> records = ReadRecords(EventRecords(run.Events));
    ASSERT_EQ(records.size(), run.Events.size() - (run.End ? 1 : 0));
    for (size_t k = 0; k < records.size(); ++k) {
      const TEvent& e = run.Events[k];
      std::vector<int64_t> expected = {e.Depth, e.Kind == TEventKind::Repeat ? 2 : e.Escaped,
                                       e.Bits, std::llround(e.Info * 100)};
      if (e.Kind == TEventKind::Repeat) {
        expected.insert(expected.end(), {e.Code, e.Len, static_cast<int64_t>(e.Out) - e.From});
      }
      EXPECT_EQ(records[k], expected) << "event " << k;
    }
    EXPECT_NE(page.find("<title>dir/s&lt;1&gt;.lum - lumera-explain</title>"), std::string::npos);
    EXPECT_NE(page.find("data-name=\"s&lt;1&gt;\""), std::string::npos);
    EXPECT_NE(page.find("<pre class=s>summary\n"), std::string::npos);
    EXPECT_EQ(page.find("<div class=f>not a valid stream") != std::string::npos,
              run.Failure.has_value());
    for (const char* fetch : {"src=", "href=", "url(", "@import", "http"}) {
      EXPECT_EQ(page.find(fetch), std::string::npos) << fetch;
    }
  }
}

TEST(ExplorePage, CompactFormsOfBytesAndShades) {
  const std::vector<std::pair<std::string, std::string>> base64 = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {std::string("\xFF\xFE\x00\x7F", 4), "//4Afw=="}};
  for (const auto& [bytes, text] : base64) {
    std::ostringstream out;
    WriteBase64(out, Bytes(bytes.begin(), bytes.end()));
    EXPECT_EQ(out.str(), text) << bytes;
  }
  const std::vector<std::pair<std::string, bool>> utf8 = {
      {"plain", true}, {"\xC3\xA5", true}, {"\xC3", false}, {"\xC0\x80", false},
      {"\xED\xA0\x80", false}, {"\xF4\x90\x80\x80", false}, {"a\xF0\x9F\x98\x80", true}};
  for (const auto& [bytes, wellFormed] : utf8) {
    EXPECT_EQ(IsWellFormedUtf8(Bytes(bytes.begin(), bytes.end())), wellFormed) << bytes;
  }
  EXPECT_EQ(PackedShades(Bytes{1, 9, 3}), (Bytes{0x91, 0x03}));
}

TEST(ExplorePage, CostlyRegionsAndTheStrip) {
  // Literals from the root cost about 8 bits a byte, a long repeat well under 1: a run of
  // 16 bytes reaches 6 bits a byte on average with 12 such literals, 4 bytes into the
  // repeat.
  const auto run = [](int fresh, int repeated, int fresh2) {
    return Scripted([=](TStreamPacker& p) {
      for (int i = 0; i < fresh; ++i) p.Literal(uint8_t(i * 37 + 11));
      if (repeated > 0) p.Repeat(0, repeated);
      for (int i = 0; i < fresh2; ++i) p.Literal(uint8_t(i * 53 + 200));
      p.EndMarker();
    });
  };
  struct Case {
    const char* name;
    TExploration run;
    std::vector<TOutputRange> regions;
  };
  const std::vector<Case> cases = {
      {"too short", run(15, 0, 0), {}},
      {"one", run(20, 0, 0), {{0, 20}}},
      {"two apart", run(20, 200, 20), {{0, 24}, {216, 240}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CostlyRegions(c.run), c.regions);
    const std::vector<uint8_t> strip = StripShades(c.run);
    const uint64_t size = c.run.Output.size();
    EXPECT_EQ(strip.size(), (size + StripBlockBytes(size) - 1) / StripBlockBytes(size));
    EXPECT_LE(strip.size(), kStripBlocks);
    EXPECT_GE(strip.front(), ShadeOf(kCostlyBits));
  }
  const TExploration longer = run(20, 65535, 0);
  EXPECT_EQ(StripBlockBytes(longer.Output.size()), 257u);
  EXPECT_EQ(StripShades(longer).size(), kStripBlocks);
  EXPECT_LE(StripShades(longer).back(), 1);
  const std::vector<std::pair<std::string, std::string>> names = {
      {"s.lum", "s"}, {"dir/a.b.lum", "a.b"}, {"c:\\x\\y.lum", "y"}, {".lum", ".lum.out"},
      {"standard input", "standard input.out"}};
  for (const auto& [title, name] : names) EXPECT_EQ(DownloadName(title), name);
}

}  // namespace
}  // namespace lumera
