// The parse of the fastest level: at each position the longest repeat the decoder can
// make, when it costs less than the literals it replaces would at their running average,
// its budgets' price included, and the price of the first literal's table when that is
// nearly full; otherwise a literal.
#pragma once

#include "encoder/budget_prices.h"
#include "encoder/refusal_reason.h"
#include "encoder/repeat_sources.h"
#include "encoder/stream_packer.h"

namespace lumera {

// Codes the whole input; the caller adds the end marker. Returns the refusal that no way
// was found around, if any.
TRefused ParseGreedily(TInput input, TStreamPacker& packer, TBudgetPrices budget);

}  // namespace lumera
