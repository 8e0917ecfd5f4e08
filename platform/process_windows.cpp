#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>

#include "platform/process.h"
#include "platform/windows_text.h"

namespace lumera {

// The C runtime's argv is in the ANSI code page, which cannot hold every file name, and
// it reads \" as an escaped quote: the arguments are split from the wide command line.
std::vector<std::string> ProgramArguments(int, char**) {
  return SplitCommandLine(Narrow(::GetCommandLineW()));
}

namespace {

// The names that pattern matches, "." and ".." left out; none when it has no wildcard.
std::vector<std::string> Matches(const std::string& pattern) {
  const size_t delimiter = pattern.find_last_of("\\/:");
  const size_t folderEnd = delimiter == std::string::npos ? 0 : delimiter + 1;
  if (pattern.find_first_of("*?", folderEnd) == std::string::npos) return {};
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileW(Widen(pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::vector<std::string> names;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(pattern.substr(0, folderEnd) + Narrow(name));
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::vector<std::string> ExpandWildcards(std::vector<std::string> operands) {
  std::vector<std::string> expanded;
  for (std::string& operand : operands) {
    std::vector<std::string> names = Matches(operand);
    if (names.empty()) {
      expanded.push_back(std::move(operand));
    } else {
      expanded.insert(expanded.end(), names.begin(), names.end());
    }
  }
  return expanded;
}

std::string ProgramFileName(const char* argv0) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      path = Widen(argv0 != nullptr ? argv0 : "lumera.exe");
      break;
    }
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const size_t slash = path.find_last_of(L"\\/");
  return Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

void PrepareStandardStreams() {
  // A missing disk or floppy is a failed open, not a dialog box that waits for a click.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  for (int handle = 0; handle < 3; ++handle) ::_setmode(handle, _O_BINARY);
}

bool AloneOnConsole() {
  DWORD processes[2];
  return ::GetConsoleProcessList(processes, 2) == 1;
}

}  // namespace lumera
