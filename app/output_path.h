// Where the decoded output goes: "out.xml" in the directory part of the source path.
#pragma once

#include <string>
#include <string_view>

namespace lumera {

struct TPathRule {
  char Delimiter;       // the one path delimiter
  bool DriveSeparator;  // whether ':' also ends a directory part (as in C:file)
};

inline constexpr TPathRule kPosixPaths{'/', false};
inline constexpr TPathRule kDrivePaths{'\\', true};

// The directory part of source (up to and including its last delimiter, or drive
// separator), a delimiter if it does not end with one, then "out.xml". A bare file name
// has an empty directory part and gives "out.xml" in the working directory.
std::string OutputPathFor(std::string_view source, TPathRule rule = kPosixPaths);

}  // namespace lumera
