#include "programs/resource_commands.h"

#include <algorithm>
#include <array>

#include "platform/hex.h"

namespace lumera {
namespace {

// A name fit for a file in the working directory: no folder separators.
std::string FileNameOf(std::string name) {
  std::replace(name.begin(), name.end(), '/', '_');
  return name;
}

using TRow = std::array<std::string, 6>;

TRow RowOf(const TResourceInfo& info) {
  const std::string language = info.Language ? std::to_string(*info.Language) : "?";
  if (!info.Error.empty()) {
    return {TypeText(info.Type), info.Name.Text(), language, "-", "-", "damaged: " + info.Error};
  }
  return {TypeText(info.Type),
          info.Name.Text(),
          language,
          std::to_string(info.Size),
          "0x" + Hex(static_cast<uint32_t>(info.FileOffset), 8),
          ""};
}

std::string TableText(const std::vector<TRow>& rows) {
  std::array<size_t, 6> widths{};
  for (const TRow& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string text;
  for (const TRow& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - row[i].size() + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    text += line + "\n";
  }
  return text;
}

// "IDR_LUMERA is there in languages 1031, 1033: took 1031": what was done with a resource
// that has a choice of languages.
std::string LanguagesNotice(const TResourceQuery& query, const TFoundResource& found,
                            const std::string& done) {
  return query.Name.Text() + " is there in languages " + JoinedLanguages(found.Languages) + ": " +
         done;
}

}  // namespace

TResourceQuery QueryOf(const TResourceOptions& options) {
  if (options.Name && options.Id) throw Exception("--name and --id cannot be given together");
  TResourceQuery query;
  if (options.Type) query.Type = TypeKeyOf(*options.Type);
  if (options.Name) query.Name = TResourceKey::Parse(*options.Name);
  if (options.Id) query.Name = TResourceKey::OfId(*options.Id);
  query.Language = options.Language;
  return query;
}

std::string DefaultExtractName(const TResourceOptions& options, bool decode) {
  const TResourceKey name = QueryOf(options).Name;
  const std::string base =
      name.Kind == TKeyKind::Id ? std::to_string(name.Id) : FileNameOf(name.Text());
  return base + (decode ? ".xml" : ".lum");
}

TExtraction ExtractResource(const std::vector<uint8_t>& exe, const TResourceOptions& options,
                            bool decode, uint64_t maxOutput, bool allowTrailing) {
  const TResourceQuery query = QueryOf(options);
  TFoundResource found = LookUpResource(exe, query);
  TExtraction extraction;
  if (!query.Language && found.Languages.size() > 1) {
    extraction.Notices.push_back(LanguagesNotice(
        query, found,
        "took " + std::to_string(found.Language) + " (choose another with --language)"));
  }
  if (!decode) {
    extraction.Bytes = std::move(found.Bytes);
    return extraction;
  }
  TDecodedStream decoded = DecodeStream(found.Bytes, nullptr, maxOutput);
  if (const auto failure = WholeStreamFailure(decoded, allowTrailing)) {
    throw EDecodingFailed(*failure);
  }
  extraction.Bytes = std::move(decoded.Output);
  if (decoded.UnusedSourceBytes > 0) {
    extraction.Notices.push_back("warning: " + UnusedSourceText(decoded.UnusedSourceBytes));
  }
  return extraction;
}

std::string ResourceTable(const std::vector<uint8_t>& exe) {
  const std::vector<TResourceInfo> resources = ListResourceEntries(exe);
  if (resources.empty()) return "no resources\n";
  std::vector<TRow> rows{{"TYPE", "NAME", "LANG", "SIZE", "OFFSET", ""}};
  for (const TResourceInfo& info : resources) rows.push_back(RowOf(info));
  return TableText(rows);
}

TReplacement ReplaceStream(const std::vector<uint8_t>& exe, const TResourceOptions& options,
                           const std::vector<uint8_t>& stream, bool stripSignature) {
  TReplacement replacement;
  if (IsSigned(exe)) {
    if (!stripSignature) {
      throw EBadExecutable(
          "the file is signed, and any change to it breaks the signature; --strip-signature "
          "removes the signature");
    }
    replacement.Notices.push_back(
        "the signature was removed; sign the new file again if it needs one");
  }
  TResourceQuery query = QueryOf(options);
  const TFoundResource found = LookUpResource(exe, query);
  replacement.Languages = options.AllLanguages ? found.Languages : std::vector{found.Language};
  if (found.Languages.size() > 1) {
    std::string done = "patched " + std::to_string(found.Language);
    if (options.AllLanguages) {
      done = "patched each of them";
    } else if (!query.Language) {
      done += " (choose another with --language, or patch each with --all-languages)";
    }
    replacement.Notices.push_back(LanguagesNotice(query, found, done));
  }
  replacement.Executable = exe;
  for (const uint32_t language : replacement.Languages) {
    query.Language = language;
    replacement.Executable =
        ReplaceResource(replacement.Executable, query, stream, {.StripSignature = stripSignature});
  }
  return replacement;
}

void CheckReplaced(std::span<const uint8_t> exe, const TResourceOptions& options,
                   const std::vector<uint32_t>& languages, const std::vector<uint8_t>& stream,
                   const std::optional<std::vector<uint8_t>>& text) {
  TResourceQuery query = QueryOf(options);
  for (const uint32_t language : languages) {
    query.Language = language;
    const TFoundResource found = LookUpResource(exe, query);
    if (found.Bytes != stream) {
      throw EBadExecutable("the new executable does not hold the new stream in language " +
                           std::to_string(language));
    }
  }
  // Each language holds these very bytes, so one decoding checks them all.
  if (!text) return;
  const TDecodedStream decoded = DecodeStream(stream, nullptr, std::max<uint64_t>(text->size(), 1));
  if (decoded.Failure || decoded.Output != *text) {
    throw EBadExecutable(
        "the stream read back from the new executable does not decode to the text");
  }
}

}  // namespace lumera
