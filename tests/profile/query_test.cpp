// Queries and updates: lengths, buffers and their exact layouts, numbers,
// setting and deleting, and the updates that are refused.
#include "profile_fixture.h"

#include <cstring>

using namespace std::string_literals;

namespace {

class ProfileQueries : public ProfileTest {};

TEST_F(ProfileQueries, GetStringAnswersLengthsAndTruncatesToTheBuffer) {
  const std::string file = MakeFile("g.ini", "[s]\nk=value\nq='quoted'\nempty=\n");
  const char *path = file.c_str();
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  // Size 0 writes nothing, whatever is asked.
  EXPECT_EQ(ProfileGetString("s", "k", "dflt", buffer, 0, path), 5u);
  EXPECT_EQ(ProfileGetString("s", "missing", "dflt", buffer, 0, path), 4u);
  EXPECT_EQ(ProfileGetString("s", "q", "dflt", buffer, 0, path), 6u);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(16, '#'));

  EXPECT_EQ(ProfileGetString("s", "k", "dflt", buffer, 4, path), 3u);
  EXPECT_EQ(std::string(buffer, 5), "val\0#"s);
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ProfileGetString("s", "missing", "default", buffer, 3, path), 2u);
  EXPECT_EQ(std::string(buffer, 4), "de\0#"s);
  EXPECT_EQ(ProfileGetString("s", "k", "dflt", buffer, 1, path), 0u);
  EXPECT_EQ(buffer[0], '\0');
  // No buffer is taken as size 0 rather than written through.
  EXPECT_EQ(ProfileGetString("s", "k", "dflt", nullptr, 8, path), 5u);

  // An existing empty value is not the default; a null default is empty.
  EXPECT_EQ(Get(file, "s", "empty"), "");
  EXPECT_EQ(ProfileGetString("s", "missing", nullptr, buffer, sizeof buffer, path), 0u);
  EXPECT_EQ(buffer[0], '\0');
  // The default is taken unchanged: no trimming, no quotes removed.
  EXPECT_EQ(Get(file, "s", "missing", " 'd' "), " 'd' ");
  EXPECT_EQ(Get(file, "nosection", "k", "d"), "d");
}

TEST_F(ProfileQueries, QuotedValuesComeInDoubleQuotesWhenTheSwitchIsOn) {
  const std::string file = MakeFile("rq.ini", "[s]\nq='quoted'\nplain=x\n");
  OpenInMode(file, 1);
  char buffer[6];
  EXPECT_EQ(ProfileGetString("s", "q", "", nullptr, 0, file.c_str()), 8u);
  EXPECT_EQ(Get(file, "s", "q"), "\"quoted\"");
  EXPECT_EQ(Get(file, "s", "plain"), "x");
  EXPECT_EQ(ProfileGetString("s", "q", "", buffer, sizeof buffer, file.c_str()), 5u);
  EXPECT_EQ(std::string(buffer, 6), "\"quot\0"s);
}

TEST_F(ProfileQueries, NameListsFillTheBufferToTheByte) {
  const std::string file = MakeFile("n.ini", "[s]\na=1\nbc=2\n[a]\n[bc]\n");
  struct Case {
    const char *section;
    std::uint32_t size;
    std::string bytes;
    std::uint32_t result;
  };
  for (const Case &c :
       {Case{"s", 10, "a\0bc\0\0\0\0\0\0"s, 5}, Case{"s", 6, "a\0bc\0\0"s, 5},
        Case{"s", 5, "a\0bc\0"s, 2}, Case{"s", 4, "a\0b\0"s, 2}, Case{"s", 1, "\0"s, 0},
        Case{"", 10, "s\0a\0bc\0\0\0\0"s, 7}, Case{nullptr, 5, "s\0a\0\0"s, 4}}) {
    std::string buffer(c.size + 1, '#');
    EXPECT_EQ(ProfileGetString(c.section, nullptr, "dflt", buffer.data(), c.size, file.c_str()),
              c.result)
        << c.size;
    EXPECT_EQ(buffer, c.bytes + "#") << c.size;
  }
  char untouched = '#';
  EXPECT_EQ(ProfileGetString("s", "", "dflt", &untouched, 0, file.c_str()), 0u);
  EXPECT_EQ(untouched, '#');
  EXPECT_EQ(ProfileGetString("s", "", "dflt", nullptr, 10, file.c_str()), 0u);
  // A section without entries lists nothing; a missing one gives the default.
  EXPECT_EQ(EntryNames(file, "a"), "");
  EXPECT_EQ(Get(file, "none", nullptr, "dflt"), "dflt");
}

TEST_F(ProfileQueries, NumbersReadAsTheirLeadingDigits) {
  const std::string file = MakeFile("num.ini", "[s]\nmixed=12abc\nempty=\nword=abc\nminus=-1\n"
                                               "big=4294967296\nhex=ff\nprefixed=0xFF\n"
                                               "spaced=\" 42\"\nnegbig=-4294967295\n");
  const char *path = file.c_str();
  EXPECT_EQ(ProfileGetNumber("s", "mixed", 7, path), 12u);
  EXPECT_EQ(ProfileGetNumber("s", "empty", 7, path), 0u);
  EXPECT_EQ(ProfileGetNumber("s", "word", 7, path), 0u);
  EXPECT_EQ(ProfileGetNumber("s", "minus", 7, path), 4294967295u);
  EXPECT_EQ(ProfileGetNumber("s", "big", 7, path), 4294967295u);
  EXPECT_EQ(ProfileGetNumber("s", "negbig", 7, path), 1u);
  EXPECT_EQ(ProfileGetNumber("s", "spaced", 7, path), 42u);
  EXPECT_EQ(ProfileGetHexNumber("s", "hex", 7, path), 255u);
  EXPECT_EQ(ProfileGetHexNumber("s", "prefixed", 7, path), 255u);
  EXPECT_EQ(ProfileGetHexNumber("s", "mixed", 7, path), 0x12ABCu);
  EXPECT_EQ(ProfileGetNumber("s", "prefixed", 7, path), 0u);
  // Missing section or entry, or no names at all: the default.
  EXPECT_EQ(ProfileGetNumber("s", "missing", 7, path), 7u);
  EXPECT_EQ(ProfileGetNumber("none", "mixed", 7, path), 7u);
  EXPECT_EQ(ProfileGetNumber("", "mixed", 7, path), 7u);
  EXPECT_EQ(ProfileGetHexNumber("s", nullptr, 7, path), 7u);
}

TEST_F(ProfileQueries, SetStringReplacesInPlaceAndAppendsAtTheEnd) {
  const std::string file = MakeFile("set.ini", "[A]\nKey=old\nother=1\n[B]\nz=1\n");
  const char *path = file.c_str();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path, &record), 1);
  EXPECT_EQ(record->dirty, 0);

  EXPECT_EQ(ProfileSetString("a", "  KEY ", " 'new' ", path), 1);
  EXPECT_EQ(record->dirty, 1);
  EXPECT_EQ(EntryNames(file, "A"), "Key\0other\0"s);
  const ProfileEntry *entry = Entry(file, "A", "key");
  EXPECT_STREQ(entry->value, "new");
  EXPECT_EQ(entry->quoted, 1);

  EXPECT_EQ(ProfileSetString("A", "other", "plain", path), 1);
  EXPECT_EQ(Entry(file, "A", "other")->quoted, 0);
  EXPECT_EQ(ProfileSetString("A", "added", nullptr, path), 1);
  EXPECT_EQ(ProfileSetString(" C ", "c", "3", path), 1);
  EXPECT_EQ(EntryNames(file, "A"), "Key\0other\0added\0"s);
  EXPECT_EQ(Get(file, "A", "added"), "");
  EXPECT_EQ(SectionNames(file), "A\0B\0C\0"s);
  EXPECT_EQ(record->sectionCount, 3u);
  EXPECT_EQ(record->lastSection->entryCount, 1u);
}

TEST_F(ProfileQueries, UpdatesTrimTheSectionNameWhileQueriesDoNot) {
  const std::string file = MakeFile("trim.ini", "[ Main ]\nk=read\n");
  const char *path = file.c_str();
  EXPECT_EQ(ProfileSetString(" Main ", "k", "set", path), 1);
  EXPECT_EQ(SectionNames(file), " Main \0Main\0"s);
  EXPECT_EQ(Get(file, " Main ", "k"), "read");
  EXPECT_EQ(Get(file, "Main", "k"), "set");
  // A name that trims to nothing makes no section.
  EXPECT_EQ(ProfileSetString("  ", "k", "v", path), 0);
  EXPECT_EQ(SectionNames(file), " Main \0Main\0"s);
}

TEST_F(ProfileQueries, AnEmptyEntryNameDeletesTheFirstSectionOfThatName) {
  const std::string file = MakeFile("del.ini", "[A]\nk=first\n[B]\n[A]\nk=second\n");
  const char *path = file.c_str();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path, &record), 1);
  EXPECT_EQ(ProfileSetString("none", "", "v", path), 1);
  EXPECT_EQ(record->dirty, 1);
  EXPECT_EQ(Get(file, "a", "k"), "first");
  EXPECT_EQ(ProfileSetString("a", nullptr, nullptr, path), 1);
  EXPECT_EQ(Get(file, "A", "k"), "second");
  EXPECT_EQ(ProfileSetString("A", "", "", path), 1);
  EXPECT_EQ(ProfileSetString("B", "", "", path), 1);
  EXPECT_EQ(record->firstSection, nullptr);
  EXPECT_EQ(record->lastSection, nullptr);
  EXPECT_EQ(record->sectionCount, 0u);
}

TEST_F(ProfileQueries, DeletingTheFirstMiddleOrLastSectionKeepsTheListLinked) {
  const std::string file = MakeFile("unlink.ini", "[A]\na=1\n[B]\nb=2\n[C]\nc=3\n");
  const char *path = file.c_str();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path, &record), 1);

  EXPECT_EQ(ProfileSetString("B", nullptr, nullptr, path), 1);
  EXPECT_EQ(SectionNames(file), "A\0C\0"s);
  EXPECT_EQ(record->sectionCount, 2u);
  EXPECT_STREQ(record->firstSection->next->name, "C");

  // The last one gone, its predecessor is last and takes the next addition.
  EXPECT_EQ(ProfileSetString("C", "", "", path), 1);
  EXPECT_EQ(record->lastSection, record->firstSection);
  EXPECT_EQ(record->lastSection->next, nullptr);
  EXPECT_EQ(ProfileSetString("D", "d", "4", path), 1);
  EXPECT_EQ(SectionNames(file), "A\0D\0"s);
  EXPECT_EQ(record->sectionCount, 2u);

  // The first one gone, its successor is first.
  EXPECT_EQ(ProfileSetString("A", "", "", path), 1);
  EXPECT_EQ(record->firstSection, record->lastSection);
  EXPECT_STREQ(record->firstSection->name, "D");
  EXPECT_EQ(record->sectionCount, 1u);
  EXPECT_EQ(ProfileSetString("E", "e", "5", path), 1);
  ProfileRelease(path);
  EXPECT_EQ(ReadBytes(file), "[D]\r\nd=4\r\n\r\n[E]\r\ne=5\r\n\r\n");
}

TEST_F(ProfileQueries, ANullDefaultCountsAsEmptyAtEverySize) {
  const std::string file = MakeFile("nd.ini", "[s]\nk=v\n");
  const char *path = file.c_str();
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(ProfileGetString("s", "missing", nullptr, buffer, 0, path), 0u);
  EXPECT_EQ(std::string(buffer, 4), "####");
  EXPECT_EQ(ProfileGetString("none", "k", nullptr, buffer, 1, path), 0u);
  EXPECT_EQ(std::string(buffer, 4), "\0###"s);
  EXPECT_EQ(ProfileGetString("s", "missing", nullptr, buffer, 4, nullptr), 0u);
  EXPECT_EQ(ProfileGetString("s", "missing", "abcdef", buffer, 4, nullptr), 3u);
  EXPECT_EQ(std::string(buffer, 4), "abc\0"s);
}

TEST_F(ProfileQueries, UpdatesThatWouldReadBackDifferentlyAreRefused) {
  const std::string file = MakeFile("refuse.ini", "[s]\nk=v\n");
  const char *path = file.c_str();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path, &record), 1);
  const char *refused[][3] = {
      {"s", "k", "two\nlines"}, {"s", "k", "cr\r"}, {"s\n[t]", "k", "v"}, {"s", "k\r", "v"},
      {"s\n", "", ""},          {"s", "   ", "v"},  {"s", "a=b", "v"},    {"s", " [x]", "v"},
      {nullptr, "k", "v"},      {"", "k", "v"},
  };
  for (const auto &args : refused) {
    EXPECT_EQ(ProfileSetString(args[0], args[1], args[2], path), 0)
        << (args[0] ? args[0] : "(null)") << "/" << args[1] << "/" << args[2];
  }
  EXPECT_EQ(record->dirty, 0);
  EXPECT_EQ(SectionNames(file), "s\0"s);
  EXPECT_EQ(EntryNames(file, "s"), "k\0"s);
  EXPECT_EQ(Get(file, "s", "k"), "v");
  // '[' inside a name, and every other byte of a value, are fine.
  EXPECT_EQ(ProfileSetString("s", "a[1]", "=[x];\t\"", path), 1);
  EXPECT_STREQ(Entry(file, "s", "a[1]")->value, "=[x];\t\"");
}

TEST_F(ProfileQueries, NamesAreEnumeratedByIndexWithoutATerminatingZero) {
  const std::string file = MakeFile("enum.ini", "[first]\nalpha=1\nb=2\n[second]\n");
  const char *path = file.c_str();
  char buffer[8];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ProfileGetSectionName(0, nullptr, 0, path), 5u);
  EXPECT_EQ(ProfileGetSectionName(1, buffer, 3, path), 6u);
  EXPECT_EQ(std::string(buffer, 4), "sec#");
  EXPECT_EQ(ProfileGetSectionName(2, buffer, sizeof buffer, path), 0u);

  ProfileSection *section = ProfileFindSection("FIRST", path);
  ASSERT_NE(section, nullptr);
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(ProfileGetEntryName(0, buffer, sizeof buffer, section), 5u);
  EXPECT_EQ(std::string(buffer, 6), "alpha#");
  EXPECT_EQ(ProfileGetEntryName(1, buffer, 0, section), 1u);
  EXPECT_EQ(ProfileGetEntryName(2, buffer, sizeof buffer, section), 0u);
  EXPECT_EQ(ProfileGetEntryName(0, buffer, sizeof buffer, nullptr), 0u);
  EXPECT_EQ(ProfileFindSection("third", path), nullptr);
  EXPECT_EQ(ProfileFindSection(nullptr, path), nullptr);
}

TEST_F(ProfileQueries, ANullOrEmptyPathGivesDefaultsAndRefusals) {
  for (const char *path : {static_cast<const char *>(nullptr), ""}) {
    char buffer[8] = "#######";
    EXPECT_EQ(ProfileGetString("s", "k", "dflt", buffer, sizeof buffer, path), 4u);
    EXPECT_STREQ(buffer, "dflt");
    EXPECT_EQ(ProfileGetNumber("s", "k", 9, path), 9u);
    EXPECT_EQ(ProfileGetHexNumber("s", "k", 9, path), 9u);
    EXPECT_EQ(ProfileSetString("s", "k", "v", path), 0);
    EXPECT_EQ(ProfileGetSectionName(0, buffer, sizeof buffer, path), 0u);
    EXPECT_EQ(ProfileFindSection("s", path), nullptr);
    ProfileFile *record = nullptr;
    EXPECT_EQ(ProfileOpen(path, &record), 0);
    EXPECT_EQ(record, nullptr);
  }
  EXPECT_EQ(profileCache.count, 0u);
}

} // namespace
