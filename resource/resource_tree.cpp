#include "resource/resource_tree.h"

#include <array>
#include <iterator>
#include <map>
#include <set>
#include <string>

#include "platform/hex.h"

namespace lumera {
namespace {

// The tree has exactly three levels: type, then name, then language, whose entries point
// to data entries.
constexpr int kLevels = 3;
constexpr int kLanguageLevel = kLevels - 1;
constexpr const char* kLevelNames[kLevels] = {"type", "name", "language"};
constexpr uint32_t kHighBit = 0x80000000;
constexpr uint64_t kDirectoryHeaderSize = 16;
constexpr uint64_t kDirectoryEntrySize = 8;
constexpr uint64_t kDataEntrySize = 16;

using TKeyPath = std::array<TResourceKey, kLevels>;

TResourceKey Unreadable() {
  TResourceKey key;
  key.Kind = TKeyKind::Unreadable;
  return key;
}

std::string HexText(uint64_t value) {
  return "0x" + Hex(static_cast<uint32_t>(value), 1);
}

class TTreeReader {
 public:
  explicit TTreeReader(const TPeImage& image) : FImage(image), FFile(image.File()) {}

  TResourceTree Read() {
    if (FImage.ResourceRva() != 0) {
      TKeyPath keys{Unreadable(), Unreadable(), Unreadable()};
      ReadDirectory(0, 0, keys);
    }
    return std::move(FTree);
  }

 private:
  // offset is relative to the root directory, as every offset inside the tree is.
  uint64_t Locate(uint64_t offset, uint64_t size, const std::string& what) const {
    return FImage.FileOffsetOf(uint64_t{FImage.ResourceRva()} + offset, size, what);
  }

  void ReadDirectory(uint32_t offset, int level, TKeyPath& keys) {
    if (!FVisited.insert(offset).second) {
      throw EBadExecutable("resource directory loop: the directory at " + HexText(offset) +
                           " is reached again");
    }
    const uint64_t header = Locate(offset, kDirectoryHeaderSize, "resource directory");
    const uint64_t count = uint64_t{ReadLe16(FFile, header + 12)} + ReadLe16(FFile, header + 14);
    // The entries must all be there: a count cannot claim more than the bytes present.
    const uint64_t size = kDirectoryHeaderSize + count * kDirectoryEntrySize;
    const uint64_t table =
        Locate(offset, size, "resource directory of " + std::to_string(count) + " entries");
    ClaimDirectory(table, size, offset);
    std::set<std::u16string> seen;
    for (uint64_t i = 0; i < count; ++i) {
      try {
        keys[level] = Unreadable();
        ReadEntry(table + kDirectoryHeaderSize + i * kDirectoryEntrySize, level, keys, seen);
      } catch (const EBadExecutable& e) {
        AddDamaged(keys, level, e.Message());
      }
    }
  }

  // Directory tables may not share bytes: beside loops, this keeps the whole walk within
  // one pass over the bytes present however the offsets are arranged.
  void ClaimDirectory(uint64_t begin, uint64_t size, uint32_t offset) {
    const uint64_t end = begin + size;
    const auto next = FDirectories.lower_bound(begin);
    const bool overlapsNext = next != FDirectories.end() && next->first < end;
    const bool overlapsPrevious = next != FDirectories.begin() && std::prev(next)->second > begin;
    if (overlapsNext || overlapsPrevious) {
      throw EBadExecutable("resource directory at " + HexText(offset) +
                           " overlaps another directory");
    }
    FDirectories.emplace(begin, end);
    FTree.Occupied.push_back({begin, end, kNoOwner});
  }

  void ReadEntry(uint64_t entry, int level, TKeyPath& keys, std::set<std::u16string>& seen) {
    keys[level] = ReadKey(ReadLe32(FFile, entry));
    const std::string levelName = kLevelNames[level];
    if (level == kLanguageLevel && keys[level].Kind != TKeyKind::Id) {
      throw EBadExecutable("language entry has a name instead of a number");
    }
    if (!seen.insert(keys[level].Folded()).second) {
      throw EBadExecutable("duplicate " + levelName + " entry " + keys[level].Text());
    }
    const uint32_t target = ReadLe32(FFile, entry + 4);
    const bool toDirectory = (target & kHighBit) != 0;
    if (level < kLanguageLevel) {
      if (!toDirectory) {
        throw EBadExecutable(levelName + " entry points to data instead of a directory");
      }
      ReadDirectory(target & ~kHighBit, level + 1, keys);
    } else {
      if (toDirectory) {
        throw EBadExecutable("language entry points to a directory: more than 3 levels");
      }
      ReadDataEntry(target, keys);
    }
  }

  // Numeric IDs have the high bit clear; names are a 16-bit length and UTF-16 units.
  TResourceKey ReadKey(uint32_t field) {
    if ((field & kHighBit) == 0) return TResourceKey::OfId(field);
    const uint32_t offset = field & ~kHighBit;
    const uint16_t length = ReadLe16(FFile, Locate(offset, 2, "resource name"));
    if (length == 0) throw EBadExecutable("resource name is empty");
    const uint64_t size = 2 + uint64_t{length} * 2;
    const uint64_t at =
        Locate(offset, size, "resource name of " + std::to_string(length) + " characters");
    FTree.Occupied.push_back({at, at + size, kNoOwner});
    TResourceKey key;
    key.Kind = TKeyKind::Name;
    for (uint64_t i = 0; i < length; ++i) {
      const char16_t unit = ReadLe16(FFile, at + 2 + 2 * i);
      if (unit < u' ') throw EBadExecutable("resource name holds a control character");
      key.Name.push_back(unit);
    }
    return key;
  }

  void ReadDataEntry(uint32_t offset, const TKeyPath& keys) {
    const uint64_t at = Locate(offset, kDataEntrySize, "resource data entry");
    FTree.Occupied.push_back({at, at + kDataEntrySize, kNoOwner});
    TResourceEntry entry;
    entry.Info.Type = keys[0];
    entry.Info.Name = keys[1];
    entry.Info.Language = keys[2].Id;
    entry.DataEntryOffset = at;
    entry.Info.Rva = ReadLe32(FFile, at);
    entry.Info.Size = ReadLe32(FFile, at + 4);
    try {
      if (entry.Info.Size == 0) throw EBadExecutable("resource data entry has size 0");
      entry.Info.FileOffset = FImage.FileOffsetOf(entry.Info.Rva, entry.Info.Size, "resource data");
      entry.DataLocated = true;
      FTree.Occupied.push_back(
          {entry.Info.FileOffset, entry.Info.FileOffset + entry.Info.Size, FTree.Entries.size()});
    } catch (const EBadExecutable& e) {
      entry.Info.Error = e.Message();
    }
    FTree.Entries.push_back(std::move(entry));
  }

  // The keys down to level are known; what lies below it could not be read.
  void AddDamaged(const TKeyPath& keys, int level, const std::string& error) {
    TResourceEntry entry;
    entry.Info.Type = keys[0];
    entry.Info.Name = level >= 1 ? keys[1] : Unreadable();
    if (level == kLanguageLevel && keys[level].Kind == TKeyKind::Id) {
      entry.Info.Language = keys[level].Id;
    }
    entry.Info.Error = error;
    FTree.Entries.push_back(std::move(entry));
  }

  const TPeImage& FImage;
  std::span<const uint8_t> FFile;
  TResourceTree FTree;
  std::set<uint32_t> FVisited;
  std::map<uint64_t, uint64_t> FDirectories;  // begin to end, in the file
};

}  // namespace

TResourceTree ReadResourceTree(const TPeImage& image) {
  return TTreeReader(image).Read();
}

}  // namespace lumera
