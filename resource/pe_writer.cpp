#include "resource/pe_writer.h"

#include <algorithm>
#include <string>

#include "platform/hex.h"
#include "resource/resources.h"

namespace lumera {
namespace {

// Fields of the COFF file header and of the optional header (the same offsets in PE32 and
// PE32+), and of a section header.
constexpr uint64_t kSectionCountField = 2;
constexpr uint64_t kSymbolTableField = 8;
constexpr uint64_t kSymbolCountField = 12;
constexpr uint64_t kInitializedDataField = 8;
constexpr uint64_t kSectionAlignmentField = 32;
constexpr uint64_t kFileAlignmentField = 36;
constexpr uint64_t kImageSizeField = 56;
constexpr uint64_t kHeadersSizeField = 60;
constexpr uint64_t kVirtualSizeField = 8;
constexpr uint64_t kVirtualAddressField = 12;
constexpr uint64_t kRawSizeField = 16;
constexpr uint64_t kRawPointerField = 20;
constexpr uint64_t kCharacteristicsField = 36;

// The name of the section that holds data that fits nowhere else.
constexpr char kAddedSectionName[] = ".lumera";
constexpr uint64_t kSymbolSize = 18;
constexpr uint64_t kDataAlignment = 8;
constexpr uint32_t kInitializedData = 0x00000040;
constexpr uint32_t kReadable = 0x40000000;
constexpr uint32_t kBoundImportDirectory = 11;
constexpr uint64_t kLargestOffset = 0xFFFFFFFF;
constexpr uint32_t kLargestFileAlignment = 0x10000;
// A section's memory may run past its data in the file; data put after it in the file pads
// the gap with zeros. Past this many, a section of its own costs the file less.
constexpr uint64_t kLargestGap = 0x100000;

uint64_t RoundUp(uint64_t value, uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

std::string HexText(uint64_t value) {
  return "0x" + Hex(static_cast<uint32_t>(value), 1);
}

bool AllZero(std::span<const uint8_t> bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

// Where the sections' raw data ends in the file; the headers when no section has any.
uint64_t RawDataEnd(const TPeImage& image) {
  uint64_t end = image.HeadersEnd();
  for (const TSection& section : image.Sections()) {
    if (section.RawSize != 0) end = std::max(end, section.RawEnd());
  }
  return end;
}

class TGrower {
 public:
  TGrower(const TPeImage& image, uint64_t size) : FImage(image), FFile(image.File()), FSize(size) {
    const uint64_t optional = image.OptionalHeader();
    FSectionAlignment = ReadLe32(FFile, optional + kSectionAlignmentField);
    FFileAlignment = ReadLe32(FFile, optional + kFileAlignmentField);
    // The format allows file alignments up to 64 KiB; a larger one would pad the file so.
    if (!IsPowerOfTwo(FSectionAlignment) || !IsPowerOfTwo(FFileAlignment) ||
        FFileAlignment > kLargestFileAlignment) {
      throw EBadExecutable("the section alignment " + HexText(FSectionAlignment) +
                           " or the file alignment " + HexText(FFileAlignment) +
                           " is not a power of two that a PE file allows");
    }
    FRawEnd = RawDataEnd(image);
    if (FRawEnd > FFile.size()) {
      throw EBadExecutable("the sections' raw data reaches past the end of the file");
    }
    ReadSymbolTable();
  }

  TGrowth Grow(std::optional<uint32_t> growFrom) {
    const TSection* last = LastSection();
    if (last != nullptr && growFrom && FImage.SectionOf(*growFrom) == last &&
        last->VirtualSize <= last->RawSize) {
      return Extend(*last, *growFrom - last->VirtualAddress);
    }
    if (last != nullptr && FImage.SectionOf(FImage.ResourceRva()) == last) {
      const uint64_t end = RoundUp(std::max(last->VirtualSize, last->RawSize), kDataAlignment);
      if (end - last->RawSize <= kLargestGap) return Extend(*last, end);
      return AddSection("the resource section's memory runs " + HexText(end - last->RawSize) +
                        " bytes past its data in the file");
    }
    return AddSection("the resource section is not the last section");
  }

 private:
  static bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

  // The section that ends the image both in memory and in the file, if one does.
  const TSection* LastSection() const {
    const auto& sections = FImage.Sections();
    const auto last = std::max_element(sections.begin(), sections.end(), [](auto& a, auto& b) {
      return a.VirtualAddress < b.VirtualAddress;
    });
    if (last == sections.end() || last->RawSize == 0 || last->RawEnd() != FRawEnd) return nullptr;
    return &*last;
  }

  // Only a COFF symbol table with its string table may follow the sections: it moves
  // behind the new data. Anything else there belongs to someone we do not know.
  void ReadSymbolTable() {
    const uint64_t header = FImage.FileHeader();
    const uint64_t table = ReadLe32(FFile, header + kSymbolTableField);
    uint64_t end = FRawEnd;
    if (table >= FRawEnd) {
      const uint64_t strings = table + ReadLe32(FFile, header + kSymbolCountField) * kSymbolSize;
      const bool hasStrings = strings + 4 <= FFile.size();
      end = strings + (hasStrings ? std::max<uint32_t>(ReadLe32(FFile, strings), 4) : 0);
      if (end > FFile.size()) {
        throw EBadExecutable("the COFF symbol table reaches past the end of the file");
      }
      FSymbols = FFile.subspan(table, end - table);
    }
    const uint64_t gap = table >= FRawEnd ? table : FFile.size();
    if (gap > FRawEnd) RefuseOverlay(FRawEnd, gap - FRawEnd);
    if (end < FFile.size() && table >= FRawEnd) RefuseOverlay(end, FFile.size() - end);
  }

  [[noreturn]] static void RefuseOverlay(uint64_t offset, uint64_t size) {
    throw EBadExecutable("the file has " + std::to_string(size) + " bytes at offset " +
                         HexText(offset) +
                         " after its sections (an overlay), which growing the file would cut off");
  }

  // The data at offset inSection of the last section, which grows to hold it.
  TGrowth Extend(const TSection& section, uint64_t inSection) {
    const uint64_t dataEnd = inSection + FSize;
    const uint64_t rawSize = std::max<uint64_t>(section.RawSize, RoundUp(dataEnd, FFileAlignment));
    const uint64_t virtualSize = std::max<uint64_t>(section.VirtualSize, dataEnd);
    CheckLimits(section.RawPointer + rawSize, section.VirtualAddress + virtualSize);
    TGrowth growth = Start(section.RawPointer + rawSize);
    WriteLe32(growth.File, section.Header + kVirtualSizeField, static_cast<uint32_t>(virtualSize));
    WriteLe32(growth.File, section.Header + kRawSizeField, static_cast<uint32_t>(rawSize));
    if (section.Characteristics & kInitializedData)
      AddInitializedData(growth, rawSize - section.RawSize);
    SetImageSize(growth, section.VirtualAddress + virtualSize);
    growth.Rva = static_cast<uint32_t>(section.VirtualAddress + inSection);
    growth.FileOffset = section.RawPointer + inSection;
    return Finish(std::move(growth));
  }

  // A section of its own after the last one, with a header in the free room after the
  // section table. why says why the resource section cannot grow instead.
  TGrowth AddSection(const std::string& why) {
    const uint64_t header = FImage.HeadersEnd();
    if (const std::string reason = HeaderRoomProblem(header); !reason.empty()) {
      throw EBadExecutable("the file cannot grow: " + why +
                           ", and there is no room for another section header (" + reason + ")");
    }
    uint64_t imageEnd = 0;
    for (const TSection& section : FImage.Sections()) {
      imageEnd = std::max(imageEnd, section.VirtualEnd());
    }
    const uint64_t rva = RoundUp(imageEnd, FSectionAlignment);
    const uint64_t raw = RoundUp(FRawEnd, FFileAlignment);
    const uint64_t rawSize = RoundUp(FSize, FFileAlignment);
    CheckLimits(raw + rawSize, rva + FSize);
    const uint16_t count = static_cast<uint16_t>(FImage.Sections().size());
    if (count == 0xFFFF) throw EBadExecutable("the file has the most sections it can have");
    TGrowth growth = Start(raw + rawSize);
    std::copy_n(kAddedSectionName, sizeof kAddedSectionName - 1, growth.File.begin() + header);
    WriteLe32(growth.File, header + kVirtualSizeField, static_cast<uint32_t>(FSize));
    WriteLe32(growth.File, header + kVirtualAddressField, static_cast<uint32_t>(rva));
    WriteLe32(growth.File, header + kRawSizeField, static_cast<uint32_t>(rawSize));
    WriteLe32(growth.File, header + kRawPointerField, static_cast<uint32_t>(raw));
    WriteLe32(growth.File, header + kCharacteristicsField, kInitializedData | kReadable);
    WriteLe16(growth.File, FImage.FileHeader() + kSectionCountField, count + 1);
    AddInitializedData(growth, rawSize);
    SetImageSize(growth, rva + FSize);
    growth.Rva = static_cast<uint32_t>(rva);
    growth.FileOffset = raw;
    return Finish(std::move(growth));
  }

  // Why the 40 bytes at header cannot take another section header; empty when they can.
  std::string HeaderRoomProblem(uint64_t header) const {
    const uint64_t end = header + kSectionHeaderSize;
    const uint32_t headersSize = ReadLe32(FFile, FImage.OptionalHeader() + kHeadersSizeField);
    if (end > headersSize) {
      return "the headers end at " + HexText(headersSize) + ", and it would end at " + HexText(end);
    }
    for (const TSection& section : FImage.Sections()) {
      if (section.RawSize != 0 && section.RawPointer < end) {
        return "it would overlap a section's data at " + HexText(section.RawPointer);
      }
    }
    if (end > FFile.size() || !AllZero(FFile.subspan(header, kSectionHeaderSize))) {
      return "the bytes after the section table are in use";
    }
    const auto& directories = FImage.Directories();
    for (uint32_t i = 0; i < directories.size(); ++i) {
      const TDataDirectory& d = directories[i];
      if (d.Size != 0 && d.Address < end && uint64_t{d.Address} + d.Size > header) {
        return (i == kBoundImportDirectory ? std::string("the bound imports")
                                           : "data directory " + std::to_string(i)) +
               " lie after the section table";
      }
    }
    return "";
  }

  void CheckLimits(uint64_t fileEnd, uint64_t imageEnd) const {
    if (fileEnd + FSymbols.size() > kLargestOffset ||
        RoundUp(imageEnd, FSectionAlignment) > kLargestOffset) {
      throw EBadExecutable("the grown file would pass the 4 GiB that a PE file can address");
    }
  }

  // The file up to the end of its sections, then zeros up to rawEnd.
  TGrowth Start(uint64_t rawEnd) const {
    TGrowth growth;
    growth.File.reserve(std::max(rawEnd, FRawEnd) + FSymbols.size());
    growth.File.assign(FFile.begin(), FFile.begin() + static_cast<std::ptrdiff_t>(FRawEnd));
    growth.File.resize(std::max(rawEnd, FRawEnd), 0);
    return growth;
  }

  void AddInitializedData(TGrowth& growth, uint64_t bytes) const {
    const uint64_t field = FImage.OptionalHeader() + kInitializedDataField;
    WriteLe32(growth.File, field, static_cast<uint32_t>(ReadLe32(growth.File, field) + bytes));
  }

  void SetImageSize(TGrowth& growth, uint64_t imageEnd) const {
    const uint64_t field = FImage.OptionalHeader() + kImageSizeField;
    const uint64_t size =
        std::max<uint64_t>(ReadLe32(FFile, field), RoundUp(imageEnd, FSectionAlignment));
    WriteLe32(growth.File, field, static_cast<uint32_t>(size));
  }

  // The symbol table, if any, follows the new data.
  TGrowth Finish(TGrowth growth) const {
    if (!FSymbols.empty()) {
      const uint64_t field = FImage.FileHeader() + kSymbolTableField;
      WriteLe32(growth.File, field, static_cast<uint32_t>(growth.File.size()));
      growth.File.insert(growth.File.end(), FSymbols.begin(), FSymbols.end());
    }
    return growth;
  }

  const TPeImage& FImage;
  std::span<const uint8_t> FFile;
  uint64_t FSize;
  uint32_t FSectionAlignment = 0;
  uint32_t FFileAlignment = 0;
  uint64_t FRawEnd = 0;
  std::span<const uint8_t> FSymbols;
};

}  // namespace

bool IsSigned(const TPeImage& image) {
  const auto& directories = image.Directories();
  return directories.size() > kSecurityDirectory && directories[kSecurityDirectory].Size != 0;
}

std::vector<uint8_t> WithoutSignature(const TPeImage& image) {
  const std::span<const uint8_t> file = image.File();
  const TDataDirectory table = image.Directories()[kSecurityDirectory];
  const uint64_t end = uint64_t{table.Address} + table.Size;
  if (end > file.size())
    throw EBadExecutable("the certificate table reaches past the end of the file");
  if (table.Address < RawDataEnd(image) || !AllZero(file.subspan(end))) {
    throw EBadExecutable("the certificate table at " + HexText(table.Address) +
                         " is not the last thing in the file, so it cannot be removed");
  }
  std::vector<uint8_t> copy(file.begin(), file.begin() + table.Address);
  WriteLe32(copy, image.DirectoryField(kSecurityDirectory), 0);
  WriteLe32(copy, image.DirectoryField(kSecurityDirectory) + 4, 0);
  return copy;
}

TGrowth Grow(const TPeImage& image, uint64_t size, std::optional<uint32_t> growFrom) {
  return TGrower(image, size).Grow(growFrom);
}

}  // namespace lumera
