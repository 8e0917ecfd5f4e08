// A Windows program that prints its own IDR_LUMERA resource, read the way programs that
// carry a stream read it: FindResourceW, LoadResource, LockResource, SizeofResource.
// Standard output is switched to binary mode so that the bytes arrive unchanged.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

int main() {
  HRSRC found = FindResourceW(nullptr, L"IDR_LUMERA", MAKEINTRESOURCEW(10));
  if (found == nullptr) {
    fprintf(stderr, "FindResourceW failed: %lu\n", GetLastError());
    return 1;
  }
  HGLOBAL loaded = LoadResource(nullptr, found);
  const DWORD size = SizeofResource(nullptr, found);
  const void* bytes = loaded == nullptr ? nullptr : LockResource(loaded);
  if (bytes == nullptr || size == 0) {
    fprintf(stderr, "LoadResource failed: %lu\n", GetLastError());
    return 1;
  }
  _setmode(_fileno(stdout), _O_BINARY);
  return fwrite(bytes, 1, size, stdout) == size && fflush(stdout) == 0 ? 0 : 1;
}
