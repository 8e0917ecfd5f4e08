// The heat-map page as a person sees it: rendered by headless Chromium, its DOM must hold
// the decoded text and the summary's figures, and its screenshot must show the shading.
// Without Chromium the test is skipped, with the reason.
//
// With LUMERA_KEEP_SCREENSHOTS set to a folder, the screenshots are copied there (the
// README's picture is made this way).
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "child_process.h"
#include "chromium.h"
#include "encoder/pack.h"
#include "explore/exploration.h"
#include "test_support.h"

namespace lumera {
namespace {

using testing::ReadFile;
using testing::RunChild;
using testing::TChildRun;
using testing::TScratchDir;
using testing::WriteFile;
using Bytes = std::vector<uint8_t>;

constexpr const char* kTimeout = "/usr/bin/timeout";

TChildRun RunChromium(const TScratchDir& dir, const std::vector<std::string>& action,
                      const std::string& page) {
  std::vector<std::string> args = {"120", testing::kChromium};
  for (std::string& arg : testing::ChromiumArgs(dir / "profile", action, page)) {
    args.push_back(std::move(arg));
  }
  return RunChild(kTimeout, args, dir);
}

// The text of the laid-out bytes in the dumped DOM: tags dropped, entities read, and the
// visible marks of the line breaks taken out again.
std::string DecodedTextOf(const std::string& dom) {
  const size_t start = dom.find('>', dom.find("<pre id=\"t\"")) + 1;
  const std::string html = dom.substr(start, dom.find("</pre>", start) - start);
  std::string text = std::regex_replace(html, std::regex("<[^>]*>"), "");
  for (const auto& [entity, c] : std::vector<std::pair<std::string, std::string>>{
           {"\xE2\x86\xB5", ""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
    text = std::regex_replace(text, std::regex(entity), c);
  }
  return text;
}

struct TPixels {
  size_t Colours = 0;
  double Coloured = 0;  // the share of pixels that are neither white nor grey
};

TPixels Measure(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  TPixels pixels;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return pixels;
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return pixels;
  std::set<uint32_t> colours;
  size_t coloured = 0;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    colours.insert(uint32_t{rgb[i]} << 16 | uint32_t{rgb[i + 1]} << 8 | rgb[i + 2]);
    if (std::max({rgb[i], rgb[i + 1], rgb[i + 2]}) - std::min({rgb[i], rgb[i + 1], rgb[i + 2]}) >
        40) {
      ++coloured;
    }
  }
  pixels.Colours = colours.size();
  pixels.Coloured = static_cast<double>(coloured) / (rgb.size() / 3);
  return pixels;
}

size_t RepeatIndex(const std::vector<TEvent>& events) {
  for (size_t i = 0; i < events.size(); ++i) {
    if (events[i].Kind == TEventKind::Repeat) return i;
  }
  return 0;
}

// Moves the mouse over the elements of the given events and keeps the texts shown.
std::string HoverScript(const std::vector<size_t>& events) {
  std::string list;
  for (size_t e : events) {
    if (!list.empty()) list += ',';
    list += std::to_string(e);
  }
  return "<script>{const h=[];for(const k of [" + list +
         "]){T.children[k].dispatchEvent(new MouseEvent('mouseover',{bubbles:true}));"
         "h.push(P.textContent)}document.body.dataset.hover=h.join('|')}</script>";
}

// What hovering over an event's bytes must show.
std::string HoverText(const std::vector<TEvent>& events, size_t index) {
  const TEvent& e = events[index];
  const bool repeat = e.Kind == TEventKind::Repeat;
  char text[160];
  std::snprintf(text, sizeof text, "event %zu %s  out %llu  depth %u  bits %u  info %.2f", index,
                repeat      ? "repeat"
                : e.Escaped ? "literal (escaped)"
                            : "literal",
                static_cast<unsigned long long>(e.Out), unsigned{e.Depth}, e.Bits, e.Info);
  std::string shown = text;
  if (repeat) {
    std::snprintf(text, sizeof text, "  code %u  from %u  len %u", unsigned{e.Code}, e.From, e.Len);
    shown += text;
  }
  return shown;
}

std::string LargerText() {
  std::string text = "<?xml version=\"1.0\"?>\n<regions>\n";
  for (int i = 0; i < 600; ++i) {
    text += "  <region code=\"R-" + std::to_string(i * 7919 % 10000) + "\" name=\"Region " +
            std::to_string(i) + "\" type=\"" + (i % 3 ? "province" : "district") + "\"/>\n";
  }
  return text + "</regions>\n";
}

TEST(ExplorePageInBrowser, ShowsTheTextTheSummaryAndTheShading) {
  if (::access(testing::kChromium, X_OK) != 0) {
    GTEST_SKIP() << "no Chromium at '" << testing::kChromium
                 << "' (Debian package chromium, found when the build is configured): the page "
                    "is not rendered";
  }
  const std::string larger = LargerText();
  struct Case {
    const char* name;
    Bytes stream;
  };
  const std::vector<Case> cases = {
      {"sample",
       [] {
         const std::string s = ReadFile(std::string(LUMERA_EXAMPLES_DIR) + "/sample.lum");
         return Bytes(s.begin(), s.end());
       }()},
      {"larger", Pack(Bytes(larger.begin(), larger.end()))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TScratchDir dir;
    const TExploration run = Explore(c.stream);
    ASSERT_TRUE(run.End);
    WriteFile(dir / "s.lum", c.stream);
    const TChildRun explain =
        RunChild(LUMERA_EXPLAIN_BINARY, {"--html", "page.html", "s.lum"}, dir);
    ASSERT_EQ(explain.Status, 0) << explain.Err;

    // A copy of the page that hovers over two bytes, as a person's mouse would, and keeps
    // what the page showed each time.
    const size_t repeat = RepeatIndex(run.Events);
    std::string page = ReadFile(dir / "page.html");
    page.insert(page.rfind("</body>"), HoverScript({1, repeat}));
    WriteFile(dir / "hover.html", page);
    const TChildRun dom = RunChromium(dir, {"--dump-dom"}, dir / "hover.html");
    ASSERT_EQ(dom.Status, 0) << dom.Err;
    EXPECT_EQ(DecodedTextOf(dom.Out), std::string(run.Output.begin(), run.Output.end()));
    // The script ran and found an element for every event that wrote bytes.
    EXPECT_NE(dom.Out.find("data-events=\"" + std::to_string(run.Events.size() - 1) + "\""),
              std::string::npos);
    EXPECT_NE(dom.Out.find("data-hover=\"" + HoverText(run.Events, 1) + "|" +
                           HoverText(run.Events, repeat) + "\""),
              std::string::npos)
        << dom.Out.substr(dom.Out.find("<body"), 300);
    for (const std::string& figure :
         {std::to_string(run.Output.size()) + " bytes, ratio",
          std::to_string(run.Contexts) + " of 2048 child tables created",
          std::string("reached, the source used up")}) {
      EXPECT_NE(dom.Out.find(figure), std::string::npos) << figure;
    }

    const TChildRun shot = RunChromium(
        dir, {"--window-size=1100,800", "--screenshot=" + (dir / "shot.png")}, dir / "page.html");
    ASSERT_EQ(shot.Status, 0) << shot.Err;
    const TPixels pixels = Measure(dir / "shot.png");
    EXPECT_GE(pixels.Colours, 10u);
    EXPECT_GT(pixels.Coloured, 0.03);
    if (const char* keep = std::getenv("LUMERA_KEEP_SCREENSHOTS")) {
      std::filesystem::copy_file(dir / "shot.png", std::string(keep) + "/" + c.name + ".png",
                                 std::filesystem::copy_options::overwrite_existing);
    }
  }
}

}  // namespace
}  // namespace lumera
