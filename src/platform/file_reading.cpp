// Reading an opened profile file, the same on every build: streams of the C
// runtime in binary mode.
#include "platform/fault_injection.h"
#include "platform/file_access.h"

std::size_t ReadFileBlock(std::FILE *stream, void *buffer, std::size_t size, bool *failed) {
  if (InjectedFault(FaultKind::Read)) {
    *failed = true;
    return 0;
  }
  const std::size_t count = std::fread(buffer, 1, size, stream);
  if (count < size && std::ferror(stream)) {
    *failed = true;
  }
  return count;
}
