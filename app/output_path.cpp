#include "app/output_path.h"

namespace lumera {

std::string OutputPathFor(std::string_view source, TPathRule rule) {
  const std::string ends =
      rule.DriveSeparator ? std::string{rule.Delimiter, ':'} : std::string{rule.Delimiter};
  const size_t last = source.find_last_of(ends);
  std::string path =
      last == std::string_view::npos ? std::string{} : std::string{source.substr(0, last + 1)};
  if (!path.empty() && path.back() != rule.Delimiter) path.push_back(rule.Delimiter);
  return path + "out.xml";
}

}  // namespace lumera
