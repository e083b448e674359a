// Format, FormatV and AppendFormat: the attempts' boundaries, the cut, NUL
// bytes in the output, and failed conversions.
#include "support/byte_string.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdint>

namespace {

constexpr std::size_t largestOutput = 43008;

// Output of exactly the given length, made of the letter fill.
ByteString Formatted(std::size_t length, char fill = 'x') {
  const std::string text(length, fill);
  ByteString result("before");
  result.Format("%s", text.c_str());
  return result;
}

TEST(Format, NumbersMeanTheSameOnEveryBuild) {
  ByteString text;
  text.Format("%d", INT32_MIN);
  EXPECT_EQ(text, "-2147483648");
  // A 32-bit value goes to "%lu" as unsigned long, a 64-bit one to "%llu" as
  // unsigned long long.
  text.Format("%lu", static_cast<unsigned long>(UINT32_MAX));
  EXPECT_EQ(text, "4294967295");
  text.Format("%llu", static_cast<unsigned long long>(UINT64_MAX));
  EXPECT_EQ(text, "18446744073709551615");
  text.Format("[%5s|%-3d]", "ab", 7);
  EXPECT_EQ(text, "[   ab|7  ]");
}

TEST(Format, ReplacesTheContents) {
  ByteString text("old contents");
  text.Format("%s", "");
  EXPECT_TRUE(text.empty());
  text.Format("n=%d", 5);
  EXPECT_EQ(text, "n=5");
}

TEST(Format, KeepsNulBytesOfTheOutput) {
  ByteString text;
  text.Format("a%cb%c", 0, 0);
  EXPECT_EQ(text, std::string("a\0b\0", 4));
}

TEST(Format, EveryAttemptsBoundaryGivesTheWholeOutput) {
  for (std::size_t room : {2048u, 6144u, 12288u, 20480u, 30720u, 43008u}) {
    for (std::size_t length : {room - 1, room, room + 1}) {
      if (length > largestOutput) {
        continue;
      }
      const ByteString text = Formatted(length);
      EXPECT_EQ(text.size(), length) << "room " << room;
      EXPECT_EQ(text.find_first_not_of('x'), std::string::npos);
    }
  }
}

TEST(Format, LongerOutputIsCutToItsFirst43008Bytes) {
  std::string expected(largestOutput - 3, 'a');
  std::string rest = "bcdefgh";
  ByteString text;
  text.Format("%s%s", expected.c_str(), rest.c_str());
  expected += "bcd";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(Formatted(100000).size(), largestOutput);
}

TEST(Format, CutOutputKeepsItsNulBytes) {
  const std::string head(largestOutput - 2, 'a');
  ByteString text;
  text.Format("%s%c%s", head.c_str(), 0, "zzzz");
  EXPECT_EQ(text, head + std::string("\0z", 2));
}

TEST(Format, MayFormatTheStringsOwnText) {
  ByteString text("abc");
  text.Format("%s", text.c_str());
  EXPECT_EQ(text, "abc");
  text.Format("%s-%s", text.c_str(), text.c_str() + 1);
  EXPECT_EQ(text, "abc-bc");
}

TEST(Format, LeavesErrnoAlone) {
  errno = ERANGE;
  Formatted(50000);
  EXPECT_EQ(errno, ERANGE);
}

// The wide text holds a character the C locale cannot convert: the formatter
// fails, which is not a lack of room.
const wchar_t unconvertible[] = {static_cast<wchar_t>(0x20AC), 0};

TEST(Format, FailedConversionLeavesTheStringEmpty) {
  ByteString text("previous");
  text.Format("x%lsy", unconvertible);
  EXPECT_TRUE(text.empty());
}

TEST(Format, NullFormatLeavesTheStringEmpty) {
  ByteString text("previous");
  const char *noFormat = nullptr;
  text.Format(noFormat);
  EXPECT_TRUE(text.empty());
}

void FormatThroughList(ByteString &text, const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  text.FormatV(format, arguments);
  va_end(arguments);
}

TEST(FormatV, FormatsAnArgumentListAcrossAttempts) {
  const std::string longText(5000, 'q');
  ByteString text;
  FormatThroughList(text, "%s|%d", longText.c_str(), 42);
  EXPECT_EQ(text, longText + "|42");
}

TEST(AppendFormat, AppendsOutputOfOneTo1023Bytes) {
  ByteString text("n=");
  text.AppendFormat("%d", 12);
  EXPECT_EQ(text, "n=12");
  text.AppendFormat("%c", 0);
  EXPECT_EQ(text, std::string("n=12\0", 5));

  const std::string longest(1023, 'y');
  ByteString filled("<");
  filled.AppendFormat("%s", longest.c_str());
  EXPECT_EQ(filled, "<" + longest);
}

TEST(AppendFormat, LeavesTheStringUnchangedOtherwise) {
  ByteString text("keep");
  text.AppendFormat("%s", "");
  EXPECT_EQ(text, "keep");
  const std::string tooLong(1024, 'y');
  text.AppendFormat("%s", tooLong.c_str());
  EXPECT_EQ(text, "keep");
  text.AppendFormat("x%lsy", unconvertible);
  EXPECT_EQ(text, "keep");
  const char *noFormat = nullptr;
  text.AppendFormat(noFormat);
  EXPECT_EQ(text, "keep");
}

} // namespace
