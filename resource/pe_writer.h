// Changes to a PE file that go beyond rewriting bytes in place: removing the signature, and
// making room for data past the end of the image, where the loader maps it.
//
// Read me first: a grown file keeps every byte before the end of its sections' raw data
// where it was, so that offsets found before the change stay true. Only the last section
// grows, or a section is added after it; what followed the sections in the file (a COFF
// symbol table) moves behind the new data. Headers change in named fields only.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "resource/pe_image.h"

namespace lumera {

// The file carries a certificate table (a non-empty Security directory).
bool IsSigned(const TPeImage& image);

// A copy of the image's file without its certificate table and with the Security
// directory's entry zeroed. Raises EBadExecutable when the table is not the last thing in
// the file, since cutting it out would then move or lose other bytes.
std::vector<uint8_t> WithoutSignature(const TPeImage& image);

struct TGrowth {
  std::vector<uint8_t> File;  // the grown copy
  uint32_t Rva = 0;           // where size bytes now lie free, as the loader maps them
  uint64_t FileOffset = 0;    // and in the file
};

// A copy of the image's file with size bytes of room past the end of its data. growFrom is
// the RVA of data that nothing but zeros follows in its section: if that section is the
// last, the data grows where it is. Otherwise the room goes at the end of the resource
// section when it is the last section and its memory does not run far past its data in
// the file (the file would gain that gap as zeros), or into a new section. Raises
// EBadExecutable, with the reason, when none of these is possible or when bytes after the
// sections would be lost.
TGrowth Grow(const TPeImage& image, uint64_t size, std::optional<uint32_t> growFrom);

}  // namespace lumera
