#include "platform/posix/temporary_files.h"

#include "platform/temporary_names.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace posix_files {
namespace {

constexpr int NameAttempts = 100;
// A temporary file that has not been written for this long has lost its
// writer, where locks cannot tell.
constexpr std::time_t StaleAfterSeconds = 10 * 60;

std::string PrefixOf(const std::string &targetName) {
  return temporary_names::Prefix(targetName, NAME_MAX);
}

// Unpredictable, so that nobody can plant the temporary file in advance;
// O_EXCL makes a collision harmless all the same.
std::string RandomName(const std::string &prefix) {
  std::uint64_t value = 0;
  if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    value =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(getpid()) << 32);
  }
  std::string name = prefix + std::string(temporary_names::RandomDigits, '0') + ".tmp";
  for (std::size_t i = prefix.size() + temporary_names::RandomDigits; i-- > prefix.size();) {
    name[i] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  }
  return name;
}

// Where flock is not supported, files stay unlocked and their age decides.
bool LocksCannotTell(int error) {
  return error == ENOLCK || error == EOPNOTSUPP || error == EINVAL || error == ENOSYS;
}

int TryLock(int descriptor) {
  while (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EINTR) {
      return errno;
    }
  }
  return 0;
}

std::string DescriptorLink(int descriptor) {
  return "/proc/self/fd/" + std::to_string(descriptor);
}

// An unnamed file is of use only if it can be given a name at the end.
bool CanBeNamedLater(int descriptor, struct stat &own) {
  struct stat linked {};
  return fstat(descriptor, &own) == 0 && stat(DescriptorLink(descriptor).c_str(), &linked) == 0 &&
         own.st_ino == linked.st_ino && own.st_dev == linked.st_dev;
}

int CreateUnnamed(int folder, TemporaryFile &file) {
  const int descriptor = openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    return errno;
  }
  if (!CanBeNamedLater(descriptor, file.status)) {
    close(descriptor);
    return EOPNOTSUPP;
  }
  // Nobody else can open it before it has a name; the lock guards that name.
  TryLock(descriptor);
  file.descriptor = descriptor;
  file.name.clear();
  return 0;
}

// Locked at once: a write-back cleaning up may have taken the new file for
// stale in the moment before, and removed it; then it has no link left.
bool LockedAndStillLinked(int descriptor, struct stat &status) {
  const int error = TryLock(descriptor);
  return (error == 0 || LocksCannotTell(error)) && fstat(descriptor, &status) == 0 &&
         status.st_nlink > 0;
}

int CreateNamed(int folder, const std::string &targetName, TemporaryFile &file) {
  const std::string prefix = PrefixOf(targetName);
  for (int attempt = 0; attempt < NameAttempts; ++attempt) {
    const std::string name = RandomName(prefix);
    const int descriptor =
        openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0 && errno != EEXIST) {
      return errno;
    }
    if (descriptor < 0) {
      continue;
    }
    if (LockedAndStillLinked(descriptor, file.status)) {
      file.descriptor = descriptor;
      file.name = name;
      return 0;
    }
    close(descriptor);
  }
  return EEXIST;
}

int LinkInto(int folder, const std::string &name, int descriptor) {
  if (linkat(AT_FDCWD, DescriptorLink(descriptor).c_str(), folder, name.c_str(),
             AT_SYMLINK_FOLLOW) == 0 ||
      (errno == ENOENT && linkat(descriptor, "", folder, name.c_str(), AT_EMPTY_PATH) == 0)) {
    return 0;
  }
  return errno;
}

bool OlderThanStaleAge(const struct stat &status) {
  return std::time(nullptr) - status.st_mtime > StaleAfterSeconds;
}

void RemoveIfStale(int folder, const std::string &name) {
  const int descriptor =
      openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    // Not ours to open (another user's, or no read permission): its age
    // has to tell.
    struct stat status {};
    if (errno != ENOENT && fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(status.st_mode) && OlderThanStaleAge(status)) {
      unlinkat(folder, name.c_str(), 0);
    }
    return;
  }
  struct stat status {};
  if (fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode)) {
    // Removed while the lock is held, so that a writer that locks it
    // afterwards finds it unlinked.
    const int error = TryLock(descriptor);
    if (error == 0 || (LocksCannotTell(error) && OlderThanStaleAge(status))) {
      unlinkat(folder, name.c_str(), 0);
    }
  }
  close(descriptor);
}

// The folder's entries, read through its descriptor in blocks (one call
// each, where opening it anew to list it would take five).
std::vector<std::string> TemporaryNamesIn(int folder, const std::string &prefix) {
  std::vector<std::string> names;
  alignas(dirent64) char block[32768];
  while (true) {
    const ssize_t filled = getdents64(folder, block, sizeof block);
    if (filled <= 0) {
      return names; // the end, or a folder that cannot be listed
    }
    for (ssize_t at = 0; at < filled;) {
      const auto *entry = reinterpret_cast<const dirent64 *>(block + at);
      const std::string name = entry->d_name;
      if (temporary_names::IsTemporaryName(name, prefix)) {
        names.push_back(name);
      }
      at += entry->d_reclen;
    }
  }
}

} // namespace

bool IsPassingError(int error) {
  return error == EAGAIN || error == EBUSY || error == ETXTBSY || error == EINTR;
}

int CreateTemporaryFile(int folder, const std::string &targetName, bool unnamedAllowed,
                        TemporaryFile &file) {
  if (unnamedAllowed && CreateUnnamed(folder, file) == 0) {
    return 0;
  }
  // Refused for an unnamed file (an older kernel or a file system without
  // them), a named one may still be allowed; if not, its error tells why.
  return CreateNamed(folder, targetName, file);
}

int NameTemporaryFile(int folder, const std::string &targetName, TemporaryFile &file) {
  const std::string prefix = PrefixOf(targetName);
  for (int attempt = 0; attempt < NameAttempts; ++attempt) {
    const std::string name = RandomName(prefix);
    const int error = LinkInto(folder, name, file.descriptor);
    if (error == 0) {
      file.name = name;
      return 0;
    }
    if (error != EEXIST) {
      return error;
    }
  }
  return EEXIST;
}

void RemoveStaleTemporaryFiles(int folder, const std::string &targetName) {
  for (const std::string &name : TemporaryNamesIn(folder, PrefixOf(targetName))) {
    RemoveIfStale(folder, name);
  }
}

} // namespace posix_files
