// What reading and replacing files on Windows share: wide paths that may
// exceed MAX_PATH, streams over handles, and which errors pass.
#pragma once

#include "platform/platform.h"

#include <cstdio>
#include <string>

namespace windows_files {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Errors that another process can cause and end: a file held or locked, or
// one being deleted or scanned. Every other error stays as it is.
bool IsPassingError(DWORD error);

// The path as wide text, in its absolute \\?\ form when it has longThreshold
// characters or more (0: always), since the short form stops at MAX_PATH.
bool ToFilePath(const char *path, std::wstring &wide, std::size_t longThreshold);

// Paths near MAX_PATH and beyond only work in their absolute \\?\ form.
constexpr std::size_t LongPathThreshold = MAX_PATH - 12;

// The directory part of path, with its trailing separator (or drive colon).
std::wstring DirectoryPrefix(const std::wstring &path);

// A C stream over handle (which it then owns); null, with the handle closed,
// when it cannot be made.
std::FILE *StreamFromHandle(HANDLE handle, int flags, const char *mode);

} // namespace windows_files
