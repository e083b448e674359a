// UTF-16 files read in the ANSI code page, as Wine has it (code page 1252):
// text the code page cannot hold whole leaves its file as it was.
#include "../profile_fixture.h"

namespace {

class ProfileCodePage : public ProfileTest {
protected:
  void SetUp() override {
    ProfileTest::SetUp();
    if (GetACP() != 1252) {
      GTEST_SKIP() << "these cases are written for code page 1252, not " << GetACP();
    }
  }

  // Reads the file, tries an unrelated update, releases; the update's answer.
  static std::int32_t UpdateAndRelease(const std::string &path) {
    const std::int32_t answer = ProfileSetString("s", "other", "1", path.c_str());
    ProfileRelease(path.c_str());
    return answer;
  }
};

TEST_F(ProfileCodePage, CharactersWithoutAnAnsiFormKeepTheFileUnchanged) {
  const std::string bytes = Utf16File(u"[s]\r\nname=\u65E5\u672C \u00C4rger\r\nkeep=x\r\n");
  const std::string path = MakeFile("jp.ini", bytes);
  // Each character the code page lacks reads as a space, trimmed here.
  EXPECT_EQ(Get(path, "s", "name"), "\xC4rger");
  EXPECT_EQ(UpdateAndRelease(path), 0);
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(ProfileCodePage, ALookAlikeInPlaceOfACharacterKeepsTheFileUnchanged) {
  // U+0101 has no form in code page 1252; the conversion gives a plain "a".
  const std::string bytes = Utf16File(u"[s]\r\nname=\u0101b\r\n");
  const std::string path = MakeFile("fit.ini", bytes);
  EXPECT_EQ(Get(path, "s", "name"), "ab");
  EXPECT_EQ(UpdateAndRelease(path), 0);
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(ProfileCodePage, TextTheCodePageHoldsWholeIsUpdatedAndWrittenAsAnsi) {
  const std::string path = MakeFile("de.ini", Utf16File(u"[s]\r\nname=\u00C4rger\r\n"));
  EXPECT_EQ(UpdateAndRelease(path), 1);
  EXPECT_EQ(ReadBytes(path), "[s]\r\nname=\xC4rger\r\nother=1\r\n\r\n");
}

} // namespace
