// The heat-map page: one self-contained HTML file (inline style, one small script, no
// fetches) that lays the decoded bytes out and shades each by what it cost in bits.
#pragma once

#include <ostream>
#include <string>

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

// True when more than a tenth of the bytes are not text: the page then shows a hex grid.
bool WantsHexGrid(const std::vector<uint8_t>& output);

// title names the stream on the page. against may be null.
void WritePage(std::ostream& out, const TExploration& run, const TComparison* against,
               const std::string& title);

}  // namespace lumera
