// The public library: each call hands its bytes to the codec's own units and turns their
// failures into lumera::Error. No codec logic lives here.
#include <lumera/lumera.h>

#include <algorithm>

#include "encoder/event_packer.h"
#include "encoder/pack.h"
#include "encoder/stream_packer.h"
#include "engine/stream_decode.h"
#include "explore/exploration.h"
#include "lumera_version.h"
#include "resource/resources.h"

namespace lumera {

// The public bounds restate the engine's, which the header cannot include.
static_assert(DecompressOptions::kDefaultMaxOutput == kDefaultMaxOutput);
static_assert(DecompressOptions::kMaxOutputCeiling == kMaxOutputCeiling);

namespace {

std::vector<uint8_t> Copy(std::span<const uint8_t> bytes) {
  return {bytes.begin(), bytes.end()};
}

Error StreamError(const TDecodeFailure& failure) {
  return Error(failure.PastBound() ? ErrorKind::OutputLimit : ErrorKind::InvalidStream,
               FailureSentence(failure), failure.ClassName, failure.Message, failure.OutputBytes,
               failure.SourceByte);
}

Event PublicEvent(const TEvent& e) {
  Event event;
  event.type = e.Kind == TEventKind::Literal  ? EventType::Literal
               : e.Kind == TEventKind::Repeat ? EventType::Repeat
                                              : EventType::End;
  event.out = e.Out;
  event.depth = e.Depth;
  event.bits = e.Bits;
  event.info = e.Info;
  event.byte = e.Byte;
  event.escaped = e.Escaped;
  event.copy = e.Copy;
  event.code = e.Code;
  event.from = e.From;
  event.len = e.Len;
  return event;
}

TEventChoice ChoiceOf(const Event& e) {
  switch (e.type) {
    case EventType::Literal:
      return TEventChoice::Literal(e.byte, e.escaped, e.copy);
    case EventType::Repeat:
      return TEventChoice::Repeat(e.code, e.len);
    case EventType::End:
      break;
  }
  return TEventChoice::End();
}

StreamTail PublicTail(const TStreamTail& t) {
  return {t.Code, t.BitsTaken, t.UnusedBitCount, t.UnusedBits, t.Trailing, t.CodeLeftShare};
}

TStreamTail TailOf(const StreamTail& t) {
  return {t.code, t.bits_taken, t.unused_bit_count, t.unused_bits, t.trailing, t.code_left_share};
}

TailOutcome PublicOutcome(TTailOutcome outcome) {
  switch (outcome) {
    case TTailOutcome::Kept:
      return TailOutcome::Kept;
    case TTailOutcome::MadeAnew:
      return TailOutcome::MadeAnew;
    case TTailOutcome::Differs:
      break;
  }
  return TailOutcome::Differs;
}

Resource PublicResource(const TResourceInfo& info) {
  Resource resource;
  resource.type = TypeText(info.Type);
  resource.type_id = info.Type.Kind == TKeyKind::Id ? static_cast<uint16_t>(info.Type.Id) : 0;
  resource.name = info.Name.Text();
  if (info.Name.Kind == TKeyKind::Id) resource.id = static_cast<uint16_t>(info.Name.Id);
  resource.language = static_cast<uint16_t>(info.Language.value_or(0));
  resource.size = info.Size;
  resource.file_offset = info.FileOffset;
  resource.error = info.Error;
  return resource;
}

TResourceQuery QueryOf(const ResourceSelection& selection) {
  return {.Type = TypeKeyOf(selection.type),
          .Name = TResourceKey::Parse(selection.name),
          .Language = selection.language};
}

Error ExecutableError(const EBadExecutable& e) {
  return Error(ErrorKind::BadExecutable, e.Message(), e.ClassName(), e.Message());
}

}  // namespace

Error::Error(ErrorKind kind, const std::string& what, std::string className, std::string message,
             std::optional<uint64_t> outOffset, std::optional<uint64_t> sourceOffset,
             std::optional<uint64_t> inputOffset, std::optional<uint64_t> eventIndex)
    : std::runtime_error(what),
      kind_(kind),
      class_name_(std::move(className)),
      message_(std::move(message)),
      out_offset_(outOffset),
      source_offset_(sourceOffset),
      input_offset_(inputOffset),
      event_index_(eventIndex) {}

const char* Version() {
  return kVersion;
}

std::vector<uint8_t> Decompress(std::span<const uint8_t> stream, const DecompressOptions& options) {
  TDecodedStream decoded = DecodeStream(stream, nullptr, options.max_output);
  if (const auto failure = WholeStreamFailure(decoded, options.allow_trailing)) {
    throw StreamError(*failure);
  }
  return std::move(decoded.Output);
}

std::vector<uint8_t> Compress(std::span<const uint8_t> data, const CompressOptions& options) {
  if (options.level < kFastestLevel || options.level > kSmallestLevel) {
    throw std::invalid_argument("lumera::Compress: level must be 1 to 9");
  }
  try {
    return Pack(data, options.level);
  } catch (const ETooLarge& e) {
    throw Error(ErrorKind::TooLarge,
                "too large for the format at input offset " + std::to_string(e.InputOffset()) +
                    ": " + e.Reason(),
                e.ClassName(), e.Message(), {}, {}, e.InputOffset());
  }
}

ExplainSummary Explain(std::span<const uint8_t> stream,
                       const std::function<void(const Event&)>& onEvent,
                       const DecompressOptions& options) {
  const TExploration run = Explore(stream, options.max_output);
  for (const TEvent& e : run.Events) onEvent(PublicEvent(e));
  if (run.Failure) throw StreamError(*run.Failure);
  const TSummary totals = Summarize(run.Events);
  ExplainSummary summary;
  summary.source_bytes = run.SourceBytes;
  summary.literals = totals.Literals.Count;
  summary.repeats = totals.Repeats.Count;
  summary.repeat_bytes = totals.Repeats.Bytes;
  summary.output_bytes = run.Output.size();
  summary.end = run.End;
  summary.contexts = run.Contexts;
  summary.bits = totals.Bits;
  summary.max_total = run.MaxTotal;
  summary.overloaded_hits = run.OverloadedHits;
  summary.left_over = run.LeftOver;
  if (run.Tail) summary.tail = PublicTail(*run.Tail);
  return summary;
}

PackedEvents PackEvents(std::span<const Event> events, const std::optional<StreamTail>& tail,
                        const DecompressOptions& options) {
  std::vector<TEventChoice> choices;
  choices.reserve(events.size());
  for (const Event& e : events) choices.push_back(ChoiceOf(e));
  try {
    TPackedEvents packed = lumera::PackEvents(
        choices, tail ? std::optional(TailOf(*tail)) : std::nullopt, options.max_output);
    return {std::move(packed.Stream), PublicOutcome(packed.Tail)};
  } catch (const EEventRefused& e) {
    throw Error(ErrorKind::RefusedEvent, e.Message(), e.ClassName(), e.Message(), {}, {}, {},
                e.Index());
  }
}

std::vector<Resource> ListResources(std::span<const uint8_t> exe) {
  try {
    std::vector<Resource> resources;
    for (const TResourceInfo& info : ListResourceEntries(exe)) {
      resources.push_back(PublicResource(info));
    }
    return resources;
  } catch (const EBadExecutable& e) {
    throw ExecutableError(e);
  }
}

FoundResource FindResource(std::span<const uint8_t> exe, const std::string& name, uint16_t type,
                           std::optional<uint16_t> language) {
  return FindResource(exe, name, std::to_string(type), language);
}

FoundResource FindResource(std::span<const uint8_t> exe, const std::string& name,
                           const std::string& type, std::optional<uint16_t> language) {
  const TResourceQuery query = QueryOf({name, type, language});
  try {
    TFoundResource found = LookUpResource(exe, query);
    return {std::move(found.Bytes), static_cast<uint16_t>(found.Language), found.FileOffset};
  } catch (const EBadExecutable& e) {
    throw ExecutableError(e);
  }
}

std::vector<uint8_t> ReplaceResource(std::span<const uint8_t> executable,
                                     std::span<const uint8_t> stream,
                                     const ResourceSelection& selection,
                                     const ReplaceOptions& options) {
  const std::vector<uint8_t> packed =
      options.level ? Compress(stream, {*options.level}) : Copy(stream);
  const std::vector<uint8_t> text = options.level ? Copy(stream) : Decompress(packed);
  const TResourceQuery query = QueryOf(selection);
  std::vector<uint8_t> replaced;
  std::vector<uint8_t> storedStream;
  try {
    replaced =
        ReplaceResource(executable, query, packed, {.StripSignature = options.strip_signature});
    storedStream = LookUpResource(replaced, query).Bytes;
  } catch (const EBadExecutable& e) {
    throw ExecutableError(e);
  }
  if (Decompress(storedStream, {std::max<uint64_t>(text.size(), 1)}) != text) {
    throw Error(ErrorKind::BadExecutable, "the new executable does not give the text back",
                "EBadExecutable", "the new executable does not give the text back");
  }
  return replaced;
}

}  // namespace lumera
