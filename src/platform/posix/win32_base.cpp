#include "platform/posix/win32_base.h"

#include <cerrno>
#include <ctime>
#include <dlfcn.h>
#include <unistd.h>

namespace {
thread_local DWORD lastError = 0;

int FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}
} // namespace

void Sleep(DWORD milliseconds) {
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
  }
}

DWORD GetLastError() {
  return lastError;
}

void SetLastError(DWORD error) {
  lastError = error;
}

// Only the ASCII letters fold, as in the "C" locale on Windows.
int _stricmp(const char *left, const char *right) {
  const auto *l = reinterpret_cast<const unsigned char *>(left);
  const auto *r = reinterpret_cast<const unsigned char *>(right);
  while (true) {
    int difference = FoldAscii(*l) - FoldAscii(*r);
    if (difference != 0 || *l == 0) {
      return difference;
    }
    ++l;
    ++r;
  }
}

int _access(const char *path, int mode) {
  return access(path, mode);
}

HMODULE LoadLibraryA(LPCSTR fileName) {
  return static_cast<HMODULE>(dlopen(fileName, RTLD_NOW | RTLD_LOCAL));
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  return reinterpret_cast<FARPROC>(dlsym(module, procName));
}

BOOL FreeLibrary(HMODULE module) {
  return dlclose(module) == 0 ? TRUE : FALSE;
}
