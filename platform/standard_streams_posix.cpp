#include <csignal>

#include "platform/standard_streams.h"

namespace lumera {

void IgnoreBrokenPipeSignal() {
  std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace lumera
