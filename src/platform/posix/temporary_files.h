// The temporary files of write-backs on Linux, all named relative to an open
// descriptor of the target's folder, so that no path longer than the
// target's own is formed.
#pragma once

#include <string>
#include <sys/stat.h>

namespace posix_files {

// Errors that another process can cause and end, so that another attempt
// may succeed: everything else stays as it is.
bool IsPassingError(int error);

struct TemporaryFile {
  int descriptor = -1;   // open for writing, and locked for as long as it is open
  std::string name;      // empty while the file has no name in the folder
  struct stat status {}; // as it was made: its owner, group and permission bits
};

// A new temporary file for the target called targetName in folder: unnamed
// where the file system allows it (so that nothing is left behind when the
// process dies), else named after the target and created exclusively.
// 0, or the errno value of the failure.
int CreateTemporaryFile(int folder, const std::string &targetName, bool unnamedAllowed,
                        TemporaryFile &file);

// Gives an unnamed temporary file its name, for the final rename.
int NameTemporaryFile(int folder, const std::string &targetName, TemporaryFile &file);

// Removes the temporary files of targetName whose writers are gone: no
// process holds a lock on them, or, where locks cannot tell, they have not
// been written for ten minutes. The folder is listed through the descriptor
// itself, which must not have been listed before (its position moves to the
// end); one opened only to be written in (O_PATH) is not listed.
void RemoveStaleTemporaryFiles(int folder, const std::string &targetName);

} // namespace posix_files
