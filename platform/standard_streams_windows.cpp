#include "platform/standard_streams.h"

namespace lumera {

// Windows has no such signal: a write to a closed pipe fails with ERROR_NO_DATA.
void IgnoreBrokenPipeSignal() {}

}  // namespace lumera
