// String-table entries of the test program (support/string_table.h), loaded
// by identifier. Results differ between builds only through the ANSI code
// page: UTF-8 on Linux, 1252 under Wine.
#include "platform/platform.h"
#include "support/byte_string.h"
#include "support/string_table.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr UINT utf8CodePage = 65001;

std::string InAnsiCodePage(const std::string &utf8, const std::string &windows1252) {
  return GetACP() == utf8CodePage ? utf8 : windows1252;
}

std::string Repeated(const std::string &piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) {
    text += piece;
  }
  return text;
}

const char *Identifier(WORD id) {
  return MAKEINTRESOURCEA(id);
}

TEST(TextOrIdentifier, NullGivesAnEmptyString) {
  const char *none = nullptr;
  EXPECT_TRUE(ByteString(none).empty());
}

TEST(TextOrIdentifier, EmptyTextIsATextNotAnIdentifier) {
  EXPECT_TRUE(ByteString("").empty());
  EXPECT_EQ(ByteString("1"), "1");
}

TEST(TextOrIdentifier, IdentifierLoadsItsEntry) {
  EXPECT_EQ(ByteString(Identifier(FIRST_ENTRY_ID)), FIRST_ENTRY_TEXT);
  EXPECT_EQ(ByteString(Identifier(LONG_ENTRY_ID)), LONG_ENTRY_TEXT);
}

TEST(TextOrIdentifier, MissingEntryGivesAnEmptyString) {
  EXPECT_TRUE(ByteString(Identifier(0)).empty());
  EXPECT_TRUE(ByteString(Identifier(1000)).empty());
  EXPECT_TRUE(ByteString(Identifier(65535)).empty());
}

TEST(LoadResourceString, EntriesAtTheBlockBoundaries) {
  ByteString text;
  EXPECT_TRUE(text.LoadResourceString(LAST_OF_BLOCK_ONE_ID));
  EXPECT_EQ(text, LAST_OF_BLOCK_ONE_TEXT);
  EXPECT_TRUE(text.LoadResourceString(FIRST_OF_BLOCK_TWO_ID));
  EXPECT_EQ(text, FIRST_OF_BLOCK_TWO_TEXT);
}

TEST(LoadResourceString, AbsentEntryOfAnExistingBlockFails) {
  for (std::uint32_t id : {0u, 2u, 31u, 32u, 47u}) {
    ByteString text("before");
    EXPECT_FALSE(text.LoadResourceString(id)) << id;
  }
}

TEST(LoadResourceString, MissingBlockFailsAndLeavesTheStringUnchanged) {
  for (std::uint32_t id : {64u, 1000u, 65535u}) {
    ByteString text("unchanged");
    EXPECT_FALSE(text.LoadResourceString(id)) << id;
    EXPECT_EQ(text, "unchanged");
  }
}

// Block numbers are 16-bit resource identifiers: 0x10001 / 16 + 1 is block
// 4097, and 0xFFFF0 / 16 + 1 wraps to 0, which names no block.
TEST(LoadResourceString, BlockNumberIsComputedIn16Bits) {
  for (std::uint32_t id : {0x10001u, 0xFFFF0u, 0xFFFFFFFFu}) {
    ByteString text("unchanged");
    EXPECT_FALSE(text.LoadResourceString(id)) << id;
    EXPECT_EQ(text, "unchanged");
  }
}

TEST(LoadResourceString, StringLongerThanTheBlockHoldsExactlyTheEntry) {
  ByteString text(std::string(5000, '#'));
  EXPECT_TRUE(text.LoadResourceString(FIRST_ENTRY_ID));
  EXPECT_EQ(text, FIRST_ENTRY_TEXT);
}

TEST(LoadResourceString, LongEntryArrivesWhole) {
  ByteString text("x");
  EXPECT_TRUE(text.LoadResourceString(LONG_ENTRY_ID));
  EXPECT_EQ(text.size(), 500u);
  EXPECT_EQ(text, LONG_ENTRY_TEXT);
}

TEST(LoadResourceString, ConvertsToTheAnsiCodePage) {
  ByteString text;
  EXPECT_TRUE(text.LoadResourceString(NON_ASCII_ID));
  EXPECT_EQ(text, InAnsiCodePage("Caf\xC3\xA9 \xC3\xA0 5 \xE2\x82\xAC", "Caf\xE9 \xE0 5 \x80"));
}

// In UTF-8 the entry needs more bytes than its block holds.
TEST(LoadResourceString, EntryLongerInTheCodePageThanItsBlockArrivesWhole) {
  ByteString text;
  EXPECT_TRUE(text.LoadResourceString(EURO_ENTRY_ID));
  EXPECT_EQ(text, InAnsiCodePage(Repeated("\xE2\x82\xAC", EURO_ENTRY_LENGTH),
                                 std::string(EURO_ENTRY_LENGTH, '\x80')));
}

HRSRC FindBlock(WORD block) {
  return FindResourceA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(block), MAKEINTRESOURCEA(6));
}

// 16 counts and the characters, two bytes each.
DWORD BlockSize(std::size_t characters) {
  return static_cast<DWORD>(2 * (16 + characters));
}

TEST(StringTablePlatform, BlocksHoldSixteenCountedUtf16Texts) {
  const HMODULE module = GetModuleHandleA(nullptr);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(SizeofResource(module, FindBlock(1)),
            BlockSize(std::strlen(FIRST_ENTRY_TEXT) + std::strlen(LAST_OF_BLOCK_ONE_TEXT)));
  EXPECT_EQ(SizeofResource(module, FindBlock(3)), BlockSize(500));
  EXPECT_EQ(SizeofResource(module, FindBlock(4)), BlockSize(EURO_ENTRY_LENGTH));
}

TEST(StringTablePlatform, MissingBlockIsNotFound) {
  SetLastError(0);
  EXPECT_EQ(FindBlock(5), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(StringTablePlatform, LoadStringCutsToTheBuffer) {
  const HMODULE module = GetModuleHandleA(nullptr);
  char buffer[8];
  EXPECT_EQ(LoadStringA(module, FIRST_ENTRY_ID, buffer, 6), 5);
  EXPECT_STREQ(buffer, "Entry");
  EXPECT_EQ(LoadStringA(module, FIRST_ENTRY_ID, buffer, 1), 0);
  EXPECT_STREQ(buffer, "");
  std::strcpy(buffer, "full");
  EXPECT_EQ(LoadStringA(module, 2, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST(StringTablePlatform, LoadStringCutsAtWholeCharacters) {
  const HMODULE module = GetModuleHandleA(nullptr);
  char buffer[8];
  const int loaded = LoadStringA(module, NON_ASCII_ID, buffer, 5);
  const std::string expected = InAnsiCodePage("Caf", "Caf\xE9");
  EXPECT_EQ(loaded, static_cast<int>(expected.size()));
  EXPECT_EQ(std::string(buffer), expected);
}

} // namespace
