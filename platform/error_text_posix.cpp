#include <cerrno>
#include <cstring>

#include "platform/exceptions.h"

namespace lumera {

const int kNegativeSeek = EINVAL;

std::string SystemErrorText(int error) {
  std::string text = std::strerror(error);
  while (!text.empty() && (text.back() == ' ' || text.back() == '.')) text.pop_back();
  return text;
}

std::string LockRefusalText(int error) {
  if (error == EWOULDBLOCK) {
    return "The process cannot access the file because it is being used by another process";
  }
  return SystemErrorText(error);
}

}  // namespace lumera
