// Reading profile files on Linux; replacing them is file_replacement.cpp.
#include "platform/file_access.h"

#include "platform/posix/fault_errors.h"
#include "platform/posix/temporary_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ReadOpenResult FailedOpen(int error) {
  if (error == ENOENT || error == ENOTDIR) {
    return ReadOpenResult::Missing;
  }
  // A link loop, no permission, a name too long: no other process ends
  // these, so they are answered at once.
  return posix_files::IsPassingError(error) ? ReadOpenResult::Unavailable : ReadOpenResult::Refused;
}

} // namespace

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
  if (const auto fault = InjectedFault(FaultKind::Open)) {
    return FailedOpen(posix_faults::ErrnoOf(*fault));
  }
  const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    return FailedOpen(errno);
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
    return ReadOpenResult::Refused;
  }
  return ReadOpenResult::Opened;
}

int CompareFilePaths(const char *left, const char *right) {
  return std::strcmp(left, right);
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
