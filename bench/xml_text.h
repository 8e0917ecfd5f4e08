// A deterministic XML-like text for the benchmarks: records with ids, words from a small
// vocabulary and numbers, the kind of markup the format is meant for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumera::bench {

inline std::vector<uint8_t> XmlText(size_t size) {
  static const char* const kWords[] = {"alpha", "bravo", "delta", "echo",  "lima",
                                       "oscar", "romeo", "tango", "whisky", "zulu"};
  uint32_t seed = 0x2545F491u;
  auto next = [&seed](uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records>\n";
  for (uint32_t id = 1; text.size() < size; ++id) {
    text += "  <record id=\"";
    text += std::to_string(id);
    text += "\">\n    <name>";
    text += kWords[next(10)];
    text += ' ';
    text += kWords[next(10)];
    text += "</name>\n    <value>";
    text += std::to_string(next(100000));
    text += "</value>\n    <flag>";
    text += next(2) != 0 ? "true" : "false";
    text += "</flag>\n  </record>\n";
  }
  text.resize(size);
  return {text.begin(), text.end()};
}

}  // namespace lumera::bench
