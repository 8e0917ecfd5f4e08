// The listing: one line per event, for a person reading the stream from top to bottom,
// with what each event cost, then the failure (if any), the --against verdict and the
// summary.
#pragma once

#include <ostream>
#include <string>

#include "explore/comparison.h"
#include "explore/exploration.h"

namespace lumera {

// against may be null.
void WriteListing(std::ostream& out, const TExploration& run, const TComparison* against);

// The summary block that ends the listing and heads the page: sizes, totals per kind and
// per depth, the contexts created, the largest total, and how the stream ended.
void WriteSummary(std::ostream& out, const TExploration& run);

}  // namespace lumera
