#include "resource/pe_image.h"

#include <algorithm>
#include <string>

#include "platform/hex.h"
#include "resource/resources.h"

namespace lumera {
namespace {

constexpr uint64_t kDosHeaderSize = 64;
constexpr uint64_t kNewHeaderPointer = 0x3C;
constexpr uint64_t kFileHeaderSize = 20;
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr uint64_t kChecksumField = 64;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint64_t kDataDirectorySize = 8;

bool Fits(std::span<const uint8_t> bytes, uint64_t offset, uint64_t size) {
  return offset <= bytes.size() && size <= bytes.size() - offset;
}

void Require(bool condition, const char* message) {
  if (!condition) throw EBadExecutable(message);
}

}  // namespace

uint16_t ReadLe16(std::span<const uint8_t> bytes, uint64_t offset) {
  Require(Fits(bytes, offset, 2), "read past the end of the file");
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

uint32_t ReadLe32(std::span<const uint8_t> bytes, uint64_t offset) {
  Require(Fits(bytes, offset, 4), "read past the end of the file");
  return ReadLe16(bytes, offset) | static_cast<uint32_t>(ReadLe16(bytes, offset + 2)) << 16;
}

void WriteLe16(std::span<uint8_t> bytes, uint64_t offset, uint16_t value) {
  Require(Fits(bytes, offset, 2), "write past the end of the file");
  bytes[offset] = static_cast<uint8_t>(value);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
}

void WriteLe32(std::span<uint8_t> bytes, uint64_t offset, uint32_t value) {
  WriteLe16(bytes, offset, static_cast<uint16_t>(value));
  WriteLe16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

TPeImage::TPeImage(std::span<const uint8_t> file) : FFile(file) {
  Require(Fits(file, 0, 2) && file[0] == 'M' && file[1] == 'Z', "not a PE file (no MZ header)");
  Require(Fits(file, 0, kDosHeaderSize), "truncated MS-DOS header");
  const uint64_t signature = ReadLe32(file, kNewHeaderPointer);
  Require(Fits(file, signature, 4) && ReadLe32(file, signature) == 0x4550,
          "not a PE file (no PE signature)");
  FFileHeader = signature + 4;
  Require(Fits(file, FFileHeader, kFileHeaderSize), "truncated COFF file header");
  const uint16_t sectionCount = ReadLe16(file, FFileHeader + 2);
  const uint16_t optionalSize = ReadLe16(file, FFileHeader + 16);
  FOptionalHeader = FFileHeader + kFileHeaderSize;
  ReadOptionalHeader(FOptionalHeader, optionalSize);
  ReadSections(FOptionalHeader + optionalSize, sectionCount);
}

void TPeImage::ReadOptionalHeader(uint64_t offset, uint16_t size) {
  Require(size >= 2 && Fits(FFile, offset, size), "truncated optional header");
  const uint16_t magic = ReadLe16(FFile, offset);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) {
    throw EBadExecutable("unknown optional header magic 0x" + Hex(magic, 4) +
                         " (neither PE32 nor PE32+)");
  }
  const uint64_t directoryCountField = magic == kMagicPe32 ? 92 : 108;
  Require(size >= directoryCountField + 4, "truncated optional header");
  FChecksumOffset = offset + kChecksumField;
  const uint32_t directoryCount = ReadLe32(FFile, offset + directoryCountField);
  FDirectoryTable = offset + directoryCountField + 4;
  // Only the directories that the header has room for count.
  const uint64_t present = (size - directoryCountField - 4) / kDataDirectorySize;
  for (uint64_t i = 0; i < std::min<uint64_t>(directoryCount, present); ++i) {
    const uint64_t field = FDirectoryTable + i * kDataDirectorySize;
    FDirectories.push_back({ReadLe32(FFile, field), ReadLe32(FFile, field + 4)});
  }
  // A header too short for the resource directory's slot declares no resources.
  if (FDirectories.size() > kResourceDirectoryIndex) {
    FResourceRva = FDirectories[kResourceDirectoryIndex].Address;
  }
}

void TPeImage::ReadSections(uint64_t offset, uint16_t count) {
  Require(Fits(FFile, offset, count * kSectionHeaderSize), "truncated section table");
  FHeadersEnd = offset + count * kSectionHeaderSize;
  for (uint64_t header = offset; header < offset + count * kSectionHeaderSize;
       header += kSectionHeaderSize) {
    FSections.push_back({.Header = header,
                         .VirtualAddress = ReadLe32(FFile, header + 12),
                         .VirtualSize = ReadLe32(FFile, header + 8),
                         .RawSize = ReadLe32(FFile, header + 16),
                         .RawPointer = ReadLe32(FFile, header + 20),
                         .Characteristics = ReadLe32(FFile, header + 36)});
  }
}

const TSection* TPeImage::SectionOf(uint64_t rva) const {
  for (const TSection& section : FSections) {
    if (rva >= section.VirtualAddress && rva < section.VirtualEnd()) return &section;
  }
  return nullptr;
}

uint64_t TPeImage::FileOffsetOf(uint64_t rva, uint64_t size, std::string_view what) const {
  const TSection* section = SectionOf(rva);
  const std::string subject(what);
  if (section == nullptr) throw EBadExecutable(subject + " lies outside every section");
  const uint64_t inSection = rva - section->VirtualAddress;
  if (inSection > section->RawSize || size > section->RawSize - inSection) {
    throw EBadExecutable(subject + " reaches past its section's raw data");
  }
  const uint64_t offset = section->RawPointer + inSection;
  if (!Fits(FFile, offset, size)) throw EBadExecutable(subject + " points outside the file");
  return offset;
}

uint64_t TPeImage::RawEndOf(uint64_t rva) const {
  const TSection* section = SectionOf(rva);
  return section == nullptr ? 0 : section->RawEnd();
}

uint32_t PeChecksum(std::span<const uint8_t> file, uint64_t checksumOffset) {
  const auto byteAt = [&](uint64_t i) -> uint32_t {
    const bool inField = i >= checksumOffset && i - checksumOffset < 4;
    return i < file.size() && !inField ? file[i] : 0;
  };
  uint32_t sum = 0;
  for (uint64_t i = 0; i < file.size(); i += 2) {
    sum += byteAt(i) | byteAt(i + 1) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return sum + static_cast<uint32_t>(file.size());
}

}  // namespace lumera
