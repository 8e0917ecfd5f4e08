#include <windows.h>

#include "platform/console.h"
#include "platform/exceptions.h"

namespace lumera {

// One byte at a time, so that nothing after the line is taken from the next reader. A
// pipe whose writer has gone reports ERROR_BROKEN_PIPE: that is the end of input.
void TStdConsole::SkipLine() {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  char c = 0;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(input, &c, 1, &got, nullptr)) {
      const DWORD error = ::GetLastError();
      if (error == ERROR_BROKEN_PIPE) return;
      throw EInOutError(SystemErrorText(static_cast<int>(error)));
    }
    if (got == 0 || c == '\n') return;
  }
}

}  // namespace lumera
