// ByteString's assignments, clamped substrings and formatting.
#include "support/byte_string.h"

#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>

namespace {

// The room of formatting attempt k is 1024 * k * (k + 1) bytes: 2048 first,
// 43008 at the sixth and last.
constexpr int formatAttempts = 6;
constexpr std::size_t RoomOfAttempt(int attempt) {
  return 1024 * static_cast<std::size_t>(attempt) * static_cast<std::size_t>(attempt + 1);
}
constexpr std::size_t largestFormatRoom = RoomOfAttempt(formatAttempts);
constexpr std::size_t appendFormatRoom = 1023;

// Lengths are taken as signed 32-bit numbers before clamping; clamping is
// done in 64 bits so that no argument can overflow.
std::int64_t SignedLength(const std::string &text) {
  return static_cast<std::int32_t>(text.size());
}

// Both forms of Mid: negative values count as 0, and the range is cut at the
// end of the text.
ByteString ClampedMid(const std::string &text, std::int64_t first, std::int64_t count) {
  const std::int64_t length = SignedLength(text);
  const std::int64_t start = std::max<std::int64_t>(first, 0);
  std::int64_t taken = std::max<std::int64_t>(count, 0);
  if (start + taken > length) {
    taken = length - start;
  }
  if (start > length || taken <= 0) {
    return ByteString();
  }
  return ByteString(text.data() + start, static_cast<std::size_t>(taken));
}

bool PointsInto(const std::string &text, const char *pointer) {
  const std::less_equal<const char *> atOrBefore;
  return atOrBefore(text.data(), pointer) && atOrBefore(pointer, text.data() + text.size());
}

// One run of the bounded formatter. A negative result with errno set is a
// failure of the conversion itself (an unconvertible wide character), not a
// lack of room: the formatter leaves errno alone when the output is cut.
struct FormatResult {
  int count;
  bool failed;
};

FormatResult FormatInto(char *buffer, std::size_t room, const char *format, va_list arguments) {
  va_list copy;
  va_copy(copy, arguments);
  errno = 0;
  const int count = _vsnprintf(buffer, room, format, copy);
  va_end(copy);
  return {count, count < 0 && errno != 0};
}

} // namespace

ByteString &ByteString::operator=(const ByteString &other) {
  if (data() != other.data()) {
    assign(other);
  }
  return *this;
}

ByteString &ByteString::operator=(const char *text) {
  if (text == nullptr) {
    clear();
  } else if (PointsInto(*this, text)) {
    erase(0, static_cast<std::size_t>(text - data()));
  } else {
    assign(text);
  }
  return *this;
}

ByteString ByteString::Left(std::int32_t count) const {
  const std::int64_t length = std::min<std::int64_t>(count, SignedLength(*this));
  if (length < 1) {
    return ByteString();
  }
  return ByteString(data(), static_cast<std::size_t>(length));
}

ByteString ByteString::Mid(std::int32_t first, std::int32_t count) const {
  return ClampedMid(*this, first, count);
}

// The count is taken from the unclamped first, so a negative first gives the
// whole string.
ByteString ByteString::Mid(std::int32_t first) const {
  return ClampedMid(*this, first, SignedLength(*this) - first);
}

void ByteString::Format(const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  FormatV(format, arguments);
  va_end(arguments);
}

// The output is built on the stack and only then replaces the contents, so an
// argument may point into this string's own text.
// A failed conversion (or a null format) leaves the string empty. errno is
// left as the caller had it.
void ByteString::FormatV(const char *format, va_list arguments) {
  if (format == nullptr) {
    clear();
    return;
  }
  char buffer[largestFormatRoom + 1];
  const int savedErrno = errno;
  std::size_t length = 0;
  for (int attempt = 1; attempt <= formatAttempts; ++attempt) {
    const std::size_t room = RoomOfAttempt(attempt);
    const FormatResult result = FormatInto(buffer, room, format, arguments);
    if (result.failed) {
      length = 0;
      break;
    }
    if (result.count >= 0) {
      length = std::min(static_cast<std::size_t>(result.count), room);
      break;
    }
    length = room;
  }
  errno = savedErrno;
  assign(buffer, length);
}

void ByteString::AppendFormat(const char *format, ...) {
  if (format == nullptr) {
    return;
  }
  char buffer[appendFormatRoom + 1];
  va_list arguments;
  va_start(arguments, format);
  const int savedErrno = errno;
  const int count = _vsnprintf(buffer, appendFormatRoom, format, arguments);
  errno = savedErrno;
  va_end(arguments);
  if (count >= 1 && static_cast<std::size_t>(count) <= appendFormatRoom) {
    append(buffer, static_cast<std::size_t>(count));
  }
}
