// The heat-map page: one self-contained HTML file (inline style and script, no fetches)
// that lays the decoded bytes out and shades each by what it cost in bits. The page
// carries the bytes, their shades and the events in compact arrays, and its script builds
// only the rows near the screen, beside an overview strip of the whole output.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "explore/comparison.h"
#include "explore/exploration.h"

namespace lumera {

// The shading steps of the scale: under 0.5 bits, under 1, then one per bit up to 8 and
// more.
inline constexpr int kShades = 10;

// The shading step of a byte that cost bits.
int ShadeOf(double bits);

// A byte's cost: a literal's information content, or its repeat's spread evenly over
// the repeat's bytes.
double CostPerByte(const TEvent& event);

// Each output byte's shading step, by the cost of the event that wrote it.
std::vector<uint8_t> ByteShades(const TExploration& run);

// Output bytes [Begin, End).
struct TOutputRange {
  uint64_t Begin = 0;
  uint64_t End = 0;
  bool operator==(const TOutputRange&) const = default;
};

// A costly region, where the page's keys n and p go: where kCostlyBytes bytes in a row
// cost kCostlyBits a byte or more on average. Such runs that overlap or touch make one
// region.
inline constexpr double kCostlyBits = 6;
inline constexpr uint64_t kCostlyBytes = 16;

// The costly regions of the output, in order.
std::vector<TOutputRange> CostlyRegions(const TExploration& run);

// The overview strip cuts the output into at most kStripBlocks blocks of
// StripBlockBytes(size) bytes each (the last may be shorter).
inline constexpr uint64_t kStripBlocks = 256;
uint64_t StripBlockBytes(uint64_t size);

// The shading step of each block of the strip, by its bytes' mean cost.
std::vector<uint8_t> StripShades(const TExploration& run);

// The name under which the page offers the decoded bytes: the title's last path
// component without ".lum", as lumera-pack -d names its output, or else with ".out" added.
std::string DownloadName(const std::string& title);

// True when more than a tenth of the bytes are not text: the page then shows a hex grid.
bool WantsHexGrid(const std::vector<uint8_t>& output);

// title names the stream on the page. against may be null.
void WritePage(std::ostream& out, const TExploration& run, const TComparison* against,
               const std::string& title);

}  // namespace lumera
