// The bounded formatter answers and fills its buffer alike on every build.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

struct Outcome {
  int result;
  std::string buffer; // all eight bytes, '#' where nothing was written
};

Outcome FormatInto(std::size_t count, const char *format, ...) {
  char buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  va_list arguments;
  va_start(arguments, format);
  const int result = _vsnprintf(buffer, count, format, arguments);
  va_end(arguments);
  return {result, std::string(buffer, sizeof buffer)};
}

TEST(BoundedFormatter, ShorterOutputIsTerminated) {
  const Outcome outcome = FormatInto(4, "%s", "abc");
  EXPECT_EQ(outcome.result, 3);
  EXPECT_EQ(outcome.buffer, std::string("abc\0####", 8));
}

TEST(BoundedFormatter, OutputFillingTheRoomHasNoNul) {
  const Outcome outcome = FormatInto(4, "%s", "abcd");
  EXPECT_EQ(outcome.result, 4);
  EXPECT_EQ(outcome.buffer, "abcd####");
}

TEST(BoundedFormatter, LongerOutputIsCutAndAnswersNegative) {
  errno = 0;
  const Outcome outcome = FormatInto(4, "%d%s", 12, "cdef");
  EXPECT_EQ(outcome.result, -1);
  EXPECT_EQ(outcome.buffer, "12cd####");
  EXPECT_EQ(errno, 0);
}

TEST(BoundedFormatter, NulBytesCountAsOutput) {
  const Outcome outcome = FormatInto(4, "a%cb", 0);
  EXPECT_EQ(outcome.result, 3);
  EXPECT_EQ(outcome.buffer, std::string("a\0b\0####", 8));
  EXPECT_EQ(FormatInto(2, "a%cb", 0).buffer, std::string("a\0######", 8));
}

TEST(BoundedFormatter, NoRoomAtAll) {
  EXPECT_EQ(FormatInto(0, "%s", "").result, 0);
  const Outcome outcome = FormatInto(0, "%s", "a");
  EXPECT_EQ(outcome.result, -1);
  EXPECT_EQ(outcome.buffer, "########");
}

TEST(BoundedFormatter, FailedConversionSetsErrno) {
  const wchar_t unconvertible[] = {static_cast<wchar_t>(0x20AC), 0};
  errno = 0;
  EXPECT_LT(FormatInto(8, "%ls", unconvertible).result, 0);
  EXPECT_EQ(errno, EILSEQ);
}

} // namespace
