// The resource directory walked once: its leaves (type, name, language) with what each
// points to, and every byte range that the tree occupies in the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "resource/pe_image.h"
#include "resource/resources.h"

namespace lumera {

struct TResourceEntry {
  TResourceInfo Info;
  uint64_t DataEntryOffset = 0;  // file offset of the 16-byte data entry; 0 when not read
  bool DataLocated = false;      // Info.FileOffset and Info.Size name bytes in the file
};

inline constexpr size_t kNoOwner = static_cast<size_t>(-1);

// [Begin, End) in the file. Owner is the index of the entry whose data it is, kNoOwner for
// the tree's own structures (directories, data entries, names).
struct TByteRange {
  uint64_t Begin = 0;
  uint64_t End = 0;
  size_t Owner = kNoOwner;
};

struct TResourceTree {
  std::vector<TResourceEntry> Entries;
  std::vector<TByteRange> Occupied;
};

// Raises EBadExecutable only when the root directory cannot be read; a damaged entry
// below it becomes an entry with Info.Error set, and the walk goes on.
TResourceTree ReadResourceTree(const TPeImage& image);

}  // namespace lumera
