#include "platform/file_access.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Link chains longer than this are taken for loops, as the kernel does.
constexpr int MaximumLinkHops = 40;

// The directory part of path, with its trailing slash; empty for a bare name.
std::string DirectoryPrefix(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool ReadLink(const std::string &path, std::string &target) {
  std::string buffer(256, '\0');
  while (true) {
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) {
      return false;
    }
    if (static_cast<std::size_t>(length) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(length));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Follows symbolic links at the last component, so that the link stays and
// the file it names is rewritten. A target that does not exist yet is fine.
bool ResolveTarget(const char *path, std::string &target) {
  target = path;
  for (int hop = 0; hop < MaximumLinkHops; ++hop) {
    struct stat status {};
    if (lstat(target.c_str(), &status) != 0) {
      return errno == ENOENT;
    }
    if (!S_ISLNK(status.st_mode)) {
      return true;
    }
    std::string linked;
    if (!ReadLink(target, linked) || linked.empty()) {
      return false;
    }
    target = linked[0] == '/' ? linked : DirectoryPrefix(target) + linked;
  }
  return false;
}

// Unpredictable, so that nobody can plant the temporary file in advance;
// O_EXCL makes a collision harmless all the same.
std::string RandomSuffix() {
  std::uint64_t value = 0;
  if (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value)) {
    value =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<std::uint64_t>(getpid()) << 32);
  }
  char text[17];
  for (int i = 15; i >= 0; --i) {
    text[i] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  }
  text[16] = '\0';
  return text;
}

int CreateExclusive(const std::string &directory, std::string &name) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = directory + ".profile-" + RandomSuffix() + ".tmp";
    const int descriptor =
        open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor >= 0 || errno != EEXIST) {
      return descriptor;
    }
  }
  return -1;
}

// The replacement keeps the target's permission bits, and its owner and
// group as far as this process may give them away (root may; others keep
// theirs, which they can only have been writing as anyway).
bool KeepOwnerAndPermissions(int descriptor, const struct stat &target) {
  if (fchown(descriptor, target.st_uid, target.st_gid) != 0) {
    fchown(descriptor, static_cast<uid_t>(-1), target.st_gid);
  }
  return fchmod(descriptor, target.st_mode & 0777) == 0;
}

} // namespace

struct FileReplacement {
  std::string target;
  std::string temporary;
  std::FILE *stream = nullptr;
  bool committed = false;
};

ReadOpenResult OpenRegularFileForReading(const char *path, std::FILE **stream) {
  *stream = nullptr;
  // Anything but a regular file is refused before it is opened: some cannot
  // be opened at all (a socket), which must not pass for a file held by
  // another process, and opening a device can have effects of its own.
  struct stat status {};
  if (stat(path, &status) == 0 && !S_ISREG(status.st_mode)) {
    return ReadOpenResult::NotRegular;
  }
  // Non-blocking, so that a FIFO put in the file's place meanwhile does not
  // hang the open; the descriptor is checked again below.
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG)
               ? ReadOpenResult::Missing
               : ReadOpenResult::Unavailable;
  }
  if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(descriptor);
    return ReadOpenResult::NotRegular;
  }
  const int flags = fcntl(descriptor, F_GETFL);
  if (flags >= 0) {
    fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
  }
  *stream = fdopen(descriptor, "rb");
  if (*stream == nullptr) {
    close(descriptor);
    return ReadOpenResult::Unavailable;
  }
  return ReadOpenResult::Opened;
}

int CompareFilePaths(const char *left, const char *right) {
  return std::strcmp(left, right);
}

FileReplacement *BeginFileReplacement(const char *path) {
  std::string target;
  if (!ResolveTarget(path, target)) {
    return nullptr;
  }
  struct stat status {};
  const bool exists = stat(target.c_str(), &status) == 0;
  // A file its owner made read-only stays untouched, as it would if it were
  // rewritten in place, even though its folder would allow the replacement.
  if (exists && (!S_ISREG(status.st_mode) || access(target.c_str(), W_OK) != 0)) {
    return nullptr;
  }
  std::string temporary;
  const int descriptor = CreateExclusive(DirectoryPrefix(target), temporary);
  if (descriptor < 0) {
    return nullptr;
  }
  std::FILE *stream = nullptr;
  if (!exists || KeepOwnerAndPermissions(descriptor, status)) {
    stream = fdopen(descriptor, "wb");
  }
  if (stream == nullptr) {
    close(descriptor);
    unlink(temporary.c_str());
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
  written = fsync(fileno(stream)) == 0 && written;
  return std::fclose(stream) == 0 && written;
}

bool CommitFileReplacement(FileReplacement *replacement) {
  if (replacement->stream != nullptr ||
      rename(replacement->temporary.c_str(), replacement->target.c_str()) != 0) {
    return false;
  }
  replacement->committed = true;
  // The new name is durable only once the directory is on disk as well.
  const std::string directory = DirectoryPrefix(replacement->target);
  const int descriptor =
      open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    fsync(descriptor);
    close(descriptor);
  }
  return true;
}

void EndFileReplacement(FileReplacement *replacement) {
  if (replacement->stream != nullptr) {
    std::fclose(replacement->stream);
  }
  if (!replacement->committed) {
    unlink(replacement->temporary.c_str());
  }
  delete replacement;
}

namespace {
FileSizeProbe fileSizeProbe = nullptr;
} // namespace

bool OpenFileSize(std::FILE *stream, unsigned long long *size) {
  struct stat status {};
  const bool known = fstat(fileno(stream), &status) == 0 && status.st_size >= 0;
  *size = known ? static_cast<unsigned long long>(status.st_size) : 0;
  if (fileSizeProbe != nullptr) {
    fileSizeProbe(stream);
  }
  return known;
}

void SetFileSizeProbe(FileSizeProbe probe) {
  fileSizeProbe = probe;
}
