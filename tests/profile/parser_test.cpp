// The file format as read: headers, entries, quotes, continuation, line ends,
// UTF-16 and lines of any length.
#include "profile_fixture.h"

#include <cstring>

using namespace std::string_literals;

namespace {

class ProfileParser : public ProfileTest {};

TEST_F(ProfileParser, HeadersKeepInnerSpaceAndEndAtTheLastBracket) {
  const std::string path = MakeFile("h.ini", "x=1\n"
                                             "[ Main ]\nk=1\n"
                                             "  [a]b]\nk=2\n"
                                             "[a] trailing\nk=3\n"
                                             "[]\nlost=1\n"
                                             "[open\nlost=2\n"
                                             "[last]\nk=4\n");
  EXPECT_EQ(SectionNames(path), " Main \0a]b\0a\0last\0"s);
  EXPECT_EQ(Get(path, " Main ", "k"), "1");
  EXPECT_EQ(Get(path, "Main", "k"), "<default>");
  EXPECT_EQ(Get(path, "a]b", "k"), "2");
  EXPECT_EQ(Get(path, "a", "k"), "3");
  // "[]" and "[open" end section a and hide everything up to [last].
  EXPECT_EQ(EntryNames(path, "a"), "k\0"s);
  EXPECT_EQ(Get(path, "last", "k"), "4");
}

TEST_F(ProfileParser, EntriesSplitAtTheFirstEqualsSignAndAreTrimmed) {
  const std::string path = MakeFile("e.ini", "[s]\n"
                                             "  key =  value  \n"
                                             "a=b=c\n"
                                             "empty=\n"
                                             "blank=   \n"
                                             "name alone\n"
                                             "\t\n"
                                             "; note\n"
                                             ";name=1\n"
                                             "KEY=second\n");
  EXPECT_EQ(EntryNames(path, "s"), "key\0a\0empty\0blank\0;name\0KEY\0"s);
  EXPECT_EQ(Get(path, "s", "key"), "value");
  EXPECT_EQ(Get(path, "s", "a"), "b=c");
  EXPECT_EQ(Get(path, "s", "empty"), "");
  EXPECT_EQ(Get(path, "s", "blank"), "");
  EXPECT_EQ(Get(path, "s", ";NAME"), "1");
  // Names compare without regard to ASCII case; the first match wins.
  EXPECT_EQ(Get(path, "S", "Key"), "value");
}

TEST_F(ProfileParser, OnePairOfMatchingQuotesIsRemoved) {
  const std::string path = MakeFile("q.ini", "[s]\n"
                                             "spaced=\"  the word  \"\n"
                                             "single='x'\n"
                                             "mixed=\"x'\n"
                                             "lone=\"\n"
                                             "pair=\"\"\n"
                                             "inner=a\"b\"c\n"
                                             "nested=\"\"x\"\"\n");
  struct Expected {
    const char *name;
    const char *value;
    std::int32_t quoted;
  };
  for (const Expected &expected :
       {Expected{"spaced", "  the word  ", 1}, Expected{"single", "x", 1},
        Expected{"mixed", "\"x'", 0}, Expected{"lone", "\"", 0}, Expected{"pair", "", 1},
        Expected{"inner", "a\"b\"c", 0}, Expected{"nested", "\"x\"", 1}}) {
    const ProfileEntry *entry = Entry(path, "s", expected.name);
    ASSERT_NE(entry, nullptr) << expected.name;
    EXPECT_STREQ(entry->value, expected.value) << expected.name;
    EXPECT_EQ(entry->quoted, expected.quoted) << expected.name;
  }
}

TEST_F(ProfileParser, AnEntryWithAnEmptyNameEndsItsSection) {
  const std::string path = MakeFile("stop.ini", "[s]\nx=1\n=oops\ny=2\n[t]\nz=3\n");
  EXPECT_EQ(EntryNames(path, "s"), "x\0"s);
  EXPECT_EQ(Get(path, "s", "y"), "<default>");
  EXPECT_EQ(Get(path, "t", "z"), "3");
}

TEST_F(ProfileParser, DuplicatesAreKeptInFileOrderAndTheFirstIsFound) {
  const std::string path = MakeFile("dup.ini", "[A]\nk=1\nk=2\n[a]\nk=3\n");
  EXPECT_EQ(SectionNames(path), "A\0a\0"s);
  EXPECT_EQ(EntryNames(path, "A"), "k\0k\0"s);
  EXPECT_EQ(Get(path, "a", "k"), "1");
}

TEST_F(ProfileParser, ContinuationJoinsLinesEndingInABackslashOnlyWhenSwitchedOn) {
  const std::string text = "[s]\npath=c:\\dir\\\nmore\n"
                           "[se\\\nction]\nk=1\\\n\\\n2\n"
                           "[end]\nlast=tail\\";
  const std::string path = MakeFile("c.ini", text);
  EXPECT_EQ(Get(path, "s", "path"), "c:\\dir\\");
  EXPECT_EQ(EntryNames(path, "s"), "path\0"s);
  EXPECT_EQ(SectionNames(path), "s\0end\0"s);

  OpenInMode(path, 1);
  EXPECT_EQ(Get(path, "s", "path"), "c:\\dirmore");
  EXPECT_EQ(Get(path, "section", "k"), "12");
  // Nothing follows the last backslash: it stays.
  EXPECT_EQ(Get(path, "end", "last"), "tail\\");
}

TEST_F(ProfileParser, CrLfAndLfFilesReadAlikeAndOtherBytesStayText) {
  const std::string lf = MakeFile("lf.ini", "[s]\na=1\nb=x\ry\n[t]\nc=\x1A"
                                            "after\nd=2\n");
  const std::string crlf = MakeFile("crlf.ini", "[s]\r\na=1\r\nb=x\ry\r\n[t]\r\nc=\x1A"
                                                "after\r\nd=2\r\n");
  for (const std::string &path : {lf, crlf}) {
    EXPECT_EQ(SectionNames(path), "s\0t\0"s);
    EXPECT_EQ(Get(path, "s", "a"), "1");
    // A lone CR is a byte of the value; the byte 1A ends nothing.
    EXPECT_EQ(Get(path, "s", "b"), "x\ry");
    EXPECT_EQ(Get(path, "t", "c"), "\x1A"
                                   "after");
    EXPECT_EQ(Get(path, "t", "d"), "2");
  }
}

TEST_F(ProfileParser, ACrLfPairSplitAcrossTwoReadsIsStillOneLineFeed) {
  // The reader takes 64 KiB at a time: the CR is the last byte of the first
  // read, its LF the first of the second. Only a folded pair lets the
  // backslash before it join the next line.
  const std::string head = "[s]\r\nk=";
  const std::string filler(65536 - head.size() - 2, 'v');
  const std::string text = head + filler + "\\\r\nmore\r\nafter=1\r\n";
  ASSERT_EQ(text.substr(65534, 3), "\\\r\n");
  const std::string path = MakeFile("split.ini", text);
  OpenInMode(path, 1);
  EXPECT_EQ(Get(path, "s", "k"), filler + "more");
  EXPECT_EQ(EntryNames(path, "s"), "k\0after\0"s);
}

TEST_F(ProfileParser, ALineThatEndsASectionIsTheNextHeaderSearchsFirstLine) {
  // The put-back line is taken once, as read: a valid header starts the next
  // section; an invalid one is dropped with every line up to a valid header.
  const std::string path = MakeFile("ahead.ini", "[a]\nx=1\n  [b] tail\ny=2\n[c\nz=3\n"
                                                 "=4\n[d]\nw=5\n");
  EXPECT_EQ(SectionNames(path), "a\0b\0d\0"s);
  EXPECT_EQ(EntryNames(path, "a"), "x\0"s);
  EXPECT_EQ(EntryNames(path, "b"), "y\0"s);
  EXPECT_EQ(EntryNames(path, "d"), "w\0"s);
}

TEST_F(ProfileParser, Utf16FilesReadAsTheSameTextInTheAnsiCodePage) {
  const std::string ascii = MakeFile("ascii.ini", "[s]\r\nk=v\\\r\nnext=2\r\n");
  const std::string wide = MakeFile("wide.ini", Utf16File(u"[s]\r\nk=v\\\r\nnext=2\r\n"));
  for (std::uint32_t mode : {0u, 1u}) {
    OpenInMode(ascii, mode);
    OpenInMode(wide, mode);
    EXPECT_EQ(EntryNames(wide, "s"), "k\0next\0"s) << mode;
    EXPECT_EQ(Get(wide, "s", "k"), "v\\") << mode;
  }
  // In the 8-bit file the CR LF pair is one line feed, so continuation joins.
  EXPECT_EQ(Get(ascii, "s", "k"), "vnext=2");
}

TEST_F(ProfileParser, Utf16CharactersHoldingBytes0Aor1ADoNotCutTheirLine) {
  // U+010A and U+011A carry the bytes 0A and 1A in their low halves.
  const std::u16string text = u"[s]\r\na=\u010A\u011A\u00E9\r\nb=y\xD800z\r\nc=3\r\n"
                              u"d=a\xDC00\xD800"
                              u"b\xD83D\xDE00"
                              u"c\r\n";
  const std::string path = MakeFile("u.ini", Utf16File(text) + "\x41");
  const auto converted = [](const std::u16string &units) {
    std::wstring wide(units.begin(), units.end());
    char out[64];
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                           out, sizeof out, " ", nullptr);
    return std::string(out, static_cast<std::size_t>(length));
  };
  EXPECT_EQ(Get(path, "s", "a"), converted(u"\u010A\u011A\u00E9"));
  // An unpaired surrogate has no 8-bit form: one space stands for it.
  EXPECT_EQ(Get(path, "s", "b"), "y z");
  EXPECT_EQ(Get(path, "s", "d"), "a  b" + converted(u"\xD83D\xDE00") + "c");
  // The half unit at the end of the file is dropped; all lines are there.
  EXPECT_EQ(EntryNames(path, "s"), "a\0b\0c\0d\0"s);
  EXPECT_EQ(Get(path, "s", "c"), "3");
}

TEST_F(ProfileParser, AUtf8MarkIsTextThatHidesAHeaderOnTheFirstLine) {
  const std::string path = MakeFile("bom.ini", "\xEF\xBB\xBF[s]\r\nx=1\r\n[t]\r\ny=2\r\n");
  EXPECT_EQ(SectionNames(path), "t\0"s);
  EXPECT_EQ(Get(path, "s", "x"), "<default>");
  EXPECT_EQ(Get(path, "t", "y"), "2");
}

TEST_F(ProfileParser, LinesOfAnyLengthAreReadWhole) {
  const std::string longValue(100000, 'v');
  const std::string narrow = MakeFile("n.ini", "[s]\r\nk=" + longValue + "\r\nafter=1\r\n");
  const std::u16string wideValue(100000, u'w');
  const std::string wide =
      MakeFile("w.ini", Utf16File(u"[s]\r\nk=" + wideValue + u"\r\nafter=1\r\n"));
  const std::string joined =
      MakeFile("j.ini", "[s]\nk=" + longValue + "\\\n" + longValue + "\nafter=1\n");
  OpenInMode(joined, 1);

  EXPECT_EQ(Get(narrow, "s", "k"), longValue);
  EXPECT_EQ(Get(wide, "s", "k"), std::string(100000, 'w'));
  EXPECT_EQ(Get(joined, "s", "k"), longValue + longValue);
  for (const std::string &path : {narrow, wide, joined}) {
    EXPECT_EQ(EntryNames(path, "s"), "k\0after\0"s) << path;
  }
}

TEST_F(ProfileParser, ParseEntryTrimsSplitsAndFlagsAnEmptyName) {
  char line[] = " \tname\t= \"'v'\" \r\n";
  std::int32_t stop = 0;
  ProfileEntry *entry = ProfileParseEntry(line, &stop);
  ASSERT_NE(entry, nullptr);
  EXPECT_STREQ(entry->name, "name");
  EXPECT_EQ(entry->nameLength, 4u);
  EXPECT_STREQ(entry->value, "'v'");
  EXPECT_EQ(entry->quoted, 1);
  EXPECT_EQ(stop, 0);
  std::free(entry->name);
  std::free(entry->value);
  std::free(entry);

  char noEquals[] = "text only\n";
  EXPECT_EQ(ProfileParseEntry(noEquals, &stop), nullptr);
  EXPECT_EQ(stop, 0);
  char emptyName[] = "  = value\n";
  EXPECT_EQ(ProfileParseEntry(emptyName, &stop), nullptr);
  EXPECT_EQ(stop, 1);
}

} // namespace
