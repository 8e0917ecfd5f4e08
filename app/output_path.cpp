#include "app/output_path.h"

namespace lumera {

std::string OutputPathFor(std::string_view source, TPathRule rule) {
  const size_t last = source.find_last_of(rule.Delimiters);
  const std::string_view folder =
      last == std::string_view::npos ? std::string_view{} : source.substr(0, last + 1);
  return std::string(folder) + "out.xml";
}

}  // namespace lumera
