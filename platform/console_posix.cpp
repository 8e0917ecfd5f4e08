#include <unistd.h>

#include <cerrno>

#include "platform/console.h"
#include "platform/exceptions.h"

namespace lumera {

void TStdConsole::Deliver(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put = ::write(STDOUT_FILENO, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) throw EInOutError(SystemErrorText(put < 0 ? errno : EIO));
    text.remove_prefix(static_cast<size_t>(put));
  }
}

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
