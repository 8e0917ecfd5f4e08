// The headers of a PE file (PE32 or PE32+) and the mapping from the addresses the loader
// uses (RVAs) to offsets in the file, every step checked against the file's bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lumera {

struct TSection {
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawSize = 0;
  uint32_t RawPointer = 0;
};

// Little-endian reads that raise EBadExecutable instead of reading past the end.
uint16_t ReadLe16(std::span<const uint8_t> bytes, uint64_t offset);
uint32_t ReadLe32(std::span<const uint8_t> bytes, uint64_t offset);
void WriteLe32(std::span<uint8_t> bytes, uint64_t offset, uint32_t value);

class TPeImage {
 public:
  // Raises EBadExecutable naming the first header that is missing or cut short.
  explicit TPeImage(std::span<const uint8_t> file);

  std::span<const uint8_t> File() const { return FFile; }
  // The resource directory's RVA, 0 when the file declares none.
  uint32_t ResourceRva() const { return FResourceRva; }
  uint64_t ChecksumOffset() const { return FChecksumOffset; }
  // Where the headers, the section table included, end in the file.
  uint64_t HeadersEnd() const { return FHeadersEnd; }

  // The file offset of the size bytes at rva, which must all lie in the raw data of the
  // section that holds rva: bytes past a section's raw data exist only in memory. Raises
  // EBadExecutable with a message that begins with what.
  uint64_t FileOffsetOf(uint64_t rva, uint64_t size, std::string_view what) const;
  // The file offset where the raw data ends of the section that holds rva.
  uint64_t RawEndOf(uint64_t rva) const;

 private:
  const TSection* SectionOf(uint64_t rva) const;
  void ReadOptionalHeader(uint64_t offset, uint16_t size);
  void ReadSections(uint64_t offset, uint16_t count);

  std::span<const uint8_t> FFile;
  uint32_t FResourceRva = 0;
  uint64_t FChecksumOffset = 0;
  uint64_t FHeadersEnd = 0;
  std::vector<TSection> FSections;
};

// The standard PE checksum: the file summed as 16-bit little-endian words with the
// carries folded back in and the checksum field taken as zero, plus the file's length.
uint32_t PeChecksum(std::span<const uint8_t> file, uint64_t checksumOffset);

}  // namespace lumera
