// The heat-map page as a person sees it: rendered by headless Chromium, its DOM must hold
// the decoded text and the summary's figures, and its screenshot must show the shading.
// Without Chromium the test is skipped, with the reason.
//
// With LUMERA_KEEP_SCREENSHOTS set to a folder, the screenshots are copied there (the
// README's picture is made this way).
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
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
#include "explore/heat_map.h"
#include "test_support.h"

namespace lumera {
namespace {

using testing::ReadFile;
using testing::RunChild;
using testing::RunChromium;
using testing::TChildRun;
using testing::TScratchDir;
using testing::WriteFile;
using Bytes = std::vector<uint8_t>;

// The text of the rows laid out in the dumped DOM, and the offset of their first byte:
// offsets and tags dropped, entities read, and the visible marks of the line breaks read
// as line breaks again.
std::pair<uint64_t, std::string> DecodedTextOf(const std::string& dom) {
  const size_t start = dom.find("<div id=\"v\"");
  const size_t first = dom.find("data-o=\"", start) + 8;
  const std::string html = dom.substr(start, dom.find("<div id=\"z\"", start) - start);
  std::string text = std::regex_replace(html, std::regex("<span class=\"n\">[^<]*</span>"), "");
  text = std::regex_replace(text, std::regex("<[^>]*>"), "");
  for (const auto& [entity, c] : std::vector<std::pair<std::string, std::string>>{
           {"\xE2\x86\xB5", "\n"}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}}) {
    text = std::regex_replace(text, std::regex(entity), c);
  }
  return {std::stoull(dom.substr(first)), text};
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

// Moves the mouse over the bytes at the given offsets, then out of the text, and keeps
// what the hover box showed each time.
std::string HoverScript(const std::vector<uint64_t>& offsets) {
  std::string list;
  for (uint64_t e : offsets) {
    if (!list.empty()) list += ',';
    list += std::to_string(e);
  }
  return "<script>{const h=[],T=document.getElementById('t'),P=document.getElementById('p');"
         "for(const o of [" + list +
         "]){document.querySelector('#v [data-o=\"'+o+'\"]').dispatchEvent(new MouseEvent("
         "'mouseover',{bubbles:true}));h.push(P.textContent)}"
         "T.dispatchEvent(new MouseEvent('mouseleave'));h.push(getComputedStyle(P).display);"
         "document.body.dataset.hover=h.join('|')}</script>";
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
  for (int i = 0; i < 5000; ++i) {
    if (i == 3600) text += "  <note>a needle in the haystack</note>\n";
    text += "  <region code=\"R-" + std::to_string(i * 7919 % 10000) + "\" name=\"Region " +
            std::to_string(i) + "\" type=\"" + (i % 3 ? "province" : "district") + "\"/>\n";
  }
  return text + "</regions>\n";
}

// After the page opened at #offset=N: checks byte N is on screen, then clicks the strip,
// presses n and searches, and checks that each brought its place on screen; the outcome
// goes to the body's data-checks, "" when all held.
std::string ActionsScript(uint64_t offset, uint64_t block, uint64_t blockOffset,
                          uint64_t costly) {
  return "<script>{const $=id=>document.getElementById(id),f=[];"
         "const shown=n=>{const r=[...document.querySelectorAll('#v>div')].filter(x=>+x.dataset.o<=n)"
         ".pop();if(!r)return false;const b=r.getBoundingClientRect();"
         "return b.top>=$('k').getBoundingClientRect().bottom&&b.bottom<=innerHeight};"
         "if(!shown(" + std::to_string(offset) + "))f.push('offset');"
         "$('z').children[" + std::to_string(block) + "].click();"
         "if(!shown(" + std::to_string(blockOffset) + "))f.push('strip');"
         "document.dispatchEvent(new KeyboardEvent('keydown',{key:'n',bubbles:true}));"
         "if(!shown(" + std::to_string(costly) + "))f.push('n');"
         "$('q').value='needle';$('q').dispatchEvent(new Event('input'));"
         "const h=[...document.querySelectorAll('#v .h')];"
         "if(h.map(x=>x.textContent).join('')!=='needle'||!shown(+h[0].dataset.o))f.push('search');"
         "document.body.dataset.checks=f.join(' ');scrollTo(0,0);dispatchEvent(new Event('scroll'))}"
         "</script>";
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
    bool acts;  // opens at an offset and tries the strip, n and the search
  };
  const std::vector<Case> cases = {
      {"sample",
       [] {
         const std::string s = ReadFile(std::string(LUMERA_EXAMPLES_DIR) + "/sample.lum");
         return Bytes(s.begin(), s.end());
       }(),
       false},
      {"larger", Pack(Bytes(larger.begin(), larger.end())), true},
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
    const uint64_t size = run.Output.size(), offset = size * 3 / 4;
    const uint64_t block = kStripBlocks / 3, blockOffset = block * StripBlockBytes(size);
    std::string actions;
    if (c.acts) {
      ASSERT_GE(size, 300'000u);
      const std::vector<TOutputRange> costly = CostlyRegions(run);
      const auto next = std::find_if(costly.begin(), costly.end(),
                                     [&](const TOutputRange& r) { return r.Begin > blockOffset; });
      ASSERT_NE(next, costly.end());
      actions = ActionsScript(offset, block, blockOffset, next->Begin);
    }
    page.insert(page.rfind("</body>"),
                actions + HoverScript({run.Events[1].Out, run.Events[repeat].Out}));
    WriteFile(dir / "hover.html", page);
    const TChildRun dom = RunChromium(
        dir, {"--window-size=1100,800", "--dump-dom"},
        dir / (c.acts ? "hover.html#offset=" + std::to_string(offset) : "hover.html"));
    if (c.acts) {
      EXPECT_NE(dom.Out.find("data-checks=\"\""), std::string::npos)
          << dom.Out.substr(dom.Out.find("<body"), 200);
    }
    ASSERT_EQ(dom.Status, 0) << dom.Err;
    // The rows laid out hold the decoded bytes from their first offset on.
    const auto [first, laid] = DecodedTextOf(dom.Out);
    EXPECT_EQ(laid, std::string(run.Output.begin(), run.Output.end()).substr(first, laid.size()));
    EXPECT_GT(laid.size(), 1000u < run.Output.size() ? 1000u : run.Output.size() - 1);
    // The script ran and found an element for every event that wrote bytes.
    EXPECT_NE(dom.Out.find("data-events=\"" + std::to_string(run.Events.size() - 1) + "\""),
              std::string::npos);
    EXPECT_NE(dom.Out.find("data-hover=\"" + HoverText(run.Events, 1) + "|" +
                           HoverText(run.Events, repeat) + "|none\""),
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
