// The record of every byte output by one decompression, in order. Its length is the
// position of the next output byte in the reference file.
#pragma once

#include <cstdint>
#include <string>

namespace lumera {

class TDecodedText {
 public:
  void Append(uint8_t byte) { FText.push_back(static_cast<char>(byte)); }
  uint32_t Length() const { return static_cast<uint32_t>(FText.size()); }
  const std::string& Text() const { return FText; }

 private:
  std::string FText;
};

}  // namespace lumera
