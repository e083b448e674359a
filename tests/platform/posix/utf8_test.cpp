// On Linux the library's ANSI code page is UTF-8.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Convert(const std::u16string &units, const char *defaultChar, BOOL *usedDefault) {
  const std::wstring wide(units.begin(), units.end());
  char out[32];
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out,
                                         sizeof out, defaultChar, usedDefault);
  return std::string(out, static_cast<std::size_t>(length));
}

TEST(PlatformUtf8, UnitsAndSurrogatePairsBecomeUtf8) {
  BOOL usedDefault = TRUE;
  EXPECT_EQ(Convert(u"\u010A\u011A\u00E9\u20AC", " ", &usedDefault),
            "\xC4\x8A\xC4\x9A\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(usedDefault, FALSE);
  EXPECT_EQ(Convert(u"\U0001F600", " ", &usedDefault), "\xF0\x9F\x98\x80");
}

TEST(PlatformUtf8, AnUnpairedSurrogateBecomesTheDefaultCharacter) {
  BOOL usedDefault = FALSE;
  EXPECT_EQ(Convert(u"a\xD800"
                    u"b\xDC00",
                    " ", &usedDefault),
            "a b ");
  EXPECT_EQ(usedDefault, TRUE);
  EXPECT_EQ(Convert(u"\xDBFF", nullptr, nullptr), "\xEF\xBF\xBD");
}

TEST(PlatformUtf8, CharPrevAStepsOverContinuationBytes) {
  const char text[] = "a\xC3\xA9\xE2\x82\xAC\x80\n";
  EXPECT_EQ(CharPrevA(text, text + 3), text + 1);
  EXPECT_EQ(CharPrevA(text, text + 6), text + 3);
  // A stray continuation byte is a character of its own.
  EXPECT_EQ(CharPrevA(text, text + 7), text + 6);
  EXPECT_EQ(CharPrevA(text + 2, text + 3), text + 2);
}

// Text written into UTF-16 files comes from the ANSI code page; what is not
// UTF-8 becomes U+FFFD, one per byte that begins no sequence.
TEST(PlatformUtf8, MultiByteToWideCharDecodesUtf8AndReplacesWhatIsNot) {
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xC3(\xED\xA0\x80";
  const int length = static_cast<int>(text.size());
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0), 10);
  WCHAR wide[10] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide, 10), 10);
  const std::u16string expected = u"a\u00E9\u20AC\U0001F600\uFFFD(\uFFFD\uFFFD\uFFFD";
  EXPECT_EQ(std::u16string(wide, wide + 10), expected);
  // Too small a buffer converts nothing; -1 includes the terminating zero.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide, 9), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "ab", -1, wide, 10), 3);
  EXPECT_EQ(wide[2], 0);
}

} // namespace
