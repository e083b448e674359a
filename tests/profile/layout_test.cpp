// Write-back that keeps the file's layout: every line that nothing changed
// keeps its bytes, a changed entry rewrites only its own line, and what is
// added goes where a person would have put it.
#include "common/ansi_text.h"
#include "profile_fixture.h"

#include <optional>
#include <vector>

using namespace std::string_literals;

namespace {

// One ProfileSetString; a null entry deletes the section.
struct Update {
  const char *section;
  const char *entry;
  const char *value;
};

class ProfileLayout : public ProfileTest {
protected:
  // Reads path anew at its next use, under the switches, keeping its layout.
  static void OpenKeepingLayout(const std::string &path, std::uint32_t mode) {
    OpenInMode(path, mode);
    ProfileSetKeepLayout(path.c_str(), 1);
  }

  static ProfileFile *Record(const std::string &path) {
    ProfileFile *file = nullptr;
    EXPECT_EQ(ProfileOpen(path.c_str(), &file), 1);
    return file;
  }

  // Updates that change nothing the record holds, then dirty all the same:
  // a section added and deleted again, and every entry that lookups reach set
  // to the value and quoting it already has.
  static void DirtyWithoutChange(const std::string &path) {
    ProfileFile *file = Record(path);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ProfileSetString("added then deleted", "k", "v", path.c_str()), 1);
    EXPECT_EQ(ProfileSetString("added then deleted", "", "", path.c_str()), 1);
    for (ProfileSection *section = file->firstSection; section != nullptr;
         section = section->next) {
      if (ProfileFindSection(section->name, path.c_str()) != section) {
        continue; // a duplicate: its entries are reached by no name
      }
      for (ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
        if (ProfileFindEntry(section, entry->name) == entry) {
          const std::string quote = entry->quoted == 1 ? "\"" : "";
          const std::string same = quote + entry->value + quote;
          ProfileSetString(section->name, entry->name, same.c_str(), path.c_str());
        }
      }
    }
    file->dirty = 1;
  }

  // A hand-written file beside the tests.
  static std::string Fixture(const std::string &name) {
    const std::string bytes = ReadBytes("fixtures/profile/" + name);
    EXPECT_FALSE(bytes.empty()) << "fixture " << name << " not found beside the tests";
    return bytes;
  }

  static void Apply(const std::string &path, const std::vector<Update> &updates) {
    for (const Update &update : updates) {
      EXPECT_EQ(ProfileSetString(update.section, update.entry != nullptr ? update.entry : "",
                                 update.value, path.c_str()),
                1)
          << update.section << " / " << (update.entry != nullptr ? update.entry : "<delete>");
    }
  }
};

// The bytes of text in a file: UTF-16 little-endian units, or for an 8-bit
// file ASCII as it stands.
std::string Encoded(const std::u16string &text, bool utf16) {
  if (utf16) {
    return Utf16Units(text);
  }
  std::string bytes;
  for (char16_t unit : text) {
    EXPECT_LT(unit, 0x80) << "an 8-bit fixture's text is ASCII";
    bytes += static_cast<char>(unit);
  }
  return bytes;
}

const char *const fixtures[] = {"gitconfig", "settings-sync.service", "sample.inf", "window.ini",
                                "utf16.ini"};

TEST_F(ProfileLayout, FixturesMadeDirtyWithoutChangeComeBackByteIdentical) {
  for (const char *name : fixtures) {
    for (std::uint32_t mode : {0u, 1u}) {
      SCOPED_TRACE(std::string(name) + ", switches " + std::to_string(mode));
      const std::string original = Fixture(name);
      const std::string path = MakeFile(name, original);
      OpenKeepingLayout(path, mode);
      DirtyWithoutChange(path);
      ProfileRelease(path.c_str());
      EXPECT_TRUE(ReadBytes(path) == original) << ReadBytes(path);
    }
  }
}

// Each fixture with one value changed: exactly that line differs.
TEST_F(ProfileLayout, FixturesWithOneValueChangedDifferInExactlyThatLine) {
  struct Change {
    const char *fixture;
    std::uint32_t mode;
    std::u16string section, entry, value, before, after;
  };
  const Change changes[] = {
      {"gitconfig", 0, u"remote \"origin\"", u"URL", u"https://example.org/other.git",
       u"\turl = https://example.org/settingsstore.git\n",
       u"\turl = https://example.org/other.git\n"},
      {"gitconfig", 1, u"alias", u"st", u"status", u"\tst = status --short\n", u"\tst = status\n"},
      {"settings-sync.service", 0, u"Service", u"RestartSec", u"10s", u"RestartSec=5s\n",
       u"RestartSec=10s\n"},
      // Continuation on: the two physical lines of the entry become one.
      {"settings-sync.service", 1, u"Service", u"ExecStart", u"/usr/bin/settings-sync --once",
       u"ExecStart=/usr/bin/settings-sync --config /etc/settings-sync.conf \\\n"
       u"          --interval 300\n",
       u"ExecStart=/usr/bin/settings-sync --once\n"},
      {"settings-sync.service", 1, u"Service", u"Environment", u"\"SYNC_LEVEL=3\"",
       u"Environment=\"SYNC_LEVEL=2\" \"SYNC_LOG=/var/log/settings-sync.log\"\n",
       u"Environment=\"SYNC_LEVEL=3\"\n"},
      {"sample.inf", 0, u"Version", u"DriverVer", u"07/01/2024,1.2.4.0",
       u"DriverVer   = 06/21/2024,1.2.3.4\r\n", u"DriverVer   = 07/01/2024,1.2.4.0\r\n"},
      {"sample.inf", 1, u"Strings", u"Vendor", u"'settings store'",
       u"Vendor   = \"settingsstore\"\r\n", u"Vendor   = \"settings store\"\r\n"},
      {"window.ini", 0, u"window", u"height", u"700", u"height=600\n", u"height=700\n"},
      {"window.ini", 0, u"window", u"title", u"Main", u"  title = \"Main window\"   \n",
       u"  title = Main\n"},
      {"window.ini", 1, u"recent", u"file1", u"D:\\b.txt", u"file1=C:\\docs\\a.txt\n",
       u"file1=D:\\b.txt\n"},
      {"utf16.ini", 0, u"G\u00E9n\u00E9ral", u"Nom", u"Th\u00E9", u"Nom=Caf\u00E9\r\n",
       u"Nom=Th\u00E9\r\n"},
      {"utf16.ini", 1, u"Fen\u00EAtre", u"Titre", u"\"R\u00E9glages\"",
       u"Titre=\"Param\u00E8tres\"\r\n", u"Titre=\"R\u00E9glages\"\r\n"},
  };
  for (const Change &change : changes) {
    SCOPED_TRACE(std::string(change.fixture) + ", switches " + std::to_string(change.mode) + ", " +
                 Ansi(change.entry));
    const std::string original = Fixture(change.fixture);
    const bool utf16 = original.compare(0, 2, "\xFF\xFE") == 0;
    std::string expected = original;
    const std::string before = Encoded(change.before, utf16);
    const std::size_t at = expected.find(before);
    ASSERT_NE(at, std::string::npos);
    ASSERT_EQ(expected.find(before, at + 1), std::string::npos);
    expected.replace(at, before.size(), Encoded(change.after, utf16));

    const std::string path = MakeFile(change.fixture, original);
    OpenKeepingLayout(path, change.mode);
    ASSERT_EQ(ProfileSetString(Ansi(change.section).c_str(), Ansi(change.entry).c_str(),
                               Ansi(change.value).c_str(), path.c_str()),
              1);
    ProfileRelease(path.c_str());
    EXPECT_TRUE(ReadBytes(path) == expected) << ReadBytes(path);
  }
}

// The writer's rules on 8-bit files, one case a row: the file before, the
// updates, the file after.
TEST_F(ProfileLayout, ChangesRewriteOnlyTheirLinesAndAdditionsGoWhereAPersonWouldPutThem) {
  struct Case {
    const char *name;
    std::uint32_t mode;
    std::optional<std::string> before; // none: no file yet
    std::vector<Update> updates;
    std::string after;
  };
  const std::string longLine = "long=" + std::string(70000, 'x') + "\r\n";
  const Case cases[] = {
      {"the name, blanks and '=' stay as written",
       0,
       "[s]\n  Key \t=\t old value  \n",
       {{"s", "KEY", "new"}},
       "[s]\n  Key \t=\t new\n"},
      {"quoted values are written in double quotes",
       0,
       "[s]\nk = 'x'\r\nj=\"y\"\r\n",
       {{"s", "k", "' y z '"}, {"s", "j", "plain"}},
       "[s]\nk = \" y z \"\r\nj=plain\r\n"},
      {"a joined entry becomes one line with its last line's end",
       1,
       "[s]\nk=a\\\r\n  b\\\nc\nnext=1\r\n",
       {{"s", "k", "z"}},
       "[s]\nk=z\nnext=1\r\n"},
      {"blanks before a value on a continuation line stay",
       1,
       "[s]\nk=\\\n   v\n",
       {{"s", "k", "w"}},
       "[s]\nk=   w\n"},
      {"a last line ending in a backslash gets a space before what follows",
       1,
       "[a]\nk=v\\\n",
       {{"a", "j", "2"}},
       "[a]\nk=v\\ \nj=2\n"},
      {"so does a last line without a line end",
       1,
       "[a]\r\nk=1\r\n; note \\",
       {{"b", "x", "1"}},
       "[a]\r\nk=1\r\n; note \\ \r\n[b]\r\nx=1\r\n"},
      {"without continuation a backslash joins nothing",
       0,
       "[a]\nk=v\\\n",
       {{"a", "j", "2"}},
       "[a]\nk=v\\\nj=2\n"},
      {"a value ending in a backslash keeps its guard space",
       1,
       "[s]\nk=1\n",
       {{"s", "k", "c:\\dir\\"}},
       "[s]\nk=c:\\dir\\ \n"},
      {"an added entry follows the last entry line",
       0,
       "[a]\nx=1\n\n; about b\n[b]\ny=2\n",
       {{"a", "z", "3"}, {"a", "w", "4"}},
       "[a]\nx=1\nz=3\nw=4\n\n; about b\n[b]\ny=2\n"},
      {"an added entry follows the header of a section without entries",
       0,
       "[a]\n; only a comment\n",
       {{"a", "z", "3"}},
       "[a]\nz=3\n; only a comment\n"},
      {"an added entry stays before the line that ends its section",
       0,
       "x=0\n[a]\nx=1\n=stop\nhidden=1\n",
       {{"a", "z", "3"}},
       "x=0\n[a]\nx=1\nz=3\n=stop\nhidden=1\n"},
      {"an added section goes at the end, in the file's line ends",
       0,
       "; top\n[a]\nx=1\n\n",
       {{"new", "k", "v"}, {"new", "j", "w"}},
       "; top\n[a]\nx=1\n\n[new]\nk=v\nj=w\n"},
      {"new lines take the first line's end",
       0,
       "[a]\nx=1\r\n",
       {{"a", "y", "2"}},
       "[a]\nx=1\r\ny=2\n"},
      {"a last line without its end gets one before what follows",
       0,
       "[a]\r\nx=1",
       {{"a", "y", "2"}, {"b", "k", "v"}},
       "[a]\r\nx=1\r\ny=2\r\n[b]\r\nk=v\r\n"},
      {"a changed last line keeps having no line end",
       0,
       "[a]\nx=1",
       {{"a", "x", "2"}},
       "[a]\nx=2"},
      {"a one-line file's new lines end in CR LF",
       0,
       "; just this",
       {{"s", "k", "v"}},
       "; just this\r\n[s]\r\nk=v\r\n"},
      {"a new file is written in CR LF",
       0,
       std::nullopt,
       {{"s", "k", "v"}, {"s", "j", "w"}},
       "[s]\r\nk=v\r\nj=w\r\n"},
      {"a deleted section takes every line up to the next header",
       0,
       "; top\n[a]\nx=1\n; about b\n[]\nstray\n[b]\ny=2\n[c]\nz=3\n",
       {{"a", nullptr, ""}},
       "; top\n[b]\ny=2\n[c]\nz=3\n"},
      {"deleted sections side by side",
       0,
       "[a]\nx=1\n[b]\ny=2\n[c]\nz=3",
       {{"b", nullptr, ""}, {"a", nullptr, ""}},
       "[c]\nz=3"},
      {"the last section deleted",
       0,
       "[a]\nx=1\n\n[b]\ny=2\n; end\n",
       {{"b", nullptr, ""}},
       "[a]\nx=1\n\n"},
      {"a deleted section set again comes back at the end",
       0,
       "[a]\nx=1\n[b]\ny=2\n",
       {{"a", nullptr, ""}, {"a", "x", "1"}},
       "[b]\ny=2\n[a]\nx=1\n"},
      {"duplicates stay; deleting the first makes the second one seen",
       0,
       "[a]\nx=1\nX=2\n[A]\nx=3\n",
       {{"a", "x", "9"}, {"a", nullptr, ""}, {"a", "x", "7"}},
       "[A]\nx=7\n"},
      {"a duplicate entry stays as it was",
       0,
       "[a]\nx=1\nX=2\n",
       {{"a", "x", "9"}},
       "[a]\nx=9\nX=2\n"},
      {"a value changed and changed back leaves its line as it was",
       0,
       "[a]\nk = 'v'  \n",
       {{"a", "k", "w"}, {"a", "k", "\"v\""}},
       "[a]\nk = 'v'  \n"},
      {"1A bytes, lone CRs and long lines around a change",
       0,
       "[a]\r\nk=\x1A\rv\r\n" + longLine + "z=1\r\n\x1A",
       {{"a", "z", "2"}},
       "[a]\r\nk=\x1A\rv\r\n" + longLine + "z=2\r\n\x1A"},
      {"what follows a zero byte on a changed line goes with it",
       0,
       "[a]\nk=1\0junk\nj=2\n"s,
       {{"a", "k", "3"}},
       "[a]\nk=3\nj=2\n"},
      {"a line cut short by a zero byte never goes on: its backslash gets no space",
       1,
       "[s]\na=1\0x\\\n[t]\n"s,
       {{"s", "b", "2"}},
       "[s]\na=1\0x\\\nb=2\n[t]\n"s},
      {"nor does a last line whose text a zero byte ends: it only gets a line end",
       1,
       "[s]\na=1\0x\\"s,
       {{"s", "b", "2"}},
       "[s]\na=1\0x\\\nb=2\n"s},
      {"a header joined from two lines stays whole",
       1,
       "[a\\\n]\n; c\n",
       {{"a", "j", "2"}},
       "[a\\\n]\nj=2\n; c\n"},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.name);
    const std::string path = Path("case.ini");
    std::remove(path.c_str());
    if (test.before.has_value()) {
      WriteBytes(path, *test.before);
    }
    OpenKeepingLayout(path, test.mode);
    Apply(path, test.updates);
    ProfileRelease(path.c_str());
    EXPECT_TRUE(ReadBytes(path) == test.after) << ReadBytes(path);
    if (test.before.has_value()) {
      // Unchanged, the same file comes back as it was.
      WriteBytes(path, *test.before);
      OpenKeepingLayout(path, test.mode);
      DirtyWithoutChange(path);
      ProfileRelease(path.c_str());
      EXPECT_TRUE(ReadBytes(path) == *test.before) << ReadBytes(path);
    }
  }
}

// UTF-16 files stay UTF-16 with their mark: untouched lines keep their units,
// changed and new ones are converted from the ANSI code page.
TEST_F(ProfileLayout, Utf16FilesKeepTheirUnitsAndGetConvertedLines) {
  struct Case {
    const char *name;
    std::u16string before;
    std::string tail;                    // bytes behind the units: half a unit
    std::vector<std::u16string> updates; // section, entry, value; entry empty deletes
    std::u16string after;
  };
  const Case cases[] = {
      {"a change",
       u"; \u00E9t\u00E9\r\n[s]\r\n  k = 1\r\nn=2\r\n",
       "",
       {u"s", u"k", u"\u00E9"},
       u"; \u00E9t\u00E9\r\n[s]\r\n  k = \u00E9\r\nn=2\r\n"},
      {"additions in LF line ends",
       u"[s]\nk=1\n\n",
       "",
       {u"s", u"j", u"'x'", u"t\u00E9", u"u", u"v"},
       u"[s]\nk=1\nj=\"x\"\n\n[t\u00E9]\nu=v\n"},
      {"half a unit at the end stays at the end",
       u"[s]\r\nk=1",
       "A",
       {u"s", u"k", u"2", u"s", u"j", u"3", u"t", u"u", u"v"},
       u"[s]\r\nk=2\r\nj=3\r\n[t]\r\nu=v\r\n"},
      {"a deleted section",
       u"[a]\r\nx=1\r\n[b]\r\ny=2\r\n",
       "",
       {u"a", u"", u""},
       u"[b]\r\ny=2\r\n"},
      {"a mark alone", u"", "", {u"s", u"k", u"v"}, u"[s]\r\nk=v\r\n"},
  };
  for (const Case &test : cases) {
    SCOPED_TRACE(test.name);
    const std::string original = Utf16File(test.before) + test.tail;
    const std::string path = MakeFile("wide.ini", original);
    OpenKeepingLayout(path, 0);
    for (std::size_t i = 0; i + 2 < test.updates.size(); i += 3) {
      EXPECT_EQ(ProfileSetString(Ansi(test.updates[i]).c_str(), Ansi(test.updates[i + 1]).c_str(),
                                 Ansi(test.updates[i + 2]).c_str(), path.c_str()),
                1);
    }
    ProfileRelease(path.c_str());
    EXPECT_TRUE(ReadBytes(path) == Utf16File(test.after) + test.tail) << ReadBytes(path);
    WriteBytes(path, original);
    OpenKeepingLayout(path, 0);
    DirtyWithoutChange(path);
    ProfileRelease(path.c_str());
    EXPECT_TRUE(ReadBytes(path) == original);
  }
}

// Characters that the ANSI code page cannot hold read as spaces. Without
// keep-layout their record refuses updates, since writing it would lose
// them; keeping the layout, only changed lines are written, and those are
// the caller's text.
TEST_F(ProfileLayout, TextTheCodePageCannotHoldNoLongerRefusesUpdates) {
  // An unpaired surrogate has no character in any code page; under Wine
  // (code page 1252) neither have the two ideographs.
  const std::u16string lines[] = {u"name=\xD800x\r\n", u"name=\u65E5\u672C \u00C4rger\r\n"};
  for (const std::u16string &line : lines) {
    const std::u16string text = u"[s]\r\n" + line + u"keep=x\r\n";
    const std::string path = MakeFile("replaced.ini", Utf16File(text));
    OpenInMode(path, 0);
    const bool replaced = Record(path)->textReplaced == 1;
    if (replaced) {
      EXPECT_EQ(ProfileSetString("s", "other", "1", path.c_str()), 0);
      ProfileRelease(path.c_str());
      EXPECT_EQ(ReadBytes(path), Utf16File(text));
    }
    OpenKeepingLayout(path, 0);
    EXPECT_EQ(Record(path)->textReplaced, replaced ? 1 : 0);
    EXPECT_EQ(ProfileSetString("s", "other", "1", path.c_str()), 1);
    EXPECT_EQ(ProfileSetString("s", "keep", "y", path.c_str()), 1);
    ProfileRelease(path.c_str());
    EXPECT_EQ(ReadBytes(path), Utf16File(u"[s]\r\n" + line + u"keep=y\r\nother=1\r\n"));
  }
}

// Text that would not come back from a UTF-16 file as it was set (bytes that
// are not UTF-8, on Linux) is refused there, changing nothing.
TEST_F(ProfileLayout, TextWithoutUtf16FormIsRefusedForAUtf16File) {
  const std::string original = Utf16File(u"[s]\r\nk=1\r\n");
  const std::string path = MakeFile("wide.ini", original);
  OpenKeepingLayout(path, 0);
  const std::string invalid = "\xC3(";
  const bool convertible =
      MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, invalid.data(), 2, nullptr, 0) > 0;
  const std::int32_t expected = convertible ? 1 : 0;
  EXPECT_EQ(ProfileSetString("s", "k", invalid.c_str(), path.c_str()), expected);
  EXPECT_EQ(ProfileSetString("s", invalid.c_str(), "1", path.c_str()), expected);
  EXPECT_EQ(ProfileSetString(invalid.c_str(), "k", "1", path.c_str()), expected);
  EXPECT_EQ(Get(path, "s", "k"), convertible ? invalid : "1");
  ProfileRelease(path.c_str());
  if (!convertible) {
    EXPECT_EQ(ReadBytes(path), original);
  }
}

// The layout is how the record was read: the flag set on a record already
// read changes nothing until it is read again.
TEST_F(ProfileLayout, TheSwitchGovernsHowTheRecordIsRead) {
  const std::string path = MakeFile("late.ini", "; c\n[s]\nk=1\n");
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileSetKeepLayout(path.c_str(), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\n\r\n");
}

// A flush writes the file and keeps the record; what is written later still
// holds every change since the record was read, in the layout of its file.
TEST_F(ProfileLayout, WriteBacksAfterAFlushKeepTheLayout) {
  const std::string path = MakeFile("flushed.ini", "; c\n[s]\nk=1\n\n[t]\n");
  OpenKeepingLayout(path, 0);
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  EXPECT_EQ(ProfileFlush(path.c_str()), 1);
  EXPECT_EQ(ReadBytes(path), "; c\n[s]\nk=2\n\n[t]\n");
  EXPECT_EQ(ProfileSetString("t", "u", "3", path.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "k", "1", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "; c\n[s]\nk=1\n\n[t]\nu=3\n");
}

} // namespace
