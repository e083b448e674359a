// Code-page conversion and character stepping, as both builds have them.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PlatformText, CharPrevAStepsBackOneSingleByteCharacterAndStopsAtTheStart) {
  const char text[] = "ab\\\n";
  EXPECT_EQ(CharPrevA(text, text + 3), text + 2);
  EXPECT_EQ(CharPrevA(text, text + 1), text);
  EXPECT_EQ(CharPrevA(text, text), text);
}

TEST(PlatformText, WideCharToMultiByteConvertsAsciiAndReportsTheSizeNeeded) {
  const std::wstring wide = L"[s]\r\nk=v";
  const int units = static_cast<int>(wide.size());
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), units, nullptr, 0, " ", nullptr), units);
  char out[16] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out, sizeof out, " ", nullptr),
            units);
  EXPECT_EQ(std::string(out), "[s]\r\nk=v");
  // Too small a buffer converts nothing and says so.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, wide.data(), units, out, 3, " ", nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // -1 converts up to and including the terminating zero.
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, L"ab", -1, out, sizeof out, nullptr, nullptr), 3);
}

TEST(PlatformText, MultiByteToWideCharConvertsUtf8AndRefusesWhatIsNotUtf8) {
  struct Case {
    const char *utf8;
    std::u16string wide; // empty: not UTF-8
  };
  const Case cases[] = {
      {"k=v", u"k=v"},
      {"gr\xC3\xBC\xC3\x9F", u"gr\u00FC\u00DF"},
      {"\xE2\x82\xAC", u"\u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xC3", u""},             // cut short
      {"\xC0\xAF", u""},         // overlong
      {"\xED\xA0\x80", u""},     // a surrogate
      {"\xF4\x90\x80\x80", u""}, // beyond U+10FFFF
      {"a\x80", u""},            // a stray continuation byte
  };
  for (const Case &c : cases) {
    const int length = static_cast<int>(std::string(c.utf8).size());
    WCHAR out[8] = {};
    const int converted =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.utf8, length, out, 8);
    EXPECT_EQ(converted, static_cast<int>(c.wide.size())) << c.utf8;
    if (c.wide.empty()) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION)) << c.utf8;
      continue;
    }
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8, length, nullptr, 0), converted);
    EXPECT_EQ(std::u16string(out, out + converted), c.wide) << c.utf8;
  }
  WCHAR small[2] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, small, 2), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, small, 2), 0);
  WCHAR three[3] = {};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "ab", -1, three, 3), 3);
  EXPECT_EQ(three[2], 0);
}

} // namespace
