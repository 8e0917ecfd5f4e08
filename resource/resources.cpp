#include "resource/resources.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <utility>

#include "platform/utf8.h"
#include "resource/pe_image.h"
#include "resource/pe_writer.h"
#include "resource/resource_tree.h"

namespace lumera {
namespace {

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit < 0xDC00;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit < 0xE000;
}

std::string Utf8Of(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t point = text[i];
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      point = 0x10000 + ((point - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
      point = kReplacementCharacter;
    }
    AppendUtf8(out, point);
  }
  return out;
}

constexpr std::array<std::pair<uint32_t, const char*>, 21> kStandardTypes{{
    {1, "RT_CURSOR"},      {2, "RT_BITMAP"},     {3, "RT_ICON"},          {4, "RT_MENU"},
    {5, "RT_DIALOG"},      {6, "RT_STRING"},     {7, "RT_FONTDIR"},       {8, "RT_FONT"},
    {9, "RT_ACCELERATOR"}, {10, "RT_RCDATA"},    {11, "RT_MESSAGETABLE"}, {12, "RT_GROUP_CURSOR"},
    {14, "RT_GROUP_ICON"}, {16, "RT_VERSION"},   {17, "RT_DLGINCLUDE"},   {19, "RT_PLUGPLAY"},
    {20, "RT_VXD"},        {21, "RT_ANICURSOR"}, {22, "RT_ANIICON"},      {23, "RT_HTML"},
    {24, "RT_MANIFEST"},
}};

// "RCDATA" for RT_RCDATA, as people say it.
std::string TypeWord(const TResourceKey& type) {
  const std::string text = TypeText(type);
  return text.starts_with("RT_") ? text.substr(3) : text;
}

std::optional<uint32_t> NumberOf(std::string_view text) {
  uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "RCDATA resource named IDR_LUMERA", "RCDATA resource with ID 101".
std::string Describe(const TResourceKey& type, const TResourceKey& name) {
  const std::string subject = TypeWord(type) + " resource";
  return name.Kind == TKeyKind::Id ? subject + " with ID " + std::to_string(name.Id)
                                   : subject + " named " + name.Text();
}

// What the file does have of the type asked for, so that a refusal helps to ask again.
std::string TypeInventory(const TResourceTree& tree, const TResourceQuery& query) {
  std::vector<std::string> names;
  for (const TResourceEntry& entry : tree.Entries) {
    if (!entry.Info.Type.Matches(query.Type)) continue;
    const bool unreadable = entry.Info.Name.Kind == TKeyKind::Unreadable;
    const std::string name =
        entry.Info.Name.Text() + (unreadable ? " (" + entry.Info.Error + ")" : "");
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  const std::string typeText = TypeWord(query.Type);
  if (names.empty()) return "; the file has no " + typeText + " resources";
  std::string text = "; its " + typeText + " resources are";
  for (size_t i = 0; i < names.size(); ++i) text += (i == 0 ? " " : ", ") + names[i];
  return text;
}

struct TSelection {
  const TResourceEntry* Entry = nullptr;
  std::vector<uint32_t> Languages;
};

// The entry the query names. A damaged one is refused here, with its own message.
TSelection Select(const TResourceTree& tree, const TResourceQuery& query) {
  TSelection selection;
  const TResourceEntry* first = nullptr;
  for (const TResourceEntry& entry : tree.Entries) {
    const TResourceInfo& info = entry.Info;
    if (!info.Type.Matches(query.Type) || !info.Name.Matches(query.Name)) continue;
    if (info.Language) selection.Languages.push_back(*info.Language);
    if (first == nullptr) first = &entry;
    if (selection.Entry == nullptr && (!query.Language || info.Language == query.Language)) {
      selection.Entry = &entry;
    }
  }
  const std::string subject = Describe(query.Type, query.Name);
  if (first == nullptr) throw EBadExecutable("no " + subject + TypeInventory(tree, query));
  if (selection.Entry == nullptr) {
    throw EBadExecutable("no " + subject + " in language " + std::to_string(*query.Language) +
                         "; its languages are " + JoinedLanguages(selection.Languages));
  }
  const TResourceInfo& chosen = selection.Entry->Info;
  if (!chosen.Error.empty()) {
    const std::string language =
        chosen.Language ? " (language " + std::to_string(*chosen.Language) + ")" : "";
    throw EBadExecutable(subject + language + ": " + chosen.Error);
  }
  return selection;
}

uint64_t RoomOf(const TPeImage& image, const TResourceTree& tree, const TResourceEntry& entry) {
  const uint64_t begin = entry.Info.FileOffset;
  const uint64_t dataEnd = begin + entry.Info.Size;
  uint64_t limit = std::min({begin + (uint64_t{entry.Info.Size} + 7) / 8 * 8,
                             image.RawEndOf(entry.Info.Rva), uint64_t{image.File().size()}});
  if (begin < image.HeadersEnd()) throw EBadExecutable("the resource's bytes overlap the headers");
  const size_t self = static_cast<size_t>(&entry - tree.Entries.data());
  for (const TByteRange& range : tree.Occupied) {
    if (range.Owner == self || range.End <= begin || range.Begin >= limit) continue;
    if (range.Begin < dataEnd) {
      throw EBadExecutable("the resource's bytes overlap another resource or the directory");
    }
    limit = range.Begin;
  }
  return limit - begin;
}

// Nothing of the tree follows the data in its section, and only zeros do, so that the
// data may grow where it is when its section is the last.
bool EndsItsSection(const TPeImage& image, const TResourceTree& tree, const TResourceEntry& entry) {
  const uint64_t begin = entry.Info.FileOffset;
  const uint64_t rawEnd = std::min<uint64_t>(image.RawEndOf(entry.Info.Rva), image.File().size());
  const size_t self = static_cast<size_t>(&entry - tree.Entries.data());
  for (const TByteRange& range : tree.Occupied) {
    if (range.Owner != self && range.End > begin && range.Begin < rawEnd) return false;
  }
  const auto rest = image.File().subspan(begin + entry.Info.Size, rawEnd - begin - entry.Info.Size);
  return std::all_of(rest.begin(), rest.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

TResourceKey TResourceKey::OfId(uint32_t id) {
  TResourceKey key;
  key.Id = id;
  return key;
}

TResourceKey TResourceKey::OfName(std::string_view name) {
  TResourceKey key;
  key.Kind = TKeyKind::Name;
  for (size_t pos = 0; pos < name.size();) {
    const char32_t point = NextCodePoint(name, pos);
    if (point >= 0x10000) {
      key.Name.push_back(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
      key.Name.push_back(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
    } else {
      key.Name.push_back(static_cast<char16_t>(point));
    }
  }
  return key;
}

TResourceKey TResourceKey::Parse(std::string_view text) {
  if (text.starts_with('#')) {
    if (const auto id = NumberOf(text.substr(1)); id && *id <= 0xFFFF) return OfId(*id);
  }
  return OfName(text);
}

bool TResourceKey::Matches(const TResourceKey& other) const {
  return Kind != TKeyKind::Unreadable && Folded() == other.Folded();
}

std::u16string TResourceKey::Folded() const {
  switch (Kind) {
    case TKeyKind::Id:
      return {u'#', static_cast<char16_t>(Id >> 16), static_cast<char16_t>(Id)};
    case TKeyKind::Name: {
      std::u16string folded = u"$" + Name;
      for (char16_t& c : folded) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
      }
      return folded;
    }
    case TKeyKind::Unreadable:
      break;
  }
  return {};
}

std::string TResourceKey::Text() const {
  switch (Kind) {
    case TKeyKind::Id: {
      // Appended rather than concatenated: GCC 12 warns falsely on "#" + string at -O2.
      std::string text = "#";
      return text.append(std::to_string(Id));
    }
    case TKeyKind::Name:
      return Utf8Of(Name);
    case TKeyKind::Unreadable:
      break;
  }
  return "?";
}

std::string JoinedLanguages(const std::vector<uint32_t>& languages) {
  std::string text;
  for (uint32_t language : languages) text += (text.empty() ? "" : ", ") + std::to_string(language);
  return text;
}

std::string TypeText(const TResourceKey& type) {
  for (const auto& [id, name] : kStandardTypes) {
    if (type.Kind == TKeyKind::Id && type.Id == id) return name;
  }
  return type.Text();
}

std::optional<uint32_t> StandardTypeId(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!upper.starts_with("RT_")) upper = "RT_" + upper;
  for (const auto& [id, standard] : kStandardTypes) {
    if (upper == standard) return id;
  }
  return std::nullopt;
}

TResourceKey TypeKeyOf(std::string_view type) {
  if (const auto number = NumberOf(type)) return TResourceKey::OfId(*number);
  if (const auto standard = StandardTypeId(type)) return TResourceKey::OfId(*standard);
  return TResourceKey::OfName(type);
}

std::vector<TResourceInfo> ListResourceEntries(std::span<const uint8_t> file) {
  const TPeImage image(file);
  std::vector<TResourceInfo> list;
  for (TResourceEntry& entry : ReadResourceTree(image).Entries)
    list.push_back(std::move(entry.Info));
  return list;
}

TFoundResource LookUpResource(std::span<const uint8_t> file, const TResourceQuery& query) {
  const TPeImage image(file);
  const TResourceTree tree = ReadResourceTree(image);
  TSelection selection = Select(tree, query);
  const TResourceInfo& info = selection.Entry->Info;
  const auto data = file.subspan(info.FileOffset, info.Size);
  return {.Bytes = {data.begin(), data.end()},
          .FileOffset = info.FileOffset,
          .Language = *info.Language,
          .Languages = std::move(selection.Languages)};
}

uint32_t ResourceRoom(std::span<const uint8_t> file, const TResourceQuery& query) {
  const TPeImage image(file);
  const TResourceTree tree = ReadResourceTree(image);
  return static_cast<uint32_t>(RoomOf(image, tree, *Select(tree, query).Entry));
}

std::vector<uint8_t> ReplaceResource(std::span<const uint8_t> file, const TResourceQuery& query,
                                     std::span<const uint8_t> replacement,
                                     const TReplaceOptions& options) {
  const TPeImage signedImage(file);
  const TResourceTree tree = ReadResourceTree(signedImage);
  const TResourceEntry& entry = *Select(tree, query).Entry;
  const uint64_t room = RoomOf(signedImage, tree, entry);
  // The loader, and this reader, refuse a resource of size 0.
  if (replacement.empty()) throw EBadExecutable("the new data is empty");
  // The certificate table lies after every section, so the offsets found above hold for
  // the file without it.
  std::vector<uint8_t> unsignedCopy;
  if (IsSigned(signedImage)) {
    if (!options.StripSignature) {
      throw EBadExecutable("the file is signed, and any change to it breaks the signature");
    }
    unsignedCopy = WithoutSignature(signedImage);
  }
  const TPeImage image(unsignedCopy.empty() ? file : std::span<const uint8_t>(unsignedCopy));
  TGrowth placed{.File = {}, .Rva = entry.Info.Rva, .FileOffset = entry.Info.FileOffset};
  if (replacement.size() <= room) {
    placed.File.assign(image.File().begin(), image.File().end());
  } else {
    const bool free = EndsItsSection(image, tree, entry);
    placed = Grow(image, replacement.size(), free ? std::optional(entry.Info.Rva) : std::nullopt);
  }
  std::vector<uint8_t>& copy = placed.File;
  const auto at = [&](uint64_t offset) {
    return copy.begin() + static_cast<std::ptrdiff_t>(offset);
  };
  std::fill_n(at(entry.Info.FileOffset), room, 0);
  std::copy(replacement.begin(), replacement.end(), at(placed.FileOffset));
  WriteLe32(copy, entry.DataEntryOffset, placed.Rva);
  WriteLe32(copy, entry.DataEntryOffset + 4, static_cast<uint32_t>(replacement.size()));
  if (ReadLe32(copy, image.ChecksumOffset()) != 0) {
    WriteLe32(copy, image.ChecksumOffset(), PeChecksum(copy, image.ChecksumOffset()));
  }
  return std::move(copy);
}

bool IsSigned(std::span<const uint8_t> file) {
  return IsSigned(TPeImage(file));
}

bool IsExecutable(std::span<const uint8_t> file) {
  try {
    const TPeImage image(file);
    return true;
  } catch (const EBadExecutable&) {
    return false;
  }
}

}  // namespace lumera
