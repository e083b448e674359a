// File access that Win32 and posix spell too differently to share one set of
// names: reading only regular files, comparing paths as the file system
// does, and replacing a file whole through a temporary file beside it, so
// that a failed write never leaves a truncated or half-written file.
#pragma once

#include <cstdio>

enum class ReadOpenResult {
  Opened,      // *stream is a binary read stream; the caller closes it
  Missing,     // nothing exists at the path
  NotRegular,  // a directory, device, FIFO, ...: never read, never waited for
  Unavailable, // exists but cannot be opened now (held, no permission)
};

ReadOpenResult OpenRegularFileForReading(const char *path, std::FILE **stream);

// 0 when both paths are the same text under the file system's case rules:
// ASCII letters fold on Windows, nothing folds on Linux.
int CompareFilePaths(const char *left, const char *right);

// One replacement of a file: BeginFileReplacement follows a symbolic link at
// path to the file it names, and creates a new temporary file exclusively in
// that file's directory; null when it cannot. The caller writes the new
// contents to FileReplacementStream, calls FinishFileReplacementWrite
// (flush to disk and close; false if any of it failed), then
// CommitFileReplacement (puts the temporary file in the target's place in one
// step, keeping the target's permissions; false if it could not, and it may
// be tried again), and always EndFileReplacement, which removes the temporary
// file unless it was committed.
struct FileReplacement;

FileReplacement *BeginFileReplacement(const char *path);
std::FILE *FileReplacementStream(FileReplacement *replacement);
bool FinishFileReplacementWrite(FileReplacement *replacement);
bool CommitFileReplacement(FileReplacement *replacement);
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
