// The resources of a Windows executable or DLL, read from its bytes in memory: a list of
// every resource, the lookup of one, and the replacement of one's bytes in place.
//
// The file is untrusted. Every offset and size is checked against the file and its
// sections; a damaged header refuses the whole file, a damaged entry only itself.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"

namespace lumera {

// The file is not an executable this reader understands, or the resource asked for is
// not in it or cannot be read or replaced.
class EBadExecutable : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EBadExecutable"; }
};

inline constexpr uint32_t kRcdataTypeId = 10;
inline constexpr std::string_view kDefaultResourceName = "IDR_LUMERA";

// One level's key in the resource tree: a numeric ID or a UTF-16 name. Unreadable stands
// for a key that a damaged file does not let us read.
enum class TKeyKind { Id, Name, Unreadable };

struct TResourceKey {
  TKeyKind Kind = TKeyKind::Id;
  uint32_t Id = 0;
  std::u16string Name;

  static TResourceKey OfId(uint32_t id);
  // name in UTF-8; a byte that is not valid UTF-8 becomes U+FFFD.
  static TResourceKey OfName(std::string_view name);
  // A name as a user writes it: "#101" names the ID 101, as resource scripts write it, and
  // anything else is OfName.
  static TResourceKey Parse(std::string_view text);

  // IDs are equal, or names are equal with the ASCII letters compared case-insensitively,
  // as the system's loader compares them.
  bool Matches(const TResourceKey& other) const;
  // The key as a string that is equal for keys that match; empty when unreadable.
  std::u16string Folded() const;
  // "#101" for an ID, the name in UTF-8, "?" when unreadable.
  std::string Text() const;
};

// The symbolic name of a standard resource type ("RT_RCDATA"), else the key's Text().
std::string TypeText(const TResourceKey& type);
// The ID of a standard type given as "RCDATA" or "RT_RCDATA" (any case), if it is one.
std::optional<uint32_t> StandardTypeId(std::string_view name);
// A type as a person writes it: a number ("10"), a standard type ("RCDATA") or the type's
// own name ("DOCS").
TResourceKey TypeKeyOf(std::string_view type);

// "1033, 1031": languages as messages list them.
std::string JoinedLanguages(const std::vector<uint32_t>& languages);

struct TResourceInfo {
  TResourceKey Type;
  TResourceKey Name;
  std::optional<uint32_t> Language;  // none when a damaged entry does not let us read it
  uint32_t Size = 0;
  uint32_t Rva = 0;         // where the loader maps the bytes
  uint64_t FileOffset = 0;  // where they are in the file
  std::string Error;        // why this entry cannot be read; empty when it can
};

// Every resource in directory order, damaged ones with their Error set. Raises
// EBadExecutable when the headers or the root of the resource tree are damaged.
std::vector<TResourceInfo> ListResourceEntries(std::span<const uint8_t> file);

struct TResourceQuery {
  TResourceKey Type = TResourceKey::OfId(kRcdataTypeId);
  TResourceKey Name = TResourceKey::OfName(kDefaultResourceName);
  std::optional<uint32_t> Language;  // none: the first in directory order
};

struct TFoundResource {
  std::vector<uint8_t> Bytes;
  uint64_t FileOffset = 0;
  uint32_t Language = 0;
  // Every language the type and name have, in directory order, so that a caller can say
  // which one was taken when there was a choice.
  std::vector<uint32_t> Languages;
};

// Raises EBadExecutable when nothing matches (naming what the file has instead) or when
// the entry that matches is damaged.
TFoundResource LookUpResource(std::span<const uint8_t> file, const TResourceQuery& query);

// How many bytes the resource's data may take in place: its size rounded up to a multiple
// of 8, cut short where another resource's data, the directory's own structures or the
// end of the section's raw data begin.
uint32_t ResourceRoom(std::span<const uint8_t> file, const TResourceQuery& query);

struct TReplaceOptions {
  // Remove a signature rather than refuse the file: any change breaks it.
  bool StripSignature = false;
};

// A copy of file whose resource holds replacement, with the data entry's size set and the
// header's checksum recomputed when it was not zero. Data that fits the room is written in
// place and the rest of the room zeroed. Larger data moves to the end of the image (see
// resource/pe_writer.h), the data entry points there, and the old room is zeroed. Raises
// EBadExecutable when the file is signed and options do not say to strip the signature,
// or when the data neither fits nor can move.
std::vector<uint8_t> ReplaceResource(std::span<const uint8_t> file, const TResourceQuery& query,
                                     std::span<const uint8_t> replacement,
                                     const TReplaceOptions& options = {});

// The file carries a signature (a certificate table), which ReplaceResource would break.
bool IsSigned(std::span<const uint8_t> file);

// The file's headers read as those of a PE executable or DLL.
bool IsExecutable(std::span<const uint8_t> file);

}  // namespace lumera
