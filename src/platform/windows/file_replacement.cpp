// Replacing a profile file on Windows. Every path here is in its absolute
// \\?\ form, so that the temporary file beside a target near MAX_PATH works
// as the target does. A temporary file is held open from its creation until
// it is moved or removed: that open handle tells other write-backs that its
// writer is still there.
#define _CRT_RAND_S
#include "platform/file_access.h"

#include "platform/temporary_names.h"
#include "platform/windows/fault_errors.h"
#include "platform/windows/file_paths.h"

#include <cstdlib>
#include <vector>

using windows_files::ShareAll;

namespace {

// What a replaced file keeps of its attributes. A read-only target is not
// replaced at all, as it could not be opened for writing either.
constexpr DWORD KeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The longest name of one path component.
constexpr std::size_t MaximumNameLength = 255;
constexpr int NameAttempts = 100;

void Tell(bool *retryable, DWORD error) {
  if (retryable != nullptr) {
    *retryable = windows_files::IsPassingError(error);
  }
}

// Follows a symbolic link (a reparse point) to the file it names, so that the
// link stays and its target is rewritten.
DWORD ResolveTarget(std::wstring &path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return ERROR_SUCCESS;
  }
  HANDLE handle = CreateFileW(path.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return GetLastError();
  }
  const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, flags);
  std::wstring final(needed, L'\0');
  const DWORD length =
      needed == 0 ? 0 : GetFinalPathNameByHandleW(handle, final.data(), needed, flags);
  const DWORD error = GetLastError();
  CloseHandle(handle);
  if (length == 0 || length >= needed) {
    return length == 0 && error != ERROR_SUCCESS ? error : ERROR_INVALID_NAME;
  }
  final.resize(length);
  path = final;
  return ERROR_SUCCESS;
}

std::wstring RandomDigits() {
  std::wstring text(temporary_names::RandomDigits, L'0');
  for (std::size_t half = 0; half < 2; ++half) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) {
      value = GetTickCount() ^ (GetCurrentProcessId() << 16);
    }
    for (std::size_t i = 8; i-- > 0;) {
      text[half * 8 + i] = L"0123456789abcdef"[value & 0xF];
      value >>= 4;
    }
  }
  return text;
}

std::wstring Lowered(std::wstring text) {
  if (!text.empty()) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  }
  return text;
}

// Opened exclusively, it is held by nobody, so its writer is gone; closing
// the handle removes it.
void RemoveStaleTemporaryFiles(const std::wstring &folder, const std::wstring &prefix) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + prefix + L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return;
  }
  // Names compare as the file system compares them, without letter case.
  const std::wstring loweredPrefix = Lowered(prefix);
  std::vector<std::wstring> names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        temporary_names::IsTemporaryName(Lowered(found.cFileName), loweredPrefix)) {
      names.push_back(found.cFileName);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (const std::wstring &name : names) {
    HANDLE stale = CreateFileW((folder + name).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (stale != INVALID_HANDLE_VALUE) {
      CloseHandle(stale);
    }
  }
}

} // namespace

struct FileReplacement {
  std::wstring target;
  std::wstring folder; // with its trailing separator
  std::wstring prefix; // what the target's temporary names start with
  std::wstring temporary;
  // Open on the temporary file until it is moved or removed: the writing
  // handle closes before the move, and a file nobody holds counts as stale.
  HANDLE holder = INVALID_HANDLE_VALUE;
  HANDLE writer = INVALID_HANDLE_VALUE;
  bool failed = false; // a write went wrong
  bool committed = false;
};

namespace {

// Shares reading only while it is written, and deletion only through the
// holder, which the final move needs.
DWORD CreateTemporary(FileReplacement &replacement, HANDLE &handle) {
  if (const auto fault = InjectedFault(FaultKind::Open)) {
    return windows_faults::Win32ErrorOf(*fault);
  }
  for (int attempt = 0; attempt < NameAttempts; ++attempt) {
    const std::wstring name = replacement.folder + replacement.prefix + RandomDigits() + L".tmp";
    handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      replacement.temporary = name;
      return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS) {
      return error;
    }
  }
  return ERROR_FILE_EXISTS;
}

DWORD LocateTarget(const char *path, FileReplacement &replacement) {
  if (!windows_files::ToFilePath(path, replacement.target, 0)) {
    return ERROR_INVALID_NAME;
  }
  const DWORD error = ResolveTarget(replacement.target);
  if (error != ERROR_SUCCESS) {
    return error;
  }
  const DWORD attributes = GetFileAttributesW(replacement.target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return ERROR_DIRECTORY;
  }
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return ERROR_FILE_READ_ONLY;
  }
  replacement.folder = windows_files::DirectoryPrefix(replacement.target);
  const std::wstring name = replacement.target.substr(replacement.folder.size());
  if (name.empty()) {
    return ERROR_INVALID_NAME;
  }
  replacement.prefix = temporary_names::Prefix(name, MaximumNameLength);
  return ERROR_SUCCESS;
}

DWORD PrepareReplacement(const char *path, FileReplacement &replacement) {
  DWORD error = LocateTarget(path, replacement);
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (error == ERROR_SUCCESS) {
    error = CreateTemporary(replacement, handle);
  }
  if (error != ERROR_SUCCESS) {
    return error;
  }
  replacement.holder = CreateFileW(replacement.temporary.c_str(), GENERIC_READ, ShareAll, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (replacement.holder == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    CloseHandle(handle);
    return error;
  }
  replacement.writer = handle;
  return ERROR_SUCCESS;
}

DWORD WriteAll(HANDLE handle, const char *bytes, std::size_t size) {
  while (size > 0) {
    const DWORD block = size < 0x40000000 ? static_cast<DWORD>(size) : 0x40000000;
    DWORD written = 0;
    if (!WriteFile(handle, bytes, block, &written, nullptr)) {
      return GetLastError();
    }
    if (written == 0) {
      return ERROR_WRITE_FAULT;
    }
    bytes += written;
    size -= written;
  }
  return ERROR_SUCCESS;
}

DWORD FlushFile(HANDLE handle) {
  if (const auto fault = InjectedFault(FaultKind::Flush)) {
    return windows_faults::Win32ErrorOf(*fault);
  }
  return FlushFileBuffers(handle) ? ERROR_SUCCESS : GetLastError();
}

// The handle is gone whatever CloseHandle answers.
DWORD CloseFile(HANDLE handle) {
  const DWORD error = CloseHandle(handle) ? ERROR_SUCCESS : GetLastError();
  const auto fault = InjectedFault(FaultKind::Close);
  return fault ? windows_faults::Win32ErrorOf(*fault) : error;
}

DWORD MoveIntoPlace(const FileReplacement &replacement) {
  if (const auto fault = InjectedFault(FaultKind::Replace)) {
    return windows_faults::Win32ErrorOf(*fault);
  }
  return MoveFileExW(replacement.temporary.c_str(), replacement.target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? ERROR_SUCCESS
             : GetLastError();
}

} // namespace

FileReplacement *BeginFileReplacement(const char *path, bool *retryable) {
  auto *replacement = new FileReplacement;
  const DWORD error = PrepareReplacement(path, *replacement);
  Tell(retryable, error);
  if (error != ERROR_SUCCESS) {
    EndFileReplacement(replacement);
    return nullptr;
  }
  return replacement;
}

bool WriteFileReplacement(FileReplacement *replacement, const void *bytes, std::size_t size) {
  if (replacement->writer == INVALID_HANDLE_VALUE || replacement->failed) {
    return false;
  }
  const auto fault = InjectedFault(FaultKind::Write);
  const DWORD error = fault ? windows_faults::Win32ErrorOf(*fault)
                            : WriteAll(replacement->writer, static_cast<const char *>(bytes), size);
  replacement->failed = error != ERROR_SUCCESS;
  return error == ERROR_SUCCESS;
}

bool FinishFileReplacementWrite(FileReplacement *replacement) {
  const HANDLE writer = replacement->writer;
  replacement->writer = INVALID_HANDLE_VALUE;
  if (writer == INVALID_HANDLE_VALUE) {
    return false;
  }
  const bool flushed = FlushFile(writer) == ERROR_SUCCESS;
  const bool closed = CloseFile(writer) == ERROR_SUCCESS;
  return flushed && closed && !replacement->failed;
}

bool CommitFileReplacement(FileReplacement *replacement, bool *retryable) {
  Tell(retryable, ERROR_SUCCESS);
  if (replacement->writer != INVALID_HANDLE_VALUE || replacement->failed ||
      replacement->committed) {
    return false;
  }
  const DWORD attributes = GetFileAttributesW(replacement->target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & KeptAttributes) != 0) {
    SetFileAttributesW(replacement->temporary.c_str(), attributes & KeptAttributes);
  }
  // Written through: the move is on the disk, folder entry and all, when it returns.
  const DWORD error = MoveIntoPlace(*replacement);
  if (error != ERROR_SUCCESS) {
    Tell(retryable, error);
    return false;
  }
  replacement->committed = true;
  // The holder now holds the target itself, and while any handle is open on
  // a file Wine refuses to replace it: let go before sweeping the folder, so
  // that another process's write-back is not kept waiting meanwhile.
  CloseHandle(replacement->holder);
  replacement->holder = INVALID_HANDLE_VALUE;
  RemoveStaleTemporaryFiles(replacement->folder, replacement->prefix);
  return true;
}

void EndFileReplacement(FileReplacement *replacement) {
  if (replacement->writer != INVALID_HANDLE_VALUE) {
    CloseHandle(replacement->writer);
  }
  // Removed while still held, so that nobody takes it for stale meanwhile.
  if (!replacement->committed && !replacement->temporary.empty()) {
    SetFileAttributesW(replacement->temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(replacement->temporary.c_str());
  }
  if (replacement->holder != INVALID_HANDLE_VALUE) {
    CloseHandle(replacement->holder);
  }
  delete replacement;
}

void AllowUnnamedTemporaryFiles(bool) {}
