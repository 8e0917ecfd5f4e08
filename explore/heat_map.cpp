#include "explore/heat_map.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "explore/byte_text.h"
#include "explore/listing.h"

namespace lumera {

namespace {

constexpr int kHexColumns = 16;

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

constexpr const char* kStyle =
    "body{font:14px/1.4 monospace;margin:1em 1.5em;color:#111;background:#fff}"
    "h1{font-size:1.2em}pre{margin:0}"
    ".s{background:#f4f4f4;padding:.5em;display:inline-block}"
    ".f{color:#a00;font-weight:bold;margin:.5em 0}.a{margin:.5em 0}"
    ".l{margin:.8em 0}.l i{padding:0 .5em}"
    "#w{display:flex;gap:1em}#o{color:#888}"
    "#t{white-space:pre-wrap;word-break:break-all}"
    "#t i,#t u,.l i,.l u{font-style:normal;text-decoration:none}"
    "#t u,.l u{box-shadow:inset 0 -2px #000,inset 1px 0 #0009}"
    "#t b{font-weight:normal;font-size:80%;outline:1px solid #999;margin:0 1px}"
    "#p{position:fixed;right:1em;bottom:1em;background:#ffe;border:1px solid #888;"
    "padding:.4em .6em;display:none}";

// One hover handler for the whole text: E holds each element's event, [depth, bits,
// info, escaped] for a literal and [depth, bits, info, code, from, len] for a repeat;
// an element's output offset is the sum of the bytes before it. Once set up, the text
// carries the number of events it found, for a reader of the rendered page to check.
constexpr const char* kScript =
    "const T=document.getElementById('t'),P=document.getElementById('p');"
    "let o=0;[...T.children].forEach((x,k)=>{const e=E[k];e.k=k;e.o=o;o+=e.length>4?e[5]:1;"
    "x.k=k});T.dataset.events=E.length;"
    "T.addEventListener('mouseover',v=>{const x=v.target.closest('i,u');"
    "if(!x||x.parentNode!==T)return;const e=E[x.k];"
    "P.textContent='event '+e.k+' '+(e.length>4?'repeat':e[3]?'literal (escaped)':'literal')"
    "+'  out '+e.o+'  depth '+e[0]+'  bits '+e[1]+'  info '+e[2].toFixed(2)"
    "+(e.length>4?'  code '+e[3]+'  from '+e[4]+'  len '+e[5]:'');P.style.display='block'});";

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

void WriteTextByte(std::ostream& out, uint8_t byte) {
  switch (byte) {
    case '\n':
      out << "\xE2\x86\xB5\n";  // a visible mark for the line break, then the break
      return;
    case '\t':
      out << '\t';
      return;
    case '&':
      out << "&amp;";
      return;
    case '<':
      out << "&lt;";
      return;
    case '>':
      out << "&gt;";
      return;
  }
  char text[16];
  if (byte >= 0x20 && byte < 0x7F) {
    out.put(static_cast<char>(byte));
  } else {
    std::snprintf(text, sizeof text, "<b>%02X</b>", byte);
    out << text;
  }
}

void WriteHexByte(std::ostream& out, uint8_t byte, uint64_t offset) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X%c", byte,
                offset % kHexColumns == kHexColumns - 1 ? '\n' : ' ');
  out << text;
}

// One element per event that put bytes out, in event order, so that the script can find
// an element's event by its position. A repeat of length 0 gets an empty element.
void WriteBytes(std::ostream& out, const TExploration& run, bool hex) {
  for (const TEvent& e : run.Events) {
    if (e.Kind == TEventKind::End) continue;
    const char tag = e.Kind == TEventKind::Repeat ? 'u' : 'i';
    out << '<' << tag << " class=c" << ShadeOf(CostPerByte(e)) << '>';
    const uint64_t end = std::min<uint64_t>(e.Out + EventBytes(e), run.Output.size());
    for (uint64_t at = e.Out; at < end; ++at) {
      if (hex) {
        WriteHexByte(out, run.Output[at], at);
      } else {
        WriteTextByte(out, run.Output[at]);
      }
    }
    out << "</" << tag << '>';
  }
}

void WriteOffsets(std::ostream& out, uint64_t size) {
  char text[24];
  for (uint64_t row = 0; row < size; row += kHexColumns) {
    std::snprintf(text, sizeof text, "%08llX\n", static_cast<unsigned long long>(row));
    out << text;
  }
}

void WriteEventData(std::ostream& out, const std::vector<TEvent>& events) {
  out << "const E=[";
  char text[96];
  bool first = true;
  for (const TEvent& e : events) {
    if (e.Kind == TEventKind::End) continue;
    const double info = std::isfinite(e.Info) ? e.Info : -1;
    if (e.Kind == TEventKind::Repeat) {
      std::snprintf(text, sizeof text, "%s[%u,%u,%.2f,%u,%u,%u]", first ? "" : ",",
                    unsigned{e.Depth}, e.Bits, info, unsigned{e.Code}, e.From, e.Len);
    } else {
      std::snprintf(text, sizeof text, "%s[%u,%u,%.2f,%d]", first ? "" : ",", unsigned{e.Depth},
                    e.Bits, info, e.Escaped ? 1 : 0);
    }
    out << text;
    first = false;
  }
  out << "];\n";
}

void WriteHead(std::ostream& out, const std::string& title) {
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      << "<title>" << HtmlEscaped(title) << " - lumera-explain</title>\n<style>" << kStyle;
  for (int shade = 0; shade < kShades; ++shade)
    out << ".c" << shade << '{' << kShadeStyles[shade] << '}';
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

bool WantsHexGrid(const std::vector<uint8_t>& output) {
  const auto text = std::count_if(output.begin(), output.end(), IsTextByte);
  return static_cast<uint64_t>(output.size() - text) * 10 > output.size();
}

void WritePage(std::ostream& out, const TExploration& run, const TComparison* against,
               const std::string& title) {
  const bool hex = WantsHexGrid(run.Output);
  WriteHead(out, title);
  WriteHeading(out, run, against);
  out << "<div id=w>";
  if (hex) {
    out << "<pre id=o>";
    WriteOffsets(out, run.Output.size());
    out << "</pre>";
  }
  out << "<pre id=t>";
  WriteBytes(out, run, hex);
  out << "</pre></div>\n<div id=p></div>\n<script>\n";
  WriteEventData(out, run.Events);
  out << kScript << "\n</script></body></html>\n";
}

}  // namespace lumera
