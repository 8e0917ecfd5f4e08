#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process.h"

namespace lumera {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

std::vector<std::string> ExpandWildcards(std::vector<std::string> operands) {
  return operands;
}

std::string ProgramFileName(const char* argv0) {
  const std::string path = argv0 != nullptr ? argv0 : "lumera";
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void PrepareStandardStreams() {
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

bool AloneOnConsole() {
  return false;
}

}  // namespace lumera
