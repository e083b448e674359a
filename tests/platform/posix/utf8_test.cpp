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

} // namespace
