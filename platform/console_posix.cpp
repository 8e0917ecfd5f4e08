#include <unistd.h>

#include <cerrno>

#include "platform/console.h"
#include "platform/exceptions.h"

namespace lumera {

void TStdConsole::SkipLine() {
  char c = 0;
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw EInOutError(SystemErrorText(errno));
    if (got == 0 || c == '\n') return;
  }
}

}  // namespace lumera
