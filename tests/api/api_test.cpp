// The public library as a caller sees it: only <lumera/lumera.h>.
#include <gtest/gtest.h>
#include <lumera/lumera.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(size_t lines) {
  std::string text;
  for (size_t i = 0; i < lines; ++i)
    text += "<row n=\"" + std::to_string(i % 97) + "\">cell</row>\n";
  return {text.begin(), text.end()};
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Bytes Join(Bytes first, const Bytes& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

template <class F>
lumera::Error ErrorOf(F call) {
  try {
    call();
  } catch (const lumera::Error& e) {
    return e;
  }
  ADD_FAILURE() << "no lumera::Error raised";
  return lumera::Error(lumera::ErrorKind::InvalidStream, "", "", "");
}

TEST(Api, RoundTripsAtEveryLevelAndExplainAgreesWithDecompress) {
  for (const Bytes& data : {Bytes{}, Bytes{'x'}, Text(400)}) {
    for (int level : {1, 9}) {
      const Bytes packed = lumera::Compress(data, {level});
      ASSERT_EQ(lumera::Decompress(packed), data) << "level " << level;
      uint64_t literals = 0, repeatBytes = 0, bits = 0, events = 0;
      const lumera::ExplainSummary summary = lumera::Explain(packed, [&](const lumera::Event& e) {
        ++events;
        bits += e.bits;
        if (e.type == lumera::EventType::Literal) ++literals;
        if (e.type == lumera::EventType::Repeat) repeatBytes += e.len;
      });
      EXPECT_EQ(summary.output_bytes, data.size());
      EXPECT_EQ(summary.literals + summary.repeats + 1, events);
      EXPECT_EQ(summary.literals, literals);
      EXPECT_EQ(summary.repeat_bytes, repeatBytes);
      EXPECT_EQ(summary.bits, bits);
      EXPECT_EQ(summary.literals + summary.repeat_bytes, data.size());
      EXPECT_TRUE(summary.end);
      EXPECT_FALSE(summary.left_over);
    }
  }
}

// Explain's events and tail give the stream back; an event that cannot be coded is refused
// with its index.
TEST(Api, PackEventsGivesAnExplainedStreamBackAndRefusesWithTheIndex) {
  Bytes stream = lumera::Compress(Text(200), {9});
  stream.insert(stream.end(), {9, 8, 7});
  std::vector<lumera::Event> events;
  const lumera::ExplainSummary summary =
      lumera::Explain(stream, [&](const lumera::Event& e) { events.push_back(e); });
  ASSERT_TRUE(summary.tail);
  EXPECT_EQ(summary.tail->trailing, (Bytes{9, 8, 7}));
  const lumera::PackedEvents again = lumera::PackEvents(events, summary.tail);
  EXPECT_EQ(again.tail, lumera::TailOutcome::Kept);
  EXPECT_EQ(again.stream, stream);
  EXPECT_EQ(lumera::PackEvents(events).tail, lumera::TailOutcome::MadeAnew);

  events.insert(events.begin() + 3, events.back());
  const lumera::Error refused = ErrorOf([&] { lumera::PackEvents(events, summary.tail); });
  EXPECT_EQ(refused.kind(), lumera::ErrorKind::RefusedEvent);
  EXPECT_EQ(refused.event_index(), 4u);
}

TEST(Api, ErrorsCarryTheirKindAndOffsets) {
  Bytes cut = lumera::Compress(Text(400));
  cut.resize(cut.size() / 2);
  const lumera::Error invalid = ErrorOf([&] { lumera::Decompress(cut); });
  EXPECT_EQ(invalid.kind(), lumera::ErrorKind::InvalidStream);
  EXPECT_EQ(invalid.class_name(), "Exception");
  EXPECT_GT(invalid.out_offset().value_or(0), 0u);
  EXPECT_LE(invalid.source_offset().value_or(~0ull), cut.size());
  EXPECT_FALSE(invalid.input_offset());

  const lumera::Error limit =
      ErrorOf([&] { lumera::Decompress(lumera::Compress(Text(400)), {.max_output = 1000}); });
  EXPECT_EQ(limit.kind(), lumera::ErrorKind::OutputLimit);
  EXPECT_GE(limit.out_offset().value_or(0), 1000u);

  std::mt19937 random(5);
  Bytes noise(400000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  const lumera::Error large = ErrorOf([&] { lumera::Compress(noise); });
  EXPECT_EQ(large.kind(), lumera::ErrorKind::TooLarge);
  EXPECT_GT(large.input_offset().value_or(0), 1000u);

  const Bytes notExe{'h', 'e', 'l', 'l', 'o'};
  EXPECT_EQ(ErrorOf([&] { lumera::ListResources(notExe); }).kind(),
            lumera::ErrorKind::BadExecutable);
  EXPECT_EQ(ErrorOf([&] { lumera::FindResource(notExe); }).kind(),
            lumera::ErrorKind::BadExecutable);
  EXPECT_EQ(ErrorOf([&] { lumera::ReplaceResource(notExe, lumera::Compress(notExe)); }).kind(),
            lumera::ErrorKind::BadExecutable);
}

// An end marker with 4 or more source bytes after it marks a damaged stream, or other
// data after it: refused unless allowed. A user met the damaged base.xml of xkb-data.
TEST(Api, AStreamThatEndsEarlyIsRefusedUnlessTrailingBytesAreAllowed) {
  const Bytes text = Text(400);
  const Bytes packed = lumera::Compress(text);
  const struct {
    const char* name;
    Bytes stream;
    Bytes decoded;  // with trailing bytes allowed
    uint64_t unused;
  } cases[] = {{"3 bytes after the end", Join(packed, {1, 2, 3}), text, 3},
               {"4 bytes after the end", Join(packed, {1, 2, 3, 4}), text, 4},
               {"a second stream after the end", Join(packed, packed), text, packed.size()}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lumera::Decompress(c.stream, {.allow_trailing = true}), c.decoded);
    if (c.unused < 4) {
      EXPECT_EQ(lumera::Decompress(c.stream), c.decoded);
      continue;
    }
    const lumera::Error early = ErrorOf([&] { lumera::Decompress(c.stream); });
    EXPECT_EQ(early.kind(), lumera::ErrorKind::InvalidStream);
    EXPECT_EQ(early.out_offset(), c.decoded.size());
    // The byte that holds the end marker's last bit lies in the last word read.
    EXPECT_NEAR(early.source_offset().value_or(0), c.stream.size() - c.unused - 2.0, 2.0);
    EXPECT_EQ(early.message(), std::to_string(c.unused) + " source bytes left unused.");
  }
}

TEST(Api, TheDamagedXkbRulesAreRefused) {
  const char* const rules = "/usr/share/X11/xkb/rules/base.xml";
  std::ifstream in(rules, std::ios::binary);
  if (!in) GTEST_SKIP() << rules << " (xkb-data) is missing";
  const Bytes text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Bytes damaged = lumera::Compress(text, {.level = 9});
  damaged[5922] ^= 0xFF;
  const lumera::Error early = ErrorOf([&] { lumera::Decompress(damaged); });
  EXPECT_EQ(early.kind(), lumera::ErrorKind::InvalidStream);
  EXPECT_EQ(early.what(), std::string("the stream is damaged, or other data follows it: its end "
                                      "marker came after 69720 output bytes, at source byte "
                                      "5961 (11664 source bytes left unused.)"));
  EXPECT_EQ(lumera::Decompress(damaged, {.allow_trailing = true}).size(), 69720u);
}

// Text packed on the way in, or a stream as it is: either grows the executable when it
// does not fit, and reads back. What is not a stream is refused before anything else.
TEST(Api, ReplacesAResourceWithTextOrAStreamOfAnySize) {
  std::ifstream in(std::string(LUMERA_EXECUTABLES) + "/lumera64.exe", std::ios::binary);
  const Bytes exe{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const Bytes text = Text(2000);
  for (const Bytes& replaced : {lumera::ReplaceResource(exe, text, {}, {.level = 9}),
                                lumera::ReplaceResource(exe, lumera::Compress(text))}) {
    EXPECT_GT(replaced.size(), exe.size());
    EXPECT_EQ(lumera::Decompress(lumera::FindResource(replaced).bytes), text);
  }
  const Bytes small =
      lumera::ReplaceResource(exe, Text(1), {.name = "idr_lumera", .language = {}}, {.level = 1});
  EXPECT_EQ(small.size(), exe.size());
  EXPECT_EQ(ErrorOf([&] { lumera::ReplaceResource(exe, text); }).kind(),
            lumera::ErrorKind::InvalidStream);
  EXPECT_EQ(ErrorOf([&] {
              lumera::ReplaceResource(exe, text, {.name = "#7", .language = {}}, {.level = 9});
            }).what(),
            std::string("no RCDATA resource with ID 7; its RCDATA resources are IDR_LUMERA"));
}

TEST(Api, FindsAResourceByTypeNumberOrNameAndSaysWhichLanguage) {
  const Bytes mixed = ReadFile(LUMERA_EXECUTABLES "/mixed.exe");
  EXPECT_EQ(lumera::FindResource(mixed, "readme", "docs").bytes,
            ReadFile(LUMERA_EXAMPLES "/dec.xml"));
  EXPECT_EQ(lumera::FindResource(mixed, "#1", "MANIFEST").bytes,
            lumera::FindResource(mixed, "#1", 24).bytes);
  EXPECT_EQ(ErrorOf([&] { lumera::FindResource(mixed, "README", "RCDATA"); }).kind(),
            lumera::ErrorKind::BadExecutable);
  // German comes first in directory order.
  const Bytes languages = ReadFile(LUMERA_EXECUTABLES "/languages.exe");
  EXPECT_EQ(lumera::FindResource(languages).language, 1031);
  EXPECT_EQ(lumera::FindResource(languages, "IDR_LUMERA", "RCDATA", 1033).language, 1033);
  // A replacement takes the language chosen, or the first, and leaves the other as it was.
  const Bytes text = Text(3);
  for (const std::optional<uint16_t> language : {std::optional<uint16_t>{}, {1033}}) {
    const Bytes replaced =
        lumera::ReplaceResource(languages, text, {.language = language}, {.level = 9});
    const uint16_t patched = language.value_or(1031);
    const uint16_t other = patched == 1031 ? 1033 : 1031;
    EXPECT_EQ(
        lumera::Decompress(lumera::FindResource(replaced, "IDR_LUMERA", "RCDATA", patched).bytes),
        text);
    EXPECT_EQ(lumera::FindResource(replaced, "IDR_LUMERA", "RCDATA", other).bytes,
              lumera::FindResource(languages, "IDR_LUMERA", "RCDATA", other).bytes);
  }
}

TEST(Api, VersionMatchesTheHeader) {
  EXPECT_EQ(std::string(lumera::Version()), std::to_string(LUMERA_VERSION_MAJOR) + "." +
                                                std::to_string(LUMERA_VERSION_MINOR) + "." +
                                                std::to_string(LUMERA_VERSION_PATCH));
}

}  // namespace
