// Replacing a profile file on Linux: every name is taken relative to an open
// descriptor of the target's folder, so that a path near the system's limit
// works as long as the target's own does; the new contents go to an unnamed
// file where the file system allows it, named only for the final rename.
#include "platform/file_access.h"

#include "platform/posix/fault_errors.h"
#include "platform/posix/temporary_files.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Link chains longer than this are taken for loops, as the kernel does.
constexpr int MaximumLinkHops = 40;

bool unnamedTemporaryFilesAllowed = true;

void Tell(bool *retryable, int error) {
  if (retryable != nullptr) {
    *retryable = posix_files::IsPassingError(error);
  }
}

// Opens the folder part of path (relative to base) in place of *folder and
// leaves the last component in name.
int OpenFolderOf(int base, const std::string &path, int *folder, std::string &name) {
  const std::size_t slash = path.rfind('/');
  name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) {
    return EISDIR;
  }
  const std::string directory = slash == std::string::npos ? "."
                                : slash == 0               ? "/"
                                                           : path.substr(0, slash);
  int descriptor = openat(base, directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0 && errno == EACCES) {
    // A folder that may be written but not listed still takes the file.
    descriptor = openat(base, directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  if (descriptor < 0) {
    return errno;
  }
  if (*folder >= 0) {
    close(*folder);
  }
  *folder = descriptor;
  return 0;
}

int ReadLinkAt(int folder, const std::string &name, std::string &target) {
  std::string buffer(256, '\0');
  while (true) {
    const ssize_t length = readlinkat(folder, name.c_str(), buffer.data(), buffer.size());
    if (length < 0) {
      return errno;
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(length));
      return target.empty() ? ENOENT : 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Follows symbolic links at the last component, so that the link stays and
// the file it names is rewritten. A target that does not exist yet is fine;
// exists and status tell what the name found is.
int LocateTarget(const char *path, int *folder, std::string &name, struct stat &status,
                 bool &exists) {
  exists = false;
  int error = OpenFolderOf(AT_FDCWD, path, folder, name);
  for (int hop = 0; error == 0; ++hop) {
    if (fstatat(*folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
      return errno == ENOENT ? 0 : errno;
    }
    if (!S_ISLNK(status.st_mode)) {
      exists = true;
      return 0;
    }
    if (hop == MaximumLinkHops) {
      return ELOOP;
    }
    std::string linked;
    error = ReadLinkAt(*folder, name, linked);
    if (error == 0) {
      error = OpenFolderOf(*folder, linked, folder, name);
    }
  }
  return error;
}

// A file its owner made read-only stays untouched, as it would if it were
// rewritten in place, even though its folder would allow the replacement.
int CheckTarget(int folder, const std::string &name, const struct stat &status, bool exists) {
  if (!exists) {
    return 0;
  }
  if (!S_ISREG(status.st_mode)) {
    return EISDIR;
  }
  return faccessat(folder, name.c_str(), W_OK, 0) == 0 ? 0 : errno;
}

// The replacement keeps the target's permission bits, and its owner and
// group as far as this process may give them away (root may; others keep
// theirs, which they can only have been writing as anyway). What the new
// file already has as the target has it is left alone.
int KeepOwnerAndPermissions(int descriptor, const struct stat &made, const struct stat &target) {
  if ((made.st_uid != target.st_uid || made.st_gid != target.st_gid) &&
      fchown(descriptor, target.st_uid, target.st_gid) != 0) {
    fchown(descriptor, static_cast<uid_t>(-1), target.st_gid);
  }
  if ((made.st_mode & 0777) == (target.st_mode & 0777)) {
    return 0;
  }
  return fchmod(descriptor, target.st_mode & 0777) == 0 ? 0 : errno;
}

} // namespace

struct FileReplacement {
  int folder = -1;  // the target's folder
  std::string name; // the target's name in it
  posix_files::TemporaryFile temporary;
  int writer = -1;     // a second descriptor: closing it keeps the file and its lock
  bool failed = false; // a write went wrong
  bool committed = false;
};

namespace {

int PrepareReplacement(const char *path, FileReplacement &replacement) {
  struct stat status {};
  bool exists = false;
  int error = LocateTarget(path, &replacement.folder, replacement.name, status, exists);
  if (error == 0) {
    error = CheckTarget(replacement.folder, replacement.name, status, exists);
  }
  if (error == 0) {
    const auto fault = InjectedFault(FaultKind::Open);
    error = fault ? posix_faults::ErrnoOf(*fault)
                  : posix_files::CreateTemporaryFile(replacement.folder, replacement.name,
                                                     unnamedTemporaryFilesAllowed,
                                                     replacement.temporary);
  }
  if (error == 0 && exists) {
    error = KeepOwnerAndPermissions(replacement.temporary.descriptor, replacement.temporary.status,
                                    status);
  }
  if (error != 0) {
    return error;
  }
  replacement.writer = fcntl(replacement.temporary.descriptor, F_DUPFD_CLOEXEC, 0);
  return replacement.writer < 0 ? errno : 0;
}

int WriteAll(int descriptor, const char *bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, bytes, size);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return written < 0 ? errno : EIO;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

int SyncFile(int descriptor) {
  if (const auto fault = InjectedFault(FaultKind::Flush)) {
    return posix_faults::ErrnoOf(*fault);
  }
  return fsync(descriptor) == 0 ? 0 : errno;
}

// The descriptor is gone whatever close answers; an error (EIO on a network
// file system) still means the contents may not have arrived.
int CloseFile(int descriptor) {
  const int error = close(descriptor) == 0 ? 0 : errno;
  const auto fault = InjectedFault(FaultKind::Close);
  return fault ? posix_faults::ErrnoOf(*fault) : error;
}

int RenameIntoPlace(const FileReplacement &replacement) {
  if (const auto fault = InjectedFault(FaultKind::Replace)) {
    return posix_faults::ErrnoOf(*fault);
  }
  return renameat(replacement.folder, replacement.temporary.name.c_str(), replacement.folder,
                  replacement.name.c_str()) == 0
             ? 0
             : errno;
}

// The new name is durable only once the folder is on disk as well. A folder
// opened only to be written in (O_PATH) cannot be synced, nor can folders on
// some file systems: neither is a failure.
int SyncFolder(int folder) {
  if (const auto fault = InjectedFault(FaultKind::FolderSync)) {
    return posix_faults::ErrnoOf(*fault);
  }
  if (fsync(folder) == 0 || errno == EBADF || errno == EINVAL) {
    return 0;
  }
  return errno;
}

} // namespace

FileReplacement *BeginFileReplacement(const char *path, bool *retryable) {
  auto *replacement = new FileReplacement;
  const int error = PrepareReplacement(path, *replacement);
  Tell(retryable, error);
  if (error != 0) {
    EndFileReplacement(replacement);
    return nullptr;
  }
  return replacement;
}

bool WriteFileReplacement(FileReplacement *replacement, const void *bytes, std::size_t size) {
  if (replacement->writer < 0 || replacement->failed) {
    return false;
  }
  const auto fault = InjectedFault(FaultKind::Write);
  const int error = fault ? posix_faults::ErrnoOf(*fault)
                          : WriteAll(replacement->writer, static_cast<const char *>(bytes), size);
  replacement->failed = error != 0;
  return error == 0;
}

bool FinishFileReplacementWrite(FileReplacement *replacement) {
  const int writer = replacement->writer;
  replacement->writer = -1;
  if (writer < 0) {
    return false;
  }
  const bool synced = SyncFile(writer) == 0;
  const bool closed = CloseFile(writer) == 0;
  return synced && closed && !replacement->failed;
}

bool CommitFileReplacement(FileReplacement *replacement, bool *retryable) {
  Tell(retryable, 0);
  if (replacement->writer >= 0 || replacement->failed || replacement->committed) {
    return false;
  }
  posix_files::TemporaryFile &temporary = replacement->temporary;
  int error = temporary.name.empty() ? posix_files::NameTemporaryFile(replacement->folder,
                                                                      replacement->name, temporary)
                                     : 0;
  if (error == 0) {
    error = RenameIntoPlace(*replacement);
  }
  if (error != 0) {
    Tell(retryable, error);
    return false;
  }
  replacement->committed = true;
  const bool durable = SyncFolder(replacement->folder) == 0;
  posix_files::RemoveStaleTemporaryFiles(replacement->folder, replacement->name);
  return durable;
}

void EndFileReplacement(FileReplacement *replacement) {
  if (replacement->writer >= 0) {
    close(replacement->writer);
  }
  // Removed while still locked, so that nobody takes it for stale meanwhile.
  const posix_files::TemporaryFile &temporary = replacement->temporary;
  if (!replacement->committed && !temporary.name.empty()) {
    unlinkat(replacement->folder, temporary.name.c_str(), 0);
  }
  if (temporary.descriptor >= 0) {
    close(temporary.descriptor);
  }
  if (replacement->folder >= 0) {
    close(replacement->folder);
  }
  delete replacement;
}

void AllowUnnamedTemporaryFiles(bool allowed) {
  unnamedTemporaryFilesAllowed = allowed;
}
