// Wide-character Win32 calls throughout: the byte-string forms stop at
// MAX_PATH, while the library keeps and uses paths of any length.
#define _CRT_RAND_S
#include "platform/file_access.h"

#include "platform/platform.h"

#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <string>

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// What a replaced file keeps of its attributes. A read-only target is not
// replaced at all, as it could not be opened for writing either.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Paths near MAX_PATH and beyond only work in their absolute \\?\ form.
constexpr std::size_t LongPathThreshold = MAX_PATH - 12;

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

bool ToLongCapable(std::wstring &path) {
  if (path.size() < LongPathThreshold || StartsWith(path, L"\\\\?\\")) {
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
  if (StartsWith(full, L"\\\\")) {
    path = L"\\\\?\\UNC\\" + full.substr(2);
  } else {
    path = L"\\\\?\\" + full;
  }
  return true;
}

bool ToFilePath(const char *path, std::wstring &wide) {
  return ToWide(path, wide) && ToLongCapable(wide);
}

// The directory part of path, with its trailing separator (or drive colon).
std::wstring DirectoryPrefix(const std::wstring &path) {
  const std::size_t separator = path.find_last_of(L"\\/:");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

// Follows a symbolic link (a reparse point) to the file it names, so that the
// link stays and its target is rewritten.
bool ResolveTarget(std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return true;
  }
  HANDLE handle = CreateFileW(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
  std::wstring final(needed, L'\0');
  const DWORD length =
      needed == 0 ? 0 : GetFinalPathNameByHandleW(handle, final.data(), needed, flags);
  CloseHandle(handle);
  if (length == 0 || length >= needed) {
    return false;
  }
  final.resize(length);
  path = final;
  return true;
}

std::wstring RandomSuffix() {
  wchar_t text[17];
  for (int half = 0; half < 2; ++half) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) {
      value = GetTickCount() ^ (GetCurrentProcessId() << 16);
    }
    for (int i = 7; i >= 0; --i) {
      text[half * 8 + i] = L"0123456789abcdef"[value & 0xF];
      value >>= 4;
    }
  }
  text[16] = L'\0';
  return text;
}

HANDLE CreateExclusive(const std::wstring &directory, std::wstring &name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = directory + L"~profile-" + RandomSuffix() + L".tmp";
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) {
      return handle;
    }
  }
  return INVALID_HANDLE_VALUE;
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

} // namespace

struct FileReplacement {
  std::wstring target;
  std::wstring temporary;
  std::FILE *stream = nullptr;
  bool committed = false;
};

ReadOpenResult OpenRegularFileForReading(const char *path, std::FILE **stream) {
  *stream = nullptr;
  std::wstring wide;
  if (!ToFilePath(path, wide)) {
    return ReadOpenResult::Missing;
  }
  // Backup semantics let a directory open too, so that it is recognised and
  // refused at once instead of being retried.
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return ReadOpenResult::Missing;
    }
    // A pipe whose instances are all taken, or a folder that may not be
    // listed, is no file held by another process: waiting would not help.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (error == ERROR_PIPE_BUSY ||
        (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
      return ReadOpenResult::NotRegular;
    }
    return ReadOpenResult::Unavailable;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return ReadOpenResult::NotRegular;
  }
  *stream = StreamFromHandle(handle, _O_RDONLY, "rb");
  return *stream != nullptr ? ReadOpenResult::Opened : ReadOpenResult::Unavailable;
}

int CompareFilePaths(const char *left, const char *right) {
  return _stricmp(left, right);
}

FileReplacement *BeginFileReplacement(const char *path) {
  std::wstring target;
  if (!ToFilePath(path, target) || !ResolveTarget(target)) {
    return nullptr;
  }
  const DWORD attributes = GetFileAttributesW(target.c_str());
  const DWORD refused = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & refused) != 0) {
    return nullptr;
  }
  std::wstring temporary;
  HANDLE handle = CreateExclusive(DirectoryPrefix(target), temporary);
  if (handle == INVALID_HANDLE_VALUE) {
    return nullptr;
  }
  std::FILE *stream = StreamFromHandle(handle, _O_WRONLY, "wb");
  if (stream == nullptr) {
    DeleteFileW(temporary.c_str());
    return nullptr;
  }
  return new FileReplacement{target, temporary, stream, false};
}

std::FILE *FileReplacementStream(FileReplacement *replacement) {
  return replacement->stream;
}

bool FinishFileReplacementWrite(FileReplacement *replacement) {
  std::FILE *stream = replacement->stream;
  replacement->stream = nullptr;
  bool written = std::fflush(stream) == 0 && std::ferror(stream) == 0;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  written = FlushFileBuffers(handle) != 0 && written;
  return std::fclose(stream) == 0 && written;
}

bool CommitFileReplacement(FileReplacement *replacement) {
  if (replacement->stream != nullptr) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(replacement->target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & KeptAttributes) != 0) {
    SetFileAttributesW(replacement->temporary.c_str(), attributes & KeptAttributes);
  }
  if (!MoveFileExW(replacement->temporary.c_str(), replacement->target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  replacement->committed = true;
  return true;
}

void EndFileReplacement(FileReplacement *replacement) {
  if (replacement->stream != nullptr) {
    std::fclose(replacement->stream);
  }
  if (!replacement->committed) {
    SetFileAttributesW(replacement->temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(replacement->temporary.c_str());
  }
  delete replacement;
}

namespace {
FileSizeProbe fileSizeProbe = nullptr;
} // namespace

bool OpenFileSize(std::FILE *stream, unsigned long long *size) {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  LARGE_INTEGER length{};
  const bool known =
      handle != INVALID_HANDLE_VALUE && GetFileSizeEx(handle, &length) != 0 && length.QuadPart >= 0;
  *size = known ? static_cast<unsigned long long>(length.QuadPart) : 0;
  if (fileSizeProbe != nullptr) {
    fileSizeProbe(stream);
  }
  return known;
}

void SetFileSizeProbe(FileSizeProbe probe) {
  fileSizeProbe = probe;
}
