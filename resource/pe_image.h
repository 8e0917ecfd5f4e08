// The headers of a PE file (PE32 or PE32+) and the mapping from the addresses the loader
// uses (RVAs) to offsets in the file, every step checked against the file's bytes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace lumera {

struct TSection {
  uint64_t Header = 0;  // file offset of its 40-byte header
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawSize = 0;
  uint32_t RawPointer = 0;
  uint32_t Characteristics = 0;

  uint64_t RawEnd() const { return uint64_t{RawPointer} + RawSize; }
  // Where the section ends in memory; the loader takes the raw size when the virtual size
  // is 0, and this reader maps whichever is larger.
  uint64_t VirtualEnd() const { return uint64_t{VirtualAddress} + std::max(VirtualSize, RawSize); }
};

// One entry of the optional header's data directories. Address is an RVA, except for the
// Security directory, whose address is a file offset.
struct TDataDirectory {
  uint32_t Address = 0;
  uint32_t Size = 0;
};

inline constexpr uint32_t kSecurityDirectory = 4;
inline constexpr uint64_t kSectionHeaderSize = 40;

// Little-endian reads that raise EBadExecutable instead of reading past the end.
uint16_t ReadLe16(std::span<const uint8_t> bytes, uint64_t offset);
uint32_t ReadLe32(std::span<const uint8_t> bytes, uint64_t offset);
void WriteLe16(std::span<uint8_t> bytes, uint64_t offset, uint16_t value);
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
  uint64_t FileHeader() const { return FFileHeader; }
  uint64_t OptionalHeader() const { return FOptionalHeader; }
  // The file offset of directory i's entry; only for i < Directories().size().
  uint64_t DirectoryField(uint32_t i) const { return FDirectoryTable + 8 * uint64_t{i}; }
  // The directories that the optional header holds, as many as it declares and has room for.
  const std::vector<TDataDirectory>& Directories() const { return FDirectories; }
  const std::vector<TSection>& Sections() const { return FSections; }
  const TSection* SectionOf(uint64_t rva) const;

  // The file offset of the size bytes at rva, which must all lie in the raw data of the
  // section that holds rva: bytes past a section's raw data exist only in memory. Raises
  // EBadExecutable with a message that begins with what.
  uint64_t FileOffsetOf(uint64_t rva, uint64_t size, std::string_view what) const;
  // The file offset where the raw data ends of the section that holds rva.
  uint64_t RawEndOf(uint64_t rva) const;

 private:
  void ReadOptionalHeader(uint64_t offset, uint16_t size);
  void ReadSections(uint64_t offset, uint16_t count);

  std::span<const uint8_t> FFile;
  uint32_t FResourceRva = 0;
  uint64_t FChecksumOffset = 0;
  uint64_t FHeadersEnd = 0;
  uint64_t FFileHeader = 0;
  uint64_t FOptionalHeader = 0;
  uint64_t FDirectoryTable = 0;
  std::vector<TDataDirectory> FDirectories;
  std::vector<TSection> FSections;
};

// The standard PE checksum: the file summed as 16-bit little-endian words with the
// carries folded back in and the checksum field taken as zero, plus the file's length.
uint32_t PeChecksum(std::span<const uint8_t> file, uint64_t checksumOffset);

}  // namespace lumera
