// File access that Win32 and posix spell too differently to share one set of
// names: reading only regular files, comparing paths as the file system
// does, and replacing a file whole through a temporary file beside it, so
// that a failed write never leaves a truncated or half-written file.
//
// Failures tell whether another attempt could succeed: only what another
// process can cause and end (a file held or locked, a busy file system, an
// interrupted call) is worth waiting for; anything else (a missing folder, a
// link loop, no permission, a name the file system rejects) stays as it is.
#pragma once

#include <cstdio>

enum class ReadOpenResult {
  Opened,      // *stream is a binary read stream; the caller closes it
  Missing,     // nothing exists at the path
  NotRegular,  // a directory, device, FIFO, ...: never read, never waited for
  Unavailable, // held by another process for now: worth another attempt
  Refused,     // cannot be opened, and waiting would not change that
};

ReadOpenResult OpenRegularFileForReading(const char *path, std::FILE **stream);

// 0 when both paths are the same text under the file system's case rules:
// ASCII letters fold on Windows, nothing folds on Linux.
int CompareFilePaths(const char *left, const char *right);

// Test-only: false makes every later file replacement (below) use a named
// temporary file from the start, as where the file system has no unnamed
// files (always so on Windows).
void AllowUnnamedTemporaryFiles(bool allowed);

// One replacement of a file: BeginFileReplacement follows a symbolic link at
// path to the file it names, and creates a new temporary file exclusively in
// that file's directory; null when it cannot. The caller writes the new
// contents to FileReplacementStream, calls FinishFileReplacementWrite
// (flush to disk and close; false if any of it failed), then
// CommitFileReplacement (puts the temporary file in the target's place in one
// step, keeping the target's permissions; false if it could not), and always
// EndFileReplacement, which removes the temporary file unless it was
// committed. A commit also removes the temporary files of the same target
// that writers which are gone (killed, crashed) left behind.
//
// On failure, *retryable (when given) tells whether another attempt may
// succeed later; a commit that failed that way may be tried again.
//
// The temporary file's longer path never makes a replacement fail where the
// target itself could be written: Linux forms no path longer than the
// target's own, Windows uses the long \\?\ form.
struct FileReplacement;

FileReplacement *BeginFileReplacement(const char *path, bool *retryable = nullptr);
std::FILE *FileReplacementStream(FileReplacement *replacement);
bool FinishFileReplacementWrite(FileReplacement *replacement);
bool CommitFileReplacement(FileReplacement *replacement, bool *retryable = nullptr);
void EndFileReplacement(FileReplacement *replacement);
