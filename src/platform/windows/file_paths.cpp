// Wide-character Win32 calls throughout: the byte-string forms stop at
// MAX_PATH, while the library keeps and uses paths of any length.
#include "platform/windows/file_paths.h"

#include <cwchar>
#include <fcntl.h>
#include <io.h>

namespace windows_files {
namespace {

bool ToWide(const char *text, std::wstring &wide) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) {
    return false;
  }
  wide.assign(static_cast<std::size_t>(length), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length) != length) {
    return false;
  }
  wide.resize(static_cast<std::size_t>(length - 1));
  return true;
}

bool StartsWith(const std::wstring &text, const wchar_t *prefix) {
  return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

bool ToLongCapable(std::wstring &path, std::size_t threshold) {
  if (path.size() < threshold || StartsWith(path, L"\\\\?\\")) {
    return true;
  }
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    return false;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    return false;
  }
  full.resize(length);
  if (StartsWith(full, L"\\\\.\\")) {
    path = full; // a device: it has no long form
  } else if (StartsWith(full, L"\\\\")) {
    path = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    path = L"\\\\?\\" + full;
  }
  return true;
}

} // namespace

bool IsPassingError(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

bool ToFilePath(const char *path, std::wstring &wide, std::size_t longThreshold) {
  return ToWide(path, wide) && ToLongCapable(wide, longThreshold);
}

std::wstring DirectoryPrefix(const std::wstring &path) {
  const std::size_t separator = path.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::FILE *StreamFromHandle(HANDLE handle, int flags, const char *mode) {
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  std::FILE *stream = _fdopen(descriptor, mode);
  if (stream == nullptr) {
    _close(descriptor);
  }
  return stream;
}

} // namespace windows_files
