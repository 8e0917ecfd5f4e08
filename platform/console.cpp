#include "platform/console.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/exceptions.h"

namespace lumera {

void TConsole::WriteLine(std::string_view text) {
  FPending.append(text);
  FPending.append("\r\n");
  Flush();
}

void TConsole::Flush() {
  if (FPending.empty()) return;
  // Drop the text before delivering it: after a failed write the failure report must
  // not try to write the same text again.
  const std::string text = std::move(FPending);
  FPending.clear();
  Deliver(text);
}

void TConsole::Pause() {
  Flush();
  SkipLine();
}

void TStdConsole::GuardStandardHandles() {
  // Reading a write-only descriptor, or writing a read-only one, fails with EBADF: a
  // closed stream stays unusable, yet no file can be opened on its number.
  const int flags[] = {O_WRONLY, O_RDONLY, O_RDONLY};
  for (int handle = 0; handle < 3; ++handle) {
    if (::fcntl(handle, F_GETFD) == -1 && errno == EBADF) {
      const int stand_in = ::open("/dev/null", flags[handle]);
      if (stand_in >= 0 && stand_in != handle) {
        ::dup2(stand_in, handle);
        ::close(stand_in);
      }
    }
  }
}

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

void TMemoryConsole::SkipLine() {
  ++FPauses;
  const size_t end = FInput.find('\n', FRead);
  FRead = end == std::string::npos ? FInput.size() : end + 1;
}

}  // namespace lumera
