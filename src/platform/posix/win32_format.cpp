// The Windows C runtime's bounded formatter over the C library's vsnprintf,
// which instead answers the length the whole output would need.
#include "platform/posix/win32_base.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The output did not fit in count - 1 bytes: format it whole elsewhere and
// hand over its first count bytes, without a NUL.
int CopyCutOutput(char *buffer, std::size_t count, int length, const char *format,
                  va_list arguments) {
  const int savedErrno = errno;
  char *whole = static_cast<char *>(std::malloc(static_cast<std::size_t>(length) + 1));
  if (whole == nullptr) {
    errno = ENOMEM;
    return -1;
  }
  std::vsnprintf(whole, static_cast<std::size_t>(length) + 1, format, arguments);
  std::memcpy(buffer, whole, count);
  std::free(whole);
  errno = savedErrno;
  return static_cast<std::size_t>(length) == count ? length : -1;
}

} // namespace

int _vsnprintf(char *buffer, std::size_t count, const char *format, va_list arguments) {
  va_list again;
  va_copy(again, arguments);
  const int savedErrno = errno;
  const int length = std::vsnprintf(buffer, count, format, arguments);
  int result = length;
  if (length >= 0) {
    errno = savedErrno;
    if (static_cast<std::size_t>(length) >= count) {
      result =
          count == 0 ? (length == 0 ? 0 : -1) : CopyCutOutput(buffer, count, length, format, again);
    }
  }
  va_end(again);
  return result;
}
