// Where the decoded output goes: "out.xml" in the folder part of the source path.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_stream.h"

namespace lumera {

struct TPathRule {
  std::string_view Delimiters;  // each ends a folder part
};

inline constexpr TPathRule kPosixPaths{"/"};
inline constexpr TPathRule kDrivePaths{"\\/:"};
inline constexpr TPathRule kNativePaths{kPathDelimiters};

// The folder part of source (up to and including its last delimiter), then "out.xml". So
// out.xml always lands beside the input: a bare file name gives "out.xml" in the working
// directory, and C:blob.bin gives C:out.xml, in drive C's current folder.
std::string OutputPathFor(std::string_view source, TPathRule rule = kNativePaths);

}  // namespace lumera
