#include <windows.h>

#include <atomic>
#include <optional>
#include <random>

#include "platform/exceptions.h"
#include "platform/input_file.h"
#include "platform/output_file.h"
#include "platform/standard_streams.h"
#include "platform/output_sink.h"
#include "platform/system_handle.h"
#include "platform/windows_text.h"

namespace lumera {

namespace {

HANDLE Native(TSystemHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

int LastError() {
  return static_cast<int>(::GetLastError());
}

// path opened for no more than its attributes: no other opener's share mode stands in the
// way, and a folder opens too.
TOwnedHandle OpenForQuery(const std::wstring& path) {
  return TOwnedHandle(reinterpret_cast<TSystemHandle>(
      ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

// What identifies a file on Windows: the volume and the file's index on it.
struct TFileIdentity {
  DWORD Volume;
  DWORD IndexHigh;
  DWORD IndexLow;
  bool Regular;  // a file on a disk, not a folder, a pipe or a device
  FILETIME LastWrite;
};

std::optional<TFileIdentity> IdentityOf(const std::string& path, TStandardStream standard) {
  const TOwnedHandle opened(path == kStandardStream ? StandardHandle(standard)
                                                    : OpenForQuery(Widen(path)).Release());
  BY_HANDLE_FILE_INFORMATION info{};
  if (!opened.IsOpen() || ::GetFileType(Native(opened.Get())) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(Native(opened.Get()), &info)) {
    return std::nullopt;
  }
  return TFileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow,
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0,
                       info.ftLastWriteTime};
}

// How messages name an output.
std::string NameOf(const std::string& path) {
  return path == kStandardStream ? kStandardOutputName : path;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t end = path.find_last_of(L"\\/:");
  return end == std::wstring::npos ? std::wstring() : path.substr(0, end + 1);
}

// The temporary file being written, for the handler of Ctrl-C and Ctrl-Break, which runs
// on a thread of its own, so that an interrupted run leaves no partial file either.
wchar_t gPendingPath[32768];
std::atomic<bool> gPending = false;

BOOL WINAPI RemovePending(DWORD) {
  if (gPending.exchange(false)) ::DeleteFileW(gPendingPath);
  return FALSE;  // the next handler, in the end the system's, ends the process
}

void SetPending(const std::wstring& path) {
  static const bool guarded = ::SetConsoleCtrlHandler(RemovePending, TRUE) != 0;
  (void)guarded;
  gPending = false;
  if (path.empty() || path.size() >= std::size(gPendingPath)) return;
  path.copy(gPendingPath, path.size());
  gPendingPath[path.size()] = L'\0';
  gPending = true;
}

}  // namespace

struct TOutputFile::TState : TOutputSink {
  std::wstring Target;
  std::wstring Temporary;  // empty when writing directly or once renamed
  TOwnedHandle TargetHandle;  // an existing target, held until it is replaced
  std::optional<FILETIME> Time;  // the input's last write, to take at Commit

  void OpenDirect(const std::wstring& target) {
    Handle.Reset(reinterpret_cast<TSystemHandle>(
        ::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!Handle.IsOpen()) Fail("cannot open the output", LastError());
  }

  // The target is held with sharing denied until the rename. The temporary file lies in
  // the target's own folder, so that the rename stays on one volume.
  void OpenTemporary() {
    TargetHandle.Reset(reinterpret_cast<TSystemHandle>(
        ::CreateFileW(Target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!TargetHandle.IsOpen() && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
      Fail("cannot replace the output", LastError());
    }
    const std::wstring base = Target.substr(FolderOf(Target).size());
    std::random_device random;
    for (;;) {
      const std::wstring candidate =
          FolderOf(Target) + L"." + base + L"." + std::to_wstring(random() % 1000000);
      Handle.Reset(reinterpret_cast<TSystemHandle>(
          ::CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)));
      if (Handle.IsOpen()) {
        Temporary = candidate;
        SetPending(Temporary);
        return;
      }
      if (::GetLastError() != ERROR_FILE_EXISTS) Fail("cannot create the output", LastError());
    }
  }
};

void CheckOutputTarget(const std::vector<std::string>& inputs, const std::string& output,
                       bool force) {
  const std::optional<TFileIdentity> out = IdentityOf(output, TStandardStream::Output);
  if (!out || !out->Regular) return;
  for (const std::string& input : inputs) {
    const std::optional<TFileIdentity> in = IdentityOf(input, TStandardStream::Input);
    if (in && in->Volume == out->Volume && in->IndexHigh == out->IndexHigh &&
        in->IndexLow == out->IndexLow) {
      throw Exception(NameOf(output) + ": input and output are the same file");
    }
  }
  if (!force && output != kStandardStream) {
    throw Exception(output + ": already exists; use -f to overwrite");
  }
}

// A symbolic link is replaced by its final target's full path; anything else stays.
std::string FollowLinks(const std::string& path) {
  const std::wstring wide = Widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return path;
  }
  const TOwnedHandle link = OpenForQuery(wide);
  std::wstring final(32768, L'\0');
  const DWORD length = link.IsOpen() ? ::GetFinalPathNameByHandleW(
                                           Native(link.Get()), final.data(),
                                           static_cast<DWORD>(final.size()), FILE_NAME_NORMALIZED)
                                     : 0;
  if (length == 0 || length >= final.size()) {
    throw Exception(path + ": cannot write the output (" + SystemErrorText(LastError()) + ")");
  }
  final.resize(length);
  return Narrow(final);
}

// Anything that is not a file on a disk (NUL, CON, a named pipe) is opened as it is.
TOutputFile::TOutputFile(const std::string& path, const TOutputOrigin& origin)
    : F(std::make_unique<TState>()) {
  F->Name = NameOf(path);
  if (path == kStandardStream) {
    F->Handle.Reset(StandardHandle(TStandardStream::Output));
    return;
  }
  const std::wstring wide = Widen(path);
  const TOwnedHandle existing = OpenForQuery(wide);
  if (existing.IsOpen() && ::GetFileType(Native(existing.Get())) != FILE_TYPE_DISK) {
    F->OpenDirect(wide);
    return;
  }
  F->Target = Widen(FollowLinks(path));
  F->OpenTemporary();
  if (origin.Derivation != TDerivation::Converted || origin.Input.empty()) return;
  if (const auto from = IdentityOf(origin.Input, TStandardStream::Input); from && from->Regular) {
    F->Time = from->LastWrite;
  }
}

TOutputFile::~TOutputFile() {
  SetPending({});
  F->Handle.Close();
  if (!F->Temporary.empty()) ::DeleteFileW(F->Temporary.c_str());
}

TOutputSink& TOutputFile::Sink() const {
  return *F;
}

// A read at an offset still moves the file position of a handle opened for synchronous
// use, so the position is put back at the end for the next write.
std::optional<std::vector<uint8_t>> TOutputFile::ReadBack() const {
  if (F->Temporary.empty()) return std::nullopt;
  std::vector<uint8_t> bytes;
  constexpr DWORD kChunk = 1 << 16;
  for (;;) {
    const size_t had = bytes.size();
    bytes.resize(had + kChunk);
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(had);
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(had) >> 32);
    DWORD got = 0;
    const bool read = ::ReadFile(Native(F->Handle.Get()), bytes.data() + had, kChunk, &got, &at);
    const DWORD error = read ? 0 : ::GetLastError();
    bytes.resize(had + got);
    if (error != 0 && error != ERROR_HANDLE_EOF) {
      F->Fail("cannot read the output back", static_cast<int>(error));
    }
    if (got == 0) break;
  }
  LARGE_INTEGER end{};
  ::SetFilePointerEx(Native(F->Handle.Get()), end, nullptr, FILE_END);
  return bytes;
}

// The target is let go only now, as the rename needs it closed.
void TOutputFile::Commit() {
  if (F->Temporary.empty()) return;
  if (F->Time && !::SetFileTime(Native(F->Handle.Get()), nullptr, nullptr, &*F->Time)) {
    F->Fail("cannot set the output's time", LastError());
  }
  F->Handle.Close();
  F->TargetHandle.Close();
  if (!::MoveFileExW(F->Temporary.c_str(), F->Target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    F->Fail("cannot replace the output", LastError());
  }
  SetPending({});
  F->Temporary.clear();
}

}  // namespace lumera
