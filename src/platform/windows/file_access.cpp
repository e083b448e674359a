// Reading profile files on Windows; replacing them is file_replacement.cpp.
#include "platform/file_access.h"

#include "platform/windows/fault_errors.h"
#include "platform/windows/file_paths.h"

#include <fcntl.h>
#include <io.h>

using windows_files::ShareAll;

namespace {

// Why a file could not be opened, told by its error and what is at the path.
ReadOpenResult FailedOpen(const std::wstring &path, DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
    return ReadOpenResult::Missing;
  }
  // A pipe whose instances are all taken, or a folder that may not be
  // listed, is no file held by another process: waiting would not help.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (error == ERROR_PIPE_BUSY ||
      (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)) {
    return ReadOpenResult::NotRegular;
  }
  // A name the file system rejects, a drive or server that is not there: no
  // other process ends these.
  return windows_files::IsPassingError(error) ? ReadOpenResult::Unavailable
                                              : ReadOpenResult::Refused;
}

} // namespace

ReadOpenResult OpenRegularFileForReading(const char *path, std::FILE **stream) {
  *stream = nullptr;
  std::wstring wide;
  if (!windows_files::ToFilePath(path, wide, windows_files::LongPathThreshold)) {
    return ReadOpenResult::Refused;
  }
  // Backup semantics let a directory open too, so that it is recognised and
  // refused at once instead of being retried.
  if (const auto fault = InjectedFault(FaultKind::Open)) {
    return FailedOpen(wide, windows_faults::Win32ErrorOf(*fault));
  }
  HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return FailedOpen(wide, GetLastError());
  }
  BY_HANDLE_FILE_INFORMATION information{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(handle);
    return ReadOpenResult::NotRegular;
  }
  *stream = windows_files::StreamFromHandle(handle, _O_RDONLY, "rb");
  return *stream != nullptr ? ReadOpenResult::Opened : ReadOpenResult::Refused;
}

int CompareFilePaths(const char *left, const char *right) {
  return _stricmp(left, right);
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
