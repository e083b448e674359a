// Loading a file whole: a file that changes size while it is read, text that
// the ANSI code page cannot hold, and the spans that keep-layout reading
// records for every line.
#include "profile_fixture.h"

#include "platform/file_access.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class ProfileLoad : public ProfileTest {
protected:
  void TearDown() override {
    SetFileSizeProbe(nullptr);
    ProfileTest::TearDown();
  }

  // What the size probe does to the file being read.
  static std::string changedPath;
  static std::string appended;
  static std::size_t shrunkTo;

  static void AppendBytes(std::FILE *) {
    std::ofstream out(changedPath, std::ios::binary | std::ios::app);
    out << appended;
  }

  static void Shrink(std::FILE *) { std::filesystem::resize_file(changedPath, shrunkTo); }
};

std::string ProfileLoad::changedPath;
std::string ProfileLoad::appended;
std::size_t ProfileLoad::shrunkTo = 0;

TEST_F(ProfileLoad, AFileThatGrowsAfterItsSizeWasTakenIsReadToItsEnd) {
  changedPath = MakeFile("grows.ini", "[s]\r\na=1\r\n");
  // Many times the size taken: the read goes on past the first buffer.
  appended = "b=2\r\n[t]\r\n" + std::string(100000, ' ') + "c=3\r\n";
  SetFileSizeProbe(AppendBytes);
  EXPECT_EQ(Get(changedPath, "s", "a"), "1");
  SetFileSizeProbe(nullptr);
  EXPECT_EQ(Get(changedPath, "s", "b"), "2");
  EXPECT_EQ(Get(changedPath, "t", "c"), "3");
  EXPECT_EQ(SectionNames(changedPath), "s\0t\0"s);
}

TEST_F(ProfileLoad, AFileThatShrinksAfterItsSizeWasTakenIsReadAsItIsThen) {
  changedPath = MakeFile("shrinks.ini", "[s]\r\na=1\r\nb=2\r\n");
  shrunkTo = std::strlen("[s]\r\na=1\r\n");
  SetFileSizeProbe(Shrink);
  EXPECT_EQ(Get(changedPath, "s", "a"), "1");
  SetFileSizeProbe(nullptr);
  EXPECT_EQ(EntryNames(changedPath, "s"), "a\0"s);
}

// A surrogate without its partner reads as a space: the record's text is not
// the file's, so no update is taken and the file stays as it was.
TEST_F(ProfileLoad, AUtf16FileWhoseTextHadToBeReplacedIsNeverChanged) {
  const std::string bytes = Utf16File(u"[s]\r\nname=a\xD800z\r\nkeep=x\r\n");
  const std::string file = MakeFile("lone.ini", bytes);
  const char *path = file.c_str();
  EXPECT_EQ(Get(file, "s", "name"), "a z");
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path, &record), 1);
  EXPECT_EQ(record->textReplaced, 1);
  EXPECT_EQ(ProfileSetString("s", "other", "1", path), 0);
  EXPECT_EQ(ProfileSetString("s", "keep", "y", path), 0);
  EXPECT_EQ(ProfileSetString("new", "k", "v", path), 0);
  EXPECT_EQ(ProfileSetString("s", "", "", path), 0);
  EXPECT_EQ(record->dirty, 0);
  EXPECT_EQ(Get(file, "s", "keep"), "x");
  EXPECT_EQ(Get(file, "new", "k"), "<default>");
  ProfileRelease(path);
  EXPECT_EQ(ReadBytes(file), bytes);

  // Text that converts whole (in every code page these tests meet) is
  // updated and written back as 8-bit text.
  const std::string whole = MakeFile("whole.ini", Utf16File(u"[s]\r\nname=a\u00E9z\r\n"));
  EXPECT_EQ(ProfileSetString("s", "other", "1", whole.c_str()), 1);
  ProfileRelease(whole.c_str());
  EXPECT_EQ(ReadBytes(whole).substr(0, 11), "[s]\r\nname=a");
}

// --- Spans ---

struct SpanCase {
  const char *name;
  std::string bytes;
  std::uint32_t mode;
};

// Reads a file under keep-layout and the usual way; both read alike, and
// the spans of the first lead to each line's bytes.
class ProfileSpans : public ProfileTest {
protected:
  static ProfileFile *Read(const std::string &path, std::uint32_t mode, std::uint32_t keepLayout) {
    ProfileRelease(path.c_str());
    ProfileRegister(path.c_str());
    ProfileSetSwitches(path.c_str(), mode);
    ProfileSetKeepLayout(path.c_str(), keepLayout);
    ProfileFile *record = nullptr;
    EXPECT_EQ(ProfileOpen(path.c_str(), &record), 1);
    return record;
  }

  // Every read entry's span, in file order, taken while the bytes are as read.
  static std::vector<ProfileSpan> EntrySpans(ProfileFile *file) {
    std::vector<ProfileSpan> spans;
    ProfileRestoreFileBytes(file);
    for (const ProfileSection *s = file->firstSection; s != nullptr; s = s->next) {
      for (std::uint32_t i = 0; i < s->readEntryCount; ++i) {
        spans.push_back(ProfileReadEntrySpan(file, s, i));
      }
    }
    ProfileTerminateFileText(file);
    return spans;
  }

  static std::u16string Widened(const std::string &ascii) {
    return std::u16string(ascii.begin(), ascii.end());
  }

  static std::vector<std::string> SpanFields(const std::vector<ProfileSpan> &spans) {
    std::vector<std::string> fields;
    for (const ProfileSpan &span : spans) {
      fields.push_back(std::to_string(span.lineStart) + " " + std::to_string(span.valueOffset) +
                       " " + std::to_string(span.lineLength) + " " +
                       std::to_string(span.readQuoted) + " " + std::to_string(span.copied));
    }
    return fields;
  }

  // Sections and entries with names, values and quotes, one per line.
  static std::string Describe(const ProfileFile *file) {
    std::string out;
    for (const ProfileSection *s = file->firstSection; s != nullptr; s = s->next) {
      out += "[" + std::string(s->name) + "]\n";
      for (const ProfileEntry *e = s->firstEntry; e != nullptr; e = e->next) {
        out += std::string(e->name) + "=" + e->value + (e->quoted == 1 ? " (quoted)\n" : "\n");
      }
    }
    return out;
  }
};

TEST_F(ProfileSpans, KeepLayoutReadsAlikeAndEveryRecordKnowsItsLines) {
  const SpanCase cases[] = {
      {"lf", "x=0\n[s]\na=1\n  b = 'two' \n; note\n\n[t]\nc=\x1A\rz\n", 0},
      {"crlf", "[s]\r\na=1\r\nb=\"q\"\r\n[t] tail\r\nc=3", 0},
      {"joined", "[s]\r\na=x\\\r\ny\\\nz\r\nb=2\r\n[t\\\n]\nc=3\n", 1},
      {"stops", "[s]\na=1\n=stop\nlost=1\n[]\nlost=2\n[t]\r\r\nc=\"\"\n", 1},
      {"zero", "[s]\na=1\0hidden\nb=2\n"s, 0},
      {"utf16", Utf16File(u"[s]\r\na=\u00E9\u00E9\r\nb = v\\\r\n[t]\r\nc=\u4E2D3\r\n"), 1},
      {"utf16 names", Utf16File(u"[x\u00E9]\r\na\u00E9\u00E9 = v\r\n b\u4E2D=w\r\n"), 0},
  };
  for (const SpanCase &item : cases) {
    SCOPED_TRACE(item.name);
    const std::string path = MakeFile(std::string(item.name) + ".ini", item.bytes);
    const std::string usual = Describe(Read(path, item.mode, 0));
    ProfileFile *record = Read(path, item.mode, 1);
    ASSERT_EQ(Describe(record), usual);
    ASSERT_EQ(KeptBytes(record), item.bytes);
    ASSERT_EQ(Describe(record), usual); // ended again as they were
    const bool utf16 = record->utf16 != 0;
    // The byte at an offset: in a UTF-16 file the low byte of the unit there.
    const auto at = [&](std::size_t offset) { return item.bytes[offset]; };
    std::size_t previousEnd = utf16 ? 2 : 0;
    const std::vector<ProfileSpan> spans = EntrySpans(record);
    const bool ascii = std::none_of(item.bytes.begin(), item.bytes.end(),
                                    [](char c) { return c == '\\' || (c & 0x80) != 0; });
    if (!utf16 && ascii) {
      // Entries parsed in place have their spans found again. The same
      // ASCII text as UTF-16 has every entry copied, with spans kept as read,
      // two bytes a character behind the mark.
      EXPECT_EQ(record->apartSpanCount, 0u);
      std::vector<ProfileSpan> expected;
      for (ProfileSpan span : spans) {
        expected.push_back({2 + 2 * span.lineStart, 2 * span.valueOffset, 2 * span.lineLength,
                            span.readQuoted, 1, '\0'});
      }
      const std::string wide =
          MakeFile(std::string(item.name) + "-16.ini", Utf16File(Widened(item.bytes)));
      ProfileFile *copied = Read(wide, item.mode, 1);
      EXPECT_EQ(SpanFields(EntrySpans(copied)), SpanFields(expected));
      ProfileRelease(wide.c_str());
    }
    std::size_t next = 0;
    for (const ProfileSection *s = record->firstSection; s != nullptr; s = s->next) {
      const ProfileSpan &header = s->headerSpan;
      EXPECT_GE(header.lineStart, previousEnd);
      EXPECT_EQ(at(header.valueStart() - (utf16 ? 2 : 1)), '[') << s->name;
      EXPECT_EQ(at(header.valueStart()), s->name[0]) << s->name;
      previousEnd = header.lineEnd();
      for (std::uint32_t i = 0; i < s->readEntryCount; ++i) {
        const ProfileSpan &span = spans.at(next++);
        const ProfileEntry &entry = s->readEntries[i];
        SCOPED_TRACE(entry.name);
        EXPECT_GE(span.lineStart, previousEnd);
        EXPECT_LE(span.valueStart(), span.lineEnd());
        if (!utf16) {
          const std::string line =
              item.bytes.substr(span.lineStart, span.lineEnd() - span.lineStart);
          EXPECT_NE(line.find(entry.name), std::string::npos) << line;
        }
        // The value begins at its opening quote, or with its first character.
        const char first = entry.value[0];
        if (entry.quoted == 1) {
          EXPECT_TRUE(at(span.valueStart()) == '"' || at(span.valueStart()) == '\'');
        } else if (first != '\0' && static_cast<unsigned char>(first) < 0x80) {
          EXPECT_EQ(at(span.valueStart()), first);
        }
        // A line ends after its line feed, or where the file ends.
        EXPECT_TRUE(span.lineEnd() == item.bytes.size() ||
                    at(span.lineEnd() - (utf16 ? 2 : 1)) == '\n');
        previousEnd = span.lineEnd();
      }
    }
    ProfileRelease(path.c_str());
  }
}

} // namespace
