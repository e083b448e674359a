// The kernel and C-runtime pieces of the platform layer behave as on Windows.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>

namespace {

TEST(PlatformBase, StricmpFoldsAsciiLettersOnly) {
  EXPECT_EQ(_stricmp("Main", "mAIN"), 0);
  EXPECT_EQ(_stricmp("", ""), 0);
  EXPECT_LT(_stricmp("abc", "abd"), 0);
  EXPECT_GT(_stricmp("abcd", "ABC"), 0);
  EXPECT_LT(_stricmp("ABC", "abcd"), 0);
  // Letters fold to lower case before comparing, so '_' (0x5F) sorts before
  // 'A' (0x41 folded to 0x61).
  EXPECT_LT(_stricmp("_", "A"), 0);
  // Bytes above 127 never fold: the two forms of the letter a-grave differ.
  EXPECT_NE(_stricmp("\xC3\xA0", "\xC3\x80"), 0);
  EXPECT_NE(_stricmp("\xE0", "\xC0"), 0);
}

TEST(PlatformBase, AccessTellsWhetherAFileExists) {
  const std::filesystem::path file = "platform_access_probe.tmp";
  std::filesystem::remove(file);
  EXPECT_NE(_access(file.string().c_str(), 0), 0);
  std::FILE *stream = std::fopen(file.string().c_str(), "wb");
  ASSERT_NE(stream, nullptr);
  std::fclose(stream);
  EXPECT_EQ(_access(file.string().c_str(), 0), 0);
  EXPECT_EQ(_access(file.string().c_str(), 6), 0);
  std::filesystem::remove(file);
}

TEST(PlatformBase, SleepWaitsAtLeastTheGivenTime) {
  const auto start = std::chrono::steady_clock::now();
  Sleep(30);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(), 29);
}

} // namespace
