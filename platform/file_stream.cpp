#include "platform/file_stream.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/exceptions.h"

namespace lumera {

void RaiseOpenFailure(const std::string& path, TFileMode mode, const std::string& reason) {
  std::string message = mode == TFileMode::Create ? "Cannot create file \"" : "Cannot open file \"";
  message.append(ExpandPath(path)).append("\". ").append(reason);
  if (mode == TFileMode::Create) throw EFCreateError(message);
  throw EFOpenError(message);
}

std::string FullPath(const std::string& path, const std::string& workingDir) {
  const std::string joined = !path.empty() && path.front() == '/' ? path : workingDir + "/" + path;
  std::vector<std::string_view> parts;
  std::string_view rest = joined;
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string full;
  for (std::string_view part : parts) full.append("/").append(part);
  return full.empty() ? "/" : full;
}

size_t TFileStream::ReadHeld(void* buffer, size_t count) {
  const size_t from = static_cast<size_t>(std::min(FPosition, FSize));
  const size_t done = std::min(count, FContent.size() - from);
  std::copy_n(FContent.begin() + static_cast<ptrdiff_t>(from), done, static_cast<uint8_t*>(buffer));
  FPosition += static_cast<int64_t>(done);
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == TSeekOrigin::Beginning ? 0 : FPosition;
  if (offset < -base) throw EInOutError(SystemErrorText(kNegativeSeek));
  FPosition = base + offset;
  return FPosition;
}

}  // namespace lumera
