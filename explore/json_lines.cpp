#include "explore/json_lines.h"

#include <cmath>
#include <cstdio>

#include "platform/hex.h"
#include "platform/utf8.h"

namespace lumera {

namespace {

// One JSON object on one line, its fields added in order.
class TJsonLine {
 public:
  explicit TJsonLine(const char* type) { Add("type", JsonString(type)); }

  TJsonLine& Add(const char* name, const std::string& json) {
    FText += FText.empty() ? "{\"" : ",\"";
    FText += name;
    FText += "\":";
    FText += json;
    return *this;
  }
  TJsonLine& Number(const char* name, uint64_t value) { return Add(name, std::to_string(value)); }
  TJsonLine& Bool(const char* name, bool value) { return Add(name, value ? "true" : "false"); }
  // Four decimals; JSON has no infinity, so a value that is not finite is null.
  TJsonLine& Bits(const char* name, double value) {
    char text[32] = "null";
    if (std::isfinite(value)) std::snprintf(text, sizeof text, "%.4f", value);
    return Add(name, text);
  }
  TJsonLine& String(const char* name, std::string_view value) {
    return Add(name, JsonString(value));
  }
  void WriteTo(std::ostream& out) {
    FText += "}\n";
    out << FText;
  }

 private:
  std::string FText;
};

std::string NumberList(const TKindTotals (&totals)[5], uint64_t TKindTotals::*field) {
  std::string list = "[";
  for (const TKindTotals& t : totals) {
    if (list.size() > 1) list += ',';
    list += std::to_string(t.*field);
  }
  return list + "]";
}

void WriteEvent(std::ostream& out, const TEvent& e) {
  TJsonLine line(EventKindName(e.Kind));
  line.Number("out", e.Out).Number("depth", e.Depth).Number("bits", e.Bits).Bits("info", e.Info);
  if (e.Kind == TEventKind::Literal) line.Number("byte", e.Byte).Bool("escaped", e.Escaped);
  // Only a table that holds its byte more than once has a copy to name.
  if (e.Kind == TEventKind::Literal && e.Copy != 0) line.Number("copy", e.Copy);
  if (e.Kind == TEventKind::Repeat)
    line.Number("code", e.Code).Number("from", e.From).Number("len", e.Len);
  line.WriteTo(out);
}

void WriteFailure(std::ostream& out, const TDecodeFailure& f) {
  TJsonLine(kFailureRecord)
      .Number("out", f.OutputBytes)
      .Number("source_byte", f.SourceByte)
      .String("class", f.ClassName)
      .String("message", f.Message)
      .WriteTo(out);
}

void WriteAgainst(std::ostream& out, const TComparison& c) {
  TJsonLine line(kAgainstRecord);
  line.Bool("matches", c.Verdict == TVerdict::Matches)
      .String("file", c.FileName)
      .Number("output_bytes", c.OutputBytes)
      .Number("file_bytes", c.FileBytes);
  if (c.Verdict != TVerdict::Matches) line.Number("offset", c.Offset);
  if (c.Verdict == TVerdict::Differs) {
    line.Number("output_byte", c.OutputByte).Number("file_byte", c.FileByte);
  }
  if (c.Verdict == TVerdict::OutputShorter) line.String("ended_first", "output");
  if (c.Verdict == TVerdict::FileShorter) line.String("ended_first", "file");
  if (c.Event) line.Number("event", *c.Event);
  line.WriteTo(out);
}

void AddTail(TJsonLine& line, const TStreamTail& tail) {
  std::string bytes;
  for (uint8_t byte : tail.Trailing) bytes += Hex(byte, 2);
  line.String(kTailCodeField, Hex(tail.Code, 8))
      .Number(kTailUnusedCountField, tail.UnusedBitCount)
      .String(kTailUnusedBitsField, Hex(tail.UnusedBits, 8))
      .String(kTailBytesField, bytes)
      .Bool(kCodeLeftShareField, tail.CodeLeftShare);
}

void WriteSummaryLine(std::ostream& out, const TExploration& run) {
  const TSummary s = Summarize(run.Events);
  TJsonLine line(kSummaryRecord);
  line.Number("source_bytes", run.SourceBytes)
      .Number("output_bytes", run.Output.size())
      .Number("literals", s.Literals.Count)
      .Number("escaped", s.Escaped.Count)
      .Number("literal_bits", s.Literals.Bits)
      .Add("literals_by_depth", NumberList(s.Depths, &TKindTotals::Count))
      .Add("literal_bits_by_depth", NumberList(s.Depths, &TKindTotals::Bits))
      .Number("repeats", s.Repeats.Count)
      .Number("repeat_bytes", s.Repeats.Bytes)
      .Number("repeat_bits", s.Repeats.Bits)
      .Bool("end", run.End)
      .Number("end_bits", s.Ends.Bits)
      .Number("contexts", run.Contexts)
      .Number("bits", s.Bits)
      .Number("bits_taken", run.BitsTaken)
      .Bits("info", s.Literals.Info + s.Repeats.Info + s.Ends.Info)
      .Number("max_total", run.MaxTotal)
      .Number("overloaded_hits", run.OverloadedHits)
      .Bool("left_over", run.LeftOver)
      .Number("unused_source_bytes", run.UnusedSourceBytes);
  if (run.Tail) AddTail(line, *run.Tail);
  line.WriteTo(out);
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string json = "\"";
  while (!text.empty()) {
    const auto byte = static_cast<uint8_t>(text[0]);
    const size_t length = Utf8Length(text);
    if (byte == '"' || byte == '\\') {
      json += '\\';
      json += text[0];
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      json += escape;
    } else if (length == 0) {
      json += "\\ufffd";
    } else {
      json.append(text.substr(0, length));
    }
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return json + "\"";
}

void WriteJsonLines(std::ostream& out, const TExploration& run, const TComparison* against) {
  TJsonLine(kStreamRecord)
      .Number("format_version", 1)
      .Number("source_bytes", run.SourceBytes)
      .WriteTo(out);
  for (const TEvent& e : run.Events) WriteEvent(out, e);
  if (run.Failure) WriteFailure(out, *run.Failure);
  if (against) WriteAgainst(out, *against);
  WriteSummaryLine(out, run);
}

}  // namespace lumera
