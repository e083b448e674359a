// Split: pieces, their number, and the texts that make no array.
#include "support/byte_string.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// The pieces as a vector, the array released; the count is checked against
// the pieces.
std::vector<std::string> Pieces(const ByteString &text, const char *separator) {
  std::int32_t count = -1;
  std::unique_ptr<ByteString[]> pieces(Split(&count, text, separator));
  EXPECT_NE(pieces, nullptr);
  EXPECT_GE(count, 1);
  if (pieces == nullptr) {
    return {};
  }
  return std::vector<std::string>(pieces.get(), pieces.get() + count);
}

using Texts = std::vector<std::string>;

TEST(Split, CutsAtEverySeparator) {
  EXPECT_EQ(Pieces("a;b;;c", ";"), (Texts{"a", "b", "", "c"}));
  EXPECT_EQ(Pieces(";", ";"), (Texts{"", ""}));
  EXPECT_EQ(Pieces(";a;", ";"), (Texts{"", "a", ""}));
  EXPECT_EQ(Pieces("abc", ";"), (Texts{"abc"}));
}

TEST(Split, MatchesLongSeparatorsWholeAndWithoutOverlap) {
  EXPECT_EQ(Pieces("x::y", "::"), (Texts{"x", "y"}));
  EXPECT_EQ(Pieces("x:y", "::"), (Texts{"x:y"}));
  EXPECT_EQ(Pieces("a:::b", "::"), (Texts{"a", ":b"}));
  EXPECT_EQ(Pieces("aaaa", "aa"), (Texts{"", "", ""}));
}

TEST(Split, KeepsNulBytesOfTheText) {
  EXPECT_EQ(Pieces(std::string("a\0b;c", 5), ";"), (Texts{std::string("a\0b", 3), "c"}));
}

TEST(Split, EmptyOrNullSeparatorGivesTheWholeText) {
  EXPECT_EQ(Pieces("a;b", ""), (Texts{"a;b"}));
  EXPECT_EQ(Pieces("a;b", nullptr), (Texts{"a;b"}));
}

TEST(Split, EmptyTextGivesNullAndCountZero) {
  std::int32_t count = 7;
  EXPECT_EQ(Split(&count, ByteString(), ";"), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Split(nullptr, ByteString(), ";"), nullptr);
}

TEST(Split, CountIsOptional) {
  std::unique_ptr<ByteString[]> pieces(Split(nullptr, "a;b", ";"));
  ASSERT_NE(pieces, nullptr);
  EXPECT_EQ(pieces[0], "a");
  EXPECT_EQ(pieces[1], "b");
}

} // namespace
