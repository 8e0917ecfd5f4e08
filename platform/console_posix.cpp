#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/console.h"
#include "platform/exceptions.h"
#include "platform/system_handle.h"

namespace lumera {

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
  const int error = WriteAll(StandardHandle(TStandardStream::Output), text.data(), text.size());
  if (error != 0) throw EInOutError(SystemErrorText(error));
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
