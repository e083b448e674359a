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

} // namespace
