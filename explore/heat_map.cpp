#include "explore/heat_map.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string_view>

#include "explore/byte_text.h"
#include "explore/listing.h"
#include "explore/page_data.h"
#include "explore/page_script.h"

namespace lumera {

namespace {

// The height of a row of the text, in pixels: the script places rows by it.
constexpr int kRowPixels = 20;

// From deep blue (cheap) to red (8 bits and more), with a text colour that stays legible.
constexpr const char* kShadeStyles[kShades] = {"background:#08306b;color:#fff",
                                               "background:#1c5aa6;color:#fff",
                                               "background:#3f8fc5;color:#fff",
                                               "background:#7fc4dc",
                                               "background:#b7e3c0",
                                               "background:#e3f1a0",
                                               "background:#fee08b",
                                               "background:#fdae61",
                                               "background:#f0603e;color:#fff",
                                               "background:#c51b25;color:#fff"};
constexpr const char* kShadeLabels[kShades] = {"&lt;0.5", "0.5-1", "1-2", "2-3", "3-4",
                                               "4-5",     "5-6",   "6-7", "7-8", "&ge;8"};

// The text (#t) holds the rows laid out (#v) at their place in its full height; the
// toolbar (#k) stays at the top, the strip (#z) and its mark of what is on screen (#y) at
// the right, and the hover box (#p) at the bottom.
constexpr const char* kStyle =
    "body{font:14px/1.4 monospace;margin:1em 3em 1em 1.5em;color:#111;background:#fff;"
    "overflow-anchor:none}"
    "h1{font-size:1.2em}pre{margin:0}"
    ".s{background:#f4f4f4;padding:.5em;display:inline-block}"
    ".f{color:#a00;font-weight:bold;margin:.5em 0}.a{margin:.5em 0}"
    ".l{margin:.8em 0}.l i{padding:0 .5em}"
    "#k{position:sticky;top:0;z-index:1;background:#fff;padding:.4em 0;"
    "border-bottom:1px solid #ccc;margin-bottom:.3em}#k div{color:#555;margin-top:.3em}"
    "#m{color:#05a;margin-left:1em}"
    "#t{position:relative}#v{position:absolute;left:0;right:0}"
    "#v>div{white-space:pre}.n{color:#888;cursor:pointer;user-select:none}"
    "#t i,#t u,.l i,.l u{font-style:normal;text-decoration:none}"
    "#t u,.l u{box-shadow:inset 0 -2px #000,inset 1px 0 #0009}"
    "#t b{font-weight:normal;font-size:80%;outline:1px solid #999;margin:0 1px}"
    "#t .h{background:#ff0;color:#000;outline:1px solid #000}"
    "#t .g{outline:2px solid #000;outline-offset:1px}"
    "#z{position:fixed;top:0;right:0;bottom:0;width:1.5em;display:flex;flex-direction:column;"
    "cursor:pointer;border-left:1px solid #888;background:#eee}#z div{flex:1}"
    "#y{position:fixed;right:0;width:1.5em;box-sizing:border-box;border:2px solid #000;"
    "outline:1px solid #fff;pointer-events:none}"
    "#p{position:fixed;right:3em;bottom:1em;z-index:2;background:#ffe;border:1px solid #888;"
    "padding:.4em .6em;display:none}";

std::string HtmlEscaped(const std::string& text) {
  std::string html;
  html.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        html += "&amp;";
        break;
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '"':
        html += "&quot;";
        break;
      default:
        html += c;
    }
  }
  return html;
}

// The cost of each output byte in turn, for a reader that only moves forward, in whole
// units so that sums over a sliding run stay exact. A cost is counted between 0 and 64
// bits, so that one that is not finite cannot spoil the sums.
class TByteCosts {
 public:
  static constexpr int64_t kUnitsABit = 1024;

  explicit TByteCosts(const std::vector<TEvent>& events) : FEvents(events) {}

  // The cost of byte at, which is never before the last one asked for; 0 for a byte that
  // no event wrote.
  int64_t At(uint64_t at) {
    while (FNext < FEvents.size() && FEvents[FNext].Out + EventBytes(FEvents[FNext]) <= at) {
      ++FNext;
    }
    if (FNext == FEvents.size() || FEvents[FNext].Out > at) return 0;
    const double bits = CostPerByte(FEvents[FNext]);
    return bits >= 0 ? std::llround(std::min(bits, 64.0) * kUnitsABit) : 0;
  }

 private:
  const std::vector<TEvent>& FEvents;
  size_t FNext = 0;
};

// The search box, the two ways to take the decoded bytes away, a line for the script's
// messages, and the keys with the rule of a costly region.
void WriteToolbar(std::ostream& out, const std::string& title) {
  out << "<div id=k><input id=q type=search size=30 placeholder=\"find in the decoded text\">"
      << " <button id=cp>copy decoded text</button> <button id=dl data-name=\""
      << HtmlEscaped(DownloadName(title)) << "\">download the decoded bytes</button><span id=m>"
      << "</span>\n<div>keys n / p: the next / previous costly region, where " << kCostlyBytes
      << " bytes in a row cost " << kCostlyBits
      << " bits a byte or more on average; Enter / Shift+Enter in the search: the next / previous match;"
      << " click an offset for a link to its line (#offset=N); the strip at the right: the"
      << " whole output, click to go there</div></div>\n";
}

// The argument of the script's Start: the layout, the strip, the costly regions, and the
// compact arrays of shades, events and bytes.
void WriteData(std::ostream& out, const TExploration& run, bool hex) {
  out << "Start({hex:" << (hex ? "true" : "false") << ",row:" << kRowPixels
      << ",block:" << StripBlockBytes(run.Output.size()) << ",strip:\"";
  for (uint8_t shade : StripShades(run)) out.put(static_cast<char>('0' + shade));
  out << "\",costly:[";
  const char* comma = "";
  for (const TOutputRange& region : CostlyRegions(run)) {
    out << comma << region.Begin << ',' << region.End;
    comma = ",";
  }
  out << "],\nshades:\"";
  WriteBase64(out, PackedShades(ByteShades(run)));
  out << "\",\nevents:\"";
  WriteBase64(out, EventRecords(run.Events));
  out << "\",\nbytes:";
  if (IsWellFormedUtf8(run.Output)) {
    out << "Utf8(";
    WriteTemplateLiteral(out, run.Output);
    out << ')';
  } else {
    out << "Base64(\"";
    WriteBase64(out, run.Output);
    out << "\")";
  }
  out << "});\n";
}

void WriteHead(std::ostream& out, const std::string& title) {
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      << "<title>" << HtmlEscaped(title) << " - lumera-explain</title>\n<style>" << kStyle;
  for (int shade = 0; shade < kShades; ++shade)
    out << ".c" << shade << '{' << kShadeStyles[shade] << '}';
  out << "#v>div{height:" << kRowPixels << "px;line-height:" << kRowPixels << "px}";
  out << "</style></head><body>\n<h1>" << HtmlEscaped(title) << "</h1>\n";
}

void WriteHeading(std::ostream& out, const TExploration& run, const TComparison* against) {
  std::ostringstream summary;
  WriteSummary(summary, run);
  out << "<pre class=s>" << HtmlEscaped(summary.str()) << "</pre>\n";
  if (run.Failure) {
    out << "<div class=f>" << HtmlEscaped(FailureSentence(*run.Failure)) << "</div>\n";
  }
  if (against) {
    out << "<div class=a>" << HtmlEscaped(VerdictText(*against, run.Events)) << "</div>\n";
  }
  out << "<div class=l>bits per byte:";
  for (int shade = 0; shade < kShades; ++shade) {
    out << " <i class=c" << shade << '>' << kShadeLabels[shade] << "</i>";
  }
  out << " &nbsp; <u>repeat bytes</u> are underlined; hover over a byte for its event</div>\n";
}

}  // namespace

int ShadeOf(double bits) {
  if (!(bits >= 0.5)) return 0;
  if (bits < 1) return 1;
  return static_cast<int>(std::min<double>(kShades - 1, 1 + std::floor(bits)));
}

double CostPerByte(const TEvent& event) {
  const uint64_t bytes = EventBytes(event);
  return bytes == 0 ? event.Info : event.Info / static_cast<double>(bytes);
}

std::vector<uint8_t> ByteShades(const TExploration& run) {
  std::vector<uint8_t> shades(run.Output.size());
  for (const TEvent& e : run.Events) {
    const uint64_t end = std::min<uint64_t>(e.Out + EventBytes(e), shades.size());
    if (e.Out >= end) continue;
    std::fill(shades.begin() + e.Out, shades.begin() + end, ShadeOf(CostPerByte(e)));
  }
  return shades;
}

std::vector<TOutputRange> CostlyRegions(const TExploration& run) {
  const uint64_t size = run.Output.size();
  std::vector<TOutputRange> regions;
  if (size < kCostlyBytes) return regions;
  TByteCosts head(run.Events), tail(run.Events);
  int64_t window = 0;  // the cost of the kCostlyBytes bytes from begin
  for (uint64_t at = 0; at < kCostlyBytes; ++at) window += head.At(at);
  const auto costly = static_cast<int64_t>(kCostlyBits * kCostlyBytes * TByteCosts::kUnitsABit);
  for (uint64_t begin = 0;; ++begin) {
    if (window >= costly) {
      if (!regions.empty() && begin <= regions.back().End) {
        regions.back().End = begin + kCostlyBytes;
      } else {
        regions.push_back({begin, begin + kCostlyBytes});
      }
    }
    if (begin + kCostlyBytes == size) break;
    window += head.At(begin + kCostlyBytes) - tail.At(begin);
  }
  return regions;
}

uint64_t StripBlockBytes(uint64_t size) {
  return std::max<uint64_t>(1, (size + kStripBlocks - 1) / kStripBlocks);
}

std::vector<uint8_t> StripShades(const TExploration& run) {
  const uint64_t size = run.Output.size();
  const uint64_t block = StripBlockBytes(size);
  std::vector<double> bits((size + block - 1) / block);
  for (const TEvent& e : run.Events) {
    const uint64_t end = std::min<uint64_t>(e.Out + EventBytes(e), size);
    for (uint64_t at = e.Out; at < end;) {
      const uint64_t stop = std::min(end, (at / block + 1) * block);
      bits[at / block] += CostPerByte(e) * static_cast<double>(stop - at);
      at = stop;
    }
  }
  std::vector<uint8_t> shades(bits.size());
  for (size_t i = 0; i < bits.size(); ++i) {
    const uint64_t bytes = std::min(block, size - i * block);
    shades[i] = static_cast<uint8_t>(ShadeOf(bits[i] / static_cast<double>(bytes)));
  }
  return shades;
}

std::string DownloadName(const std::string& title) {
  const std::string name = title.substr(title.find_last_of("/\\") + 1);
  const std::string_view stream = ".lum";
  if (name.size() > stream.size() && name.ends_with(stream)) {
    return name.substr(0, name.size() - stream.size());
  }
  return name + ".out";
}

bool WantsHexGrid(const std::vector<uint8_t>& output) {
  const auto text = std::count_if(output.begin(), output.end(), IsTextByte);
  return static_cast<uint64_t>(output.size() - text) * 10 > output.size();
}

void WritePage(std::ostream& out, const TExploration& run, const TComparison* against,
               const std::string& title) {
  WriteHead(out, title);
  WriteHeading(out, run, against);
  WriteToolbar(out, title);
  out << "<div id=t><div id=v></div></div><div id=z></div><div id=y></div><div id=p></div>\n"
      << "<script>\n"
      << kPageScript;
  WriteData(out, run, WantsHexGrid(run.Output));
  out << "</script></body></html>\n";
}

}  // namespace lumera
