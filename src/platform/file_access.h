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

#include <cstddef>
#include <cstdio>

enum class ReadOpenResult {
  Opened,      // *stream is a binary read stream; the caller closes it
  Missing,     // nothing exists at the path
  NotRegular,  // a directory, device, FIFO, ...: never read, never waited for
  Unavailable, // held by another process for now: worth another attempt
  Refused,     // cannot be opened, and waiting would not change that
};

ReadOpenResult OpenRegularFileForReading(const char *path, std::FILE **stream);

// Reads up to size bytes of an opened file into buffer: the count read, 0 at
// its end. *failed becomes true when the file could not be read.
std::size_t ReadFileBlock(std::FILE *stream, void *buffer, std::size_t size, bool *failed);

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
// contents with WriteFileReplacement, in blocks (false when a block could not
// be written whole), calls FinishFileReplacementWrite (flush to disk and
// close; false if any of it or any write failed), then CommitFileReplacement
// (puts the temporary file in the target's place in one step, keeping the
// target's permissions, and then the folder's new entry on the disk; false
// if it could not), and always EndFileReplacement, which removes the
// temporary file unless it was committed. A commit also removes the
// temporary files of the same target that writers which are gone (killed,
// crashed) left behind.
//
// On failure, *retryable (when given) tells whether another attempt may
// succeed later; a commit that failed that way may be tried again. A commit
// whose folder could not be put on the disk has replaced the target all the
// same: it answers false (the new contents may not survive a crash), not
// retryable.
//
// The temporary file's longer path never makes a replacement fail where the
// target itself could be written: Linux forms no path longer than the
// target's own, Windows uses the long \\?\ form.
struct FileReplacement;

FileReplacement *BeginFileReplacement(const char *path, bool *retryable = nullptr);
bool WriteFileReplacement(FileReplacement *replacement, const void *bytes, std::size_t size);
bool FinishFileReplacementWrite(FileReplacement *replacement);
bool CommitFileReplacement(FileReplacement *replacement, bool *retryable = nullptr);
void EndFileReplacement(FileReplacement *replacement);

// The size in bytes that the file system reports now for the file open on
// stream (fstat, GetFileSizeEx); false when it cannot tell. The file may
// still grow or shrink before it is read, so a reader reads on to its end.
bool OpenFileSize(std::FILE *stream, unsigned long long *size);

// Test-only: a function that OpenFileSize calls with the stream each time it
// has answered, so that a test can change the file between the size and the
// read; null (the default) for none.
using FileSizeProbe = void (*)(std::FILE *stream);
void SetFileSizeProbe(FileSizeProbe probe);
