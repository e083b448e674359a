// Bad input as tables: lines around the length of the old fixed line
// buffer and far beyond it, NUL bytes inside lines, UTF-16 files cut in the
// middle of a unit, and a hundred thousand sections. Each row says what the engine answers;
// docs/robustness.md lists them beside the other bad inputs tried.
#include "profile_fixture.h"

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class ProfileBadInput : public ProfileTest {};

// Every line is read whole, whatever its length, in every position where a
// long text can stand, and written back byte for byte.
TEST_F(ProfileBadInput, LinesOfAnyLengthAroundAndBeyond32767BytesReadAndWriteBackWhole) {
  for (const std::size_t length : {32766u, 32767u, 32768u, 32769u, 1000000u}) {
    const std::string value(length, 'v');
    const std::string name(length, 'n');
    const std::string section(length, 's');
    struct Row {
      const char *what;
      std::string bytes;
      std::uint32_t mode;
    };
    const Row rows[] = {
        {"value", "[s]\r\nk=" + value + "\r\nafter=1\r\n", 0},
        {"name", "[s]\r\n" + name + "=1\r\nafter=1\r\n", 0},
        {"header", "[" + section + "]\r\nk=1\r\nafter=1\r\n", 0},
        {"UTF-16 value",
         Utf16File(u"[s]\r\nk=" + std::u16string(length, u'v') + u"\r\nafter=1\r\n"), 0},
        {"joined value", "[s]\r\nk=" + value + "\\\r\n" + value + "\r\nafter=1\r\n", 1},
    };
    for (const Row &row : rows) {
      SCOPED_TRACE(std::string(row.what) + " of " + std::to_string(length) + " bytes");
      const std::string path = MakeFile("long.ini", row.bytes);
      OpenInMode(path, row.mode);
      const std::string sectionName = row.what == "header"s ? section : "s";
      const std::string entryName = row.what == "name"s ? name : "k";
      const std::string expected = row.what == "joined value"s                    ? value + value
                                   : row.what == "name"s || row.what == "header"s ? "1"
                                                                                  : value;
      EXPECT_EQ(Get(path, sectionName.c_str(), entryName.c_str()), expected);
      EXPECT_EQ(Get(path, sectionName.c_str(), "after"), "1");
      // Written back, the long text stands in one line of its own.
      ProfileFile *record = nullptr;
      ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
      record->dirty = 1;
      ProfileRelease(path.c_str());
      EXPECT_EQ(ReadBytes(path),
                "[" + sectionName + "]\r\n" + entryName + "=" + expected + "\r\nafter=1\r\n\r\n");
    }
  }
}

// A NUL byte ends the text of its line for the parser (names, values and
// headers are C texts), but not the line: the next line is read as usual.
TEST_F(ProfileBadInput, NulBytesInsideLinesCutTheirTextAndSpareTheNextLine) {
  struct Row {
    const char *what;
    std::string bytes;
    std::string sections; // section names, each with its zero byte
    std::string entriesOfS;
    std::string valueOfK;
  };
  const Row rows[] = {
      {"in a value", "[s]\nk=ab\0cd\nn=1\n"s, "s\0"s, "k\0n\0"s, "ab"},
      {"before the '='", "[s]\nk\0=1\nn=1\n"s, "s\0"s, "n\0"s, "<default>"},
      {"starting a line", "[s]\n\0k=1\nn=1\n"s, "s\0"s, "n\0"s, "<default>"},
      {"in a header", "[s\0]\nk=1\n[t]\nn=1\n"s, "t\0"s, "", "<default>"},
      {"after a header", "[s]\0junk\nk=1\n"s, "s\0"s, "k\0"s, "1"},
      {"UTF-16 unit", Utf16File(u"[s]\r\nk=a\0b\r\nn=1\r\n"s), "s\0"s, "k\0n\0"s, "a"},
      {"only NULs", std::string(4096, '\0'), "", "", "<default>"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = MakeFile("zeros.ini", row.bytes);
    EXPECT_EQ(SectionNames(path), row.sections);
    EXPECT_EQ(EntryNames(path, "s"), row.entriesOfS);
    EXPECT_EQ(Get(path, "s", "k"), row.valueOfK);
    ProfileRelease(path.c_str());
  }
}

// A UTF-16 file whose last unit lacks its second byte loses that half unit
// only; a mark alone is an empty file.
TEST_F(ProfileBadInput, Utf16FilesCutInsideAUnitLoseOnlyTheHalfUnit) {
  struct Row {
    const char *what;
    std::string bytes;
    std::string sections;
    std::string valueOfK;
  };
  const std::string whole = Utf16File(u"[s]\r\nk=v\r\n");
  const Row rows[] = {
      {"the mark alone", "\xFF\xFE", "", "<default>"},
      {"the mark and one byte", "\xFF\xFE[", "", "<default>"},
      {"a whole file and one byte", whole + "x", "s\0"s, "v"},
      {"the last line without its line end and cut", Utf16File(u"[s]\r\nk=vw") + "\x41", "s\0"s,
       "vw"},
      {"cut inside the line feed", whole.substr(0, whole.size() - 1), "s\0"s, "v"},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = MakeFile("odd.ini", row.bytes);
    EXPECT_EQ(SectionNames(path), row.sections);
    EXPECT_EQ(Get(path, "s", "k"), row.valueOfK);
    ProfileRelease(path.c_str());
  }
}

TEST_F(ProfileBadInput, AHundredThousandSectionsLoadListUpdateAndWriteBack) {
  constexpr int sections = 100000;
  std::string bytes;
  for (int i = 0; i < sections; ++i) {
    bytes += "[s" + std::to_string(i) + "]\r\nk=" + std::to_string(i) + "\r\n\r\n";
  }
  const std::string path = MakeFile("many.ini", bytes);
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  EXPECT_EQ(record->sectionCount, static_cast<std::uint32_t>(sections));
  EXPECT_EQ(Get(path, "s99999", "k"), "99999");
  char name[16] = {};
  EXPECT_EQ(ProfileGetSectionName(sections - 1, name, sizeof name, path.c_str()), 6u);
  EXPECT_STREQ(name, "s99999");
  EXPECT_EQ(ProfileGetSectionName(sections, name, sizeof name, path.c_str()), 0u);
  EXPECT_EQ(ProfileSetString("s50000", "k", "changed", path.c_str()), 1);
  EXPECT_EQ(ProfileSetString("added", "k", "new", path.c_str()), 1);
  ProfileRelease(path.c_str());
  const std::string middle = "[s50000]\r\nk=50000\r\n";
  std::string expected = bytes;
  expected.replace(expected.find(middle), middle.size(), "[s50000]\r\nk=changed\r\n");
  expected += "[added]\r\nk=new\r\n\r\n";
  EXPECT_TRUE(ReadBytes(path) == expected);
}

} // namespace
