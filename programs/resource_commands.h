// What lumera-pack does with the resources of an executable: extract a stream (and decode
// it), list every resource, and put a stream of any size back. The command line parses the
// options and handles the files; these functions work on bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/stream_decode.h"
#include "resource/resources.h"

namespace lumera {

// The resource options as the user gave them.
struct TResourceOptions {
  std::optional<std::string> Name = std::nullopt;  // --name; "#101" also means the ID 101
  std::optional<uint32_t> Id = std::nullopt;       // --id
  std::optional<std::string> Type =
      std::nullopt;  // --type: a number, RCDATA or RT_RCDATA, or a type's name
  std::optional<uint32_t> Language = std::nullopt;  // --language
  bool AllLanguages = false;                        // --all-languages, for a replacement
};

// Raises Exception when both a name and an ID are given.
TResourceQuery QueryOf(const TResourceOptions& options);

// The file that -x writes when no OUTPUT is given, in the working directory:
// IDR_LUMERA.lum, NAME.lum or N.lum; with decode, the same with .xml.
std::string DefaultExtractName(const TResourceOptions& options, bool decode);

struct TExtraction {
  std::vector<uint8_t> Bytes;
  // Lines for standard error: which language was taken when there was a choice, and
  // whether a decoded stream was not used up.
  std::vector<std::string> Notices;
};

// The resource's bytes, or with decode the whole stream they hold, decoded to at most
// maxOutput bytes, an early end refused unless allowTrailing is set. Raises
// EBadExecutable, or EDecodingFailed.
TExtraction ExtractResource(const std::vector<uint8_t>& exe, const TResourceOptions& options,
                            bool decode, uint64_t maxOutput = kDefaultMaxOutput,
                            bool allowTrailing = false);

// The table that --list-resources prints: one line per resource, damaged ones with
// what is wrong with them.
std::string ResourceTable(const std::vector<uint8_t>& exe);

struct TReplacement {
  std::vector<uint8_t> Executable;
  std::vector<uint32_t> Languages;  // those whose resource now holds the stream
  // For standard error: which language was patched when there are several, and that the
  // signature was removed.
  std::vector<std::string> Notices;
};

// A copy of exe whose resource holds stream, in place or growing the file: in the language
// asked for, or else the first, or with AllLanguages in each of them. A signed file is
// refused unless stripSignature is set, which removes the signature. Raises EBadExecutable.
TReplacement ReplaceStream(const std::vector<uint8_t>& exe, const TResourceOptions& options,
                           const std::vector<uint8_t>& stream, bool stripSignature);

// Raises EBadExecutable unless the resource of exe holds stream in each of languages and,
// when text is given, decodes whole to it.
void CheckReplaced(std::span<const uint8_t> exe, const TResourceOptions& options,
                   const std::vector<uint32_t>& languages, const std::vector<uint8_t>& stream,
                   const std::optional<std::vector<uint8_t>>& text);

}  // namespace lumera
