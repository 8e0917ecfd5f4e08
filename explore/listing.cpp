#include "explore/listing.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "explore/byte_text.h"

namespace lumera {

namespace {

// A repeat's preview shows this many of its bytes.
constexpr size_t kPreviewBytes = 16;

// Writes one line formatted by snprintf, without trailing blanks; lines longer than the
// buffer are cut.
template <class... Args>
void Line(std::ostream& out, const char* format, Args... args) {
  char text[256];
  int n = std::clamp<int>(std::snprintf(text, sizeof text, format, args...), 0, sizeof text - 1);
  while (n > 0 && text[n - 1] == ' ') --n;
  out.write(text, n);
  out.put('\n');
}

using ull = unsigned long long;

const char* ListedKind(const TEvent& e) {
  return e.Kind == TEventKind::Literal && e.Escaped ? "escaped" : EventKindName(e.Kind);
}

std::string What(const TEvent& e, const std::vector<uint8_t>& output) {
  switch (e.Kind) {
    case TEventKind::Literal:
      return ByteLabel(e.Byte);
    case TEventKind::Repeat: {
      const uint64_t start = std::min<uint64_t>(e.Out, output.size());
      const uint64_t end = std::min<uint64_t>(e.Out + e.Len, output.size());
      char text[64];
      std::snprintf(text, sizeof text, "code %3u from %8u len %5u  ", unsigned{e.Code}, e.From,
                    e.Len);
      return text + QuotedPreview(std::span(output).subspan(start, end - start), kPreviewBytes);
    }
    case TEventKind::End:
      break;
  }
  return "";
}

void WriteEvents(std::ostream& out, const TExploration& run) {
  Line(out, "%6s %9s %5s  %-7s %6s %9s  %s", "event", "out", "depth", "kind", "bits", "info",
       "byte or repeat");
  for (size_t i = 0; i < run.Events.size(); ++i) {
    const TEvent& e = run.Events[i];
    Line(out, "%6zu %9llu %5u  %-7s %6u %9.4f  %s", i, ull{e.Out}, unsigned{e.Depth}, ListedKind(e),
         e.Bits, e.Info, What(e, run.Output).c_str());
  }
}

void TotalsLine(std::ostream& out, const char* name, const TKindTotals& t) {
  char perByte[16] = "";
  if (t.Bytes > 0) std::snprintf(perByte, sizeof perByte, "%9.3f", double(t.Bits) / t.Bytes);
  Line(out, "  %-16s %9llu %9llu %9llu %12.4f  %s", name, ull{t.Count}, ull{t.Bytes}, ull{t.Bits},
       t.Info, perByte);
}

void WriteTotals(std::ostream& out, const TSummary& s) {
  Line(out, "  %-16s %9s %9s %9s %12s  %9s", "", "events", "bytes", "bits", "info", "bits/byte");
  TotalsLine(out, "literals", s.Literals);
  TotalsLine(out, "  escaped", s.Escaped);
  for (int depth = 0; depth < 5; ++depth) {
    const std::string name = "  at depth " + std::to_string(depth);
    TotalsLine(out, name.c_str(), s.Depths[depth]);
  }
  TotalsLine(out, "repeats", s.Repeats);
  TotalsLine(out, "end marker", s.Ends);
}

std::string HowItEnded(const TExploration& run) {
  if (!run.End) return "not reached";
  if (run.UnusedSourceBytes == 0) return "reached, the source used up";
  return "reached, " + UnusedSourceText(run.UnusedSourceBytes);
}

}  // namespace

void WriteSummary(std::ostream& out, const TExploration& run) {
  const TSummary s = Summarize(run.Events);
  const double outputBytes = static_cast<double>(run.Output.size());
  out << "summary\n";
  Line(out, "  %-16s %llu bytes", "source", ull{run.SourceBytes});
  if (run.Output.empty()) {
    Line(out, "  %-16s 0 bytes", "output");
  } else {
    Line(out, "  %-16s %llu bytes, ratio %.3f (output / source), %.3f bits per output byte",
         "output", ull{run.Output.size()}, outputBytes / std::max<uint64_t>(run.SourceBytes, 1),
         8.0 * run.SourceBytes / outputBytes);
  }
  Line(out, "  %-16s %llu: %u for the initial code value, %llu in events", "coder bits",
       ull{run.BitsTaken}, run.BitsTaken > 0 ? kInitialCodeBits : 0, ull{s.Bits});
  WriteTotals(out, s);
  Line(out, "  %-16s %u of %u child tables created", "contexts", run.Contexts,
       unsigned{kContextCapacity});
  Line(out, "  %-16s %u (0x%04X); %llu hits at a total of 0x2000 or more", "largest total",
       run.MaxTotal, run.MaxTotal, ull{run.OverloadedHits});
  Line(out, "  %-16s %s", "end marker", HowItEnded(run).c_str());
  if (run.Tail) {
    Line(out, "  %-16s code value %08X; %u unused bits in the last word, %X", "tail",
         run.Tail->Code, unsigned{run.Tail->UnusedBitCount}, run.Tail->UnusedBits);
  }
}

void WriteListing(std::ostream& out, const TExploration& run, const TComparison* against) {
  WriteEvents(out, run);
  if (run.Failure) out << "failure  " << FailureSentence(*run.Failure) << '\n';
  if (against) out << "against  " << VerdictText(*against, run.Events) << '\n';
  out << '\n';
  WriteSummary(out, run);
}

}  // namespace lumera
