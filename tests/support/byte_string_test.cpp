// ByteString's assignments and clamped substrings, down to the extreme
// arguments.
#include "support/byte_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

constexpr std::int32_t int32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t int32Max = std::numeric_limits<std::int32_t>::max();

TEST(ByteStringLayout, ArraysOfByteStringAreArraysOfStandardStrings) {
  static_assert(sizeof(ByteString) == sizeof(std::string));
  static_assert(!std::is_polymorphic_v<ByteString>);
  ByteString pieces[2] = {ByteString("first"), ByteString("second")};
  const std::string *asStrings = pieces;
  EXPECT_EQ(asStrings[1], "second");
  EXPECT_TRUE(ByteString().empty());
}

TEST(ByteStringAssignment, CopiesAnotherStringAndIgnoresItself) {
  ByteString target("old");
  const ByteString source("new text");
  target = source;
  EXPECT_EQ(target, "new text");
  EXPECT_NE(target.data(), source.data());
  const ByteString &alias = target;
  target = alias;
  EXPECT_EQ(target, "new text");
}

TEST(ByteStringAssignment, FromTextCopiesUpToTheNul) {
  ByteString target("previous");
  const char text[] = {'a', 'b', '\0', 'c', '\0'};
  target = text;
  EXPECT_EQ(target, "ab");
}

TEST(ByteStringAssignment, NullEmptiesTheString) {
  ByteString target("something");
  const char *none = nullptr;
  target = none;
  EXPECT_TRUE(target.empty());
}

TEST(ByteStringAssignment, PointerIntoOwnTextKeepsTheTail) {
  ByteString target("abcdef");
  target = target.c_str() + 2;
  EXPECT_EQ(target, "cdef");
  target = target.c_str();
  EXPECT_EQ(target, "cdef");
  // Just behind the last byte: the tail is empty.
  target = target.c_str() + target.size();
  EXPECT_TRUE(target.empty());
}

TEST(ByteStringAssignment, PointerIntoOwnTextKeepsBytesBehindAnInnerNul) {
  ByteString target(std::string("ab\0cd", 5));
  target = target.c_str() + 1;
  EXPECT_EQ(target, std::string("b\0cd", 4));
}

TEST(ByteStringLeft, ClampsTheCount) {
  const ByteString text("hello");
  EXPECT_EQ(text.Left(0), "");
  EXPECT_EQ(text.Left(-1), "");
  EXPECT_EQ(text.Left(int32Min), "");
  EXPECT_EQ(text.Left(1), "h");
  EXPECT_EQ(text.Left(4), "hell");
  EXPECT_EQ(text.Left(5), "hello");
  EXPECT_EQ(text.Left(6), "hello");
  EXPECT_EQ(text.Left(int32Max), "hello");
  EXPECT_EQ(ByteString().Left(3), "");
  EXPECT_EQ(text, "hello");
}

TEST(ByteStringMid, ClampsFirstAndCount) {
  const ByteString text("abcdef");
  EXPECT_EQ(text.Mid(-3, 2), "ab");
  EXPECT_EQ(text.Mid(2, -1), "");
  EXPECT_EQ(text.Mid(2, 0), "");
  EXPECT_EQ(text.Mid(2, 3), "cde");
  EXPECT_EQ(text.Mid(4, 2), "ef");
  EXPECT_EQ(text.Mid(4, 3), "ef");
  EXPECT_EQ(text.Mid(6, 5), "");
  EXPECT_EQ(text.Mid(7, 0), "");
  EXPECT_EQ(text.Mid(1, 6), "bcdef");
  EXPECT_EQ(text.Mid(0, 6), "abcdef");
  EXPECT_EQ(text, "abcdef");
}

TEST(ByteStringMid, ExtremeArgumentsStayInRange) {
  const ByteString text("abcdef");
  EXPECT_EQ(text.Mid(int32Max, int32Max), "");
  EXPECT_EQ(text.Mid(int32Min, int32Max), "abcdef");
  EXPECT_EQ(text.Mid(int32Min, int32Min), "");
  EXPECT_EQ(text.Mid(1, int32Max), "bcdef");
  EXPECT_EQ(text.Mid(int32Max, int32Min), "");
}

TEST(ByteStringMid, FromFirstToTheEnd) {
  const ByteString text("abcdef");
  EXPECT_EQ(text.Mid(-5), "abcdef");
  EXPECT_EQ(text.Mid(0), "abcdef");
  EXPECT_EQ(text.Mid(2), "cdef");
  EXPECT_EQ(text.Mid(5), "f");
  EXPECT_EQ(text.Mid(6), "");
  EXPECT_EQ(text.Mid(7), "");
  EXPECT_EQ(text.Mid(int32Min), "abcdef");
  EXPECT_EQ(text.Mid(int32Max), "");
}

TEST(ByteStringMid, KeepsNulBytesInsideTheRange) {
  const ByteString text(std::string("a\0b\0c", 5));
  EXPECT_EQ(text.Mid(1, 3), std::string("\0b\0", 3));
  EXPECT_EQ(text.Left(2), std::string("a\0", 2));
}

} // namespace
