// A Windows program that prints its own IDR_LUMERA resource, read the way programs that
// carry a stream read it: FindResourceW, LoadResource, LockResource, SizeofResource. With
// a language number as its argument, FindResourceExW finds the resource in that language.
// Standard output is switched to binary mode so that the bytes arrive unchanged.
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
  const WORD language = argc > 1 ? static_cast<WORD>(strtoul(argv[1], nullptr, 10)) : 0;
  HRSRC found = argc > 1 ? FindResourceExW(nullptr, MAKEINTRESOURCEW(10), L"IDR_LUMERA", language)
                         : FindResourceW(nullptr, L"IDR_LUMERA", MAKEINTRESOURCEW(10));
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
