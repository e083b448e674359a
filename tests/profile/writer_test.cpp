// The writer: the exact bytes written, stability across write and read, and
// write-back that never leaves a damaged file.
#include "profile_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace std::string_literals;

namespace {

class ProfileWriter : public ProfileTest {
protected:
  // Loads path and writes its record back at once; the bytes written.
  std::string WriteBack(const std::string &path) {
    ProfileFile *record = nullptr;
    EXPECT_EQ(ProfileOpen(path.c_str(), &record), 1);
    EXPECT_EQ(ProfileWrite(record, path.c_str()), 1);
    return ReadBytes(path);
  }

  // Names in folder that are not among the given ones: leftovers.
  std::vector<std::string> OtherFiles(const std::vector<std::string> &known) const {
    std::vector<std::string> others;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
      const std::string name = item.path().filename().string();
      if (std::find(known.begin(), known.end(), name) == known.end()) {
        others.push_back(name);
      }
    }
    return others;
  }
};

TEST_F(ProfileWriter, WritesHeadersEntriesAndOneEmptyLinePerSection) {
  const std::string path = MakeFile("layout.ini", "stray=1\nnot a header\n"
                                                  "[ Main ]\n  key =  value  \n; note\nb='x'\n"
                                                  "[empty]\n"
                                                  "[last]\nq=\"a\"b\"\nz=\n");
  EXPECT_EQ(ProfileSetString("added", "n", "1", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[ Main ]\r\nkey=value\r\nb=\"x\"\r\n\r\n"
                             "[empty]\r\n\r\n"
                             "[last]\r\nq=\"a\"b\"\r\nz=\r\n\r\n"
                             "[added]\r\nn=1\r\n\r\n");
}

TEST_F(ProfileWriter, ARecordWithoutSectionsIsWrittenAsAnEmptyFile) {
  const std::string path = MakeFile("empty.ini", "[a]\nk=1\n[b]\n");
  EXPECT_EQ(ProfileSetString("a", "", "", path.c_str()), 1);
  EXPECT_EQ(ProfileSetString("b", nullptr, "", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_EQ(ReadBytes(path), "");
}

TEST_F(ProfileWriter, WritingReadingAndWritingAgainGivesTheSameBytes) {
  const std::pair<std::string, std::string> sources[] = {
      {"messy", "x\n[ A ]\r\n k = 'v' \r\nj=\"\"\n=stop\nignored=1\n[b]]\nt=a\tb\rc\n[c]\\\n"},
      {"wide", Utf16File(u"[w]\r\nk=\u00E9\\\r\nq=' x '\r\n")},
      {"joined", "[s]\nk=a\\\nb\\\n[t]\nu=c:\\dir\\"},
  };
  for (std::uint32_t mode : {0u, 1u}) {
    for (const auto &[name, bytes] : sources) {
      const std::string path = MakeFile(name + std::to_string(mode) + ".ini", bytes);
      OpenInMode(path, mode);
      const std::string first = WriteBack(path);
      OpenInMode(path, mode);
      EXPECT_EQ(WriteBack(path), first) << path;
    }
  }
  EXPECT_EQ(ReadBytes(Path("messy0.ini")),
            "[ A ]\r\nk=\"v\"\r\nj=\"\"\r\n\r\n[b]]\r\nt=a\tb\rc\r\n\r\n[c]\r\n\r\n");
  // Joined, the lines swallow the header [t]; written as one line each.
  EXPECT_EQ(ReadBytes(Path("joined1.ini")), "[s]\r\nk=ab[t]\r\nu=c:\\dir\\ \r\n\r\n");
}

TEST_F(ProfileWriter, AValueEndingInABackslashDoesNotJoinTheNextLineWhenReadBack) {
  const std::string path = Path("paths.ini");
  OpenInMode(path, 1);
  EXPECT_EQ(ProfileSetString("s", "dir", "C:\\temp\\", path.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "next", "1", path.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "quoted", "'C:\\q\\'", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\ndir=C:\\temp\\ \r\nnext=1\r\nquoted=\"C:\\q\\\"\r\n\r\n");
  OpenInMode(path, 1);
  EXPECT_EQ(EntryNames(path, "s"), "dir\0next\0quoted\0"s);
  EXPECT_EQ(Get(path, "s", "dir"), "C:\\temp\\");
  // Without continuation the layout is exactly the records.
  OpenInMode(path, 0);
  EXPECT_EQ(ProfileSetString("s", "dir", "D:\\", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\ndir=D:\\\r\nnext=1\r\nquoted=\"C:\\q\\\"\r\n\r\n");
}

// Entry lines of every length, quoted or not, some needing the space that
// keeps a trailing backslash from joining the next line, come out exactly as
// the records say wherever they fall against the writer's 64 KiB blocks.
TEST_F(ProfileWriter, EntryLinesAreExactWhereverTheyFallAgainstTheWritersBlocks) {
  const std::string path = Path("blocks.ini");
  OpenInMode(path, 1);
  std::uint32_t state = 12345;
  const auto below = [&state](std::uint32_t limit) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % limit;
  };
  std::string expected;
  for (int section = 0; section < 3; ++section) {
    const std::string name = "section" + std::to_string(section);
    expected += "[" + name + "]\r\n";
    for (int i = 0; i < 700; ++i) {
      std::string inner(below(300), 'a');
      for (char &c : inner) {
        c = static_cast<char>('a' + below(26));
      }
      if (below(4) == 0) {
        inner += '\\';
      }
      const std::uint32_t kind = inner.empty() ? 0 : below(3); // plain, 'quoted', "quoted"
      const std::string value = kind == 0   ? inner
                                : kind == 1 ? "'" + inner + "'"
                                            : "\"" + inner + "\"";
      const std::string entry = "e" + std::to_string(i);
      ASSERT_EQ(ProfileSetString(name.c_str(), entry.c_str(), value.c_str(), path.c_str()), 1);
      const bool guard = kind == 0 && !inner.empty() && inner.back() == '\\';
      expected +=
          entry + "=" + (kind == 0 ? inner : "\"" + inner + "\"") + (guard ? " " : "") + "\r\n";
    }
    expected += "\r\n";
  }
  ASSERT_GT(expected.size(), 3u * 65536u);
  ProfileRelease(path.c_str());
  EXPECT_TRUE(ReadBytes(path) == expected);
}

TEST_F(ProfileWriter, AUtf16FileIsWrittenBackAsAnsiTextWithoutAMark) {
  const std::string path = MakeFile("u.ini", Utf16File(u"[s]\r\nk=caf\u00E9\r\n"));
  EXPECT_EQ(Get(path, "s", "k").substr(0, 3), "caf");
  const std::string value = Get(path, "s", "k");
  EXPECT_EQ(ProfileSetString("s", "n", "1", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=" + value + "\r\nn=1\r\n\r\n");
}

TEST_F(ProfileWriter, AHundredThousandByteValueSurvivesWriteBackWhole) {
  const std::string longValue(100000, 'x');
  const std::string path = MakeFile("big.ini", "[s]\r\nbig=" + longValue + "\r\ntail=1\r\n");
  EXPECT_EQ(ProfileSetString("s", "tail", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nbig=" + longValue + "\r\ntail=2\r\n\r\n");
  EXPECT_EQ(Get(path, "s", "big"), longValue);
}

TEST_F(ProfileWriter, ReplacingAFileLeavesNoTemporaryFileBehind) {
  const std::string path = MakeFile("r.ini", std::string(5000, 'o'));
  EXPECT_EQ(ProfileSetString("s", "k", "v", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n\r\n");
  EXPECT_EQ(OtherFiles({"r.ini"}), std::vector<std::string>());
}

TEST_F(ProfileWriter, AFileThatCannotBeCreatedIsReportedAtOnceAndTheHostsRandIsUntouched) {
  const std::string path = Path("no such folder/x.ini");
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  EXPECT_EQ(ProfileSetString("s", "k", "v", path.c_str()), 1);
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);

  std::srand(1234);
  const int expected = std::rand();
  std::srand(1234);
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ProfileWrite(record, path.c_str()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "COULDN'T OPEN FILE\n");
  // No other process can create the folder for it: not waited for.
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(std::rand(), expected);
  EXPECT_FALSE(std::filesystem::exists(Path("no such folder")));
  record->dirty = 0;
}

TEST_F(ProfileWriter, TemporaryFilesThatKilledWriteBacksLeftAreRemovedByTheNextOne) {
  const std::string path = MakeFile("t.ini", "[s]\nk=1\n");
  const std::vector<std::string> stale = {".t.ini.0123456789abcdef.tmp",
                                          ".t.ini.fedcba9876543210.tmp"};
  // Not the target's, or not the form of a temporary name: left alone.
  const std::vector<std::string> kept = {
      "t.ini",
      ".u.ini.0123456789abcdef.tmp",
      ".t.ini.0123456789abcde.tmp",
      ".t.ini.0123456789abcdef0.tmp",
      ".t.ini.0123456789abcdeg.tmp",
      ".t.ini.0123456789abcdef.tmp.bak",
      ".t.ini.0123456789abcdef.tm",
      "t.ini.0123456789abcdef.tmp",
      "..t.ini.0123456789abcdef.tmp",
  };
  for (const auto &name : stale) {
    WriteBytes(Path(name), "left by a killed writer");
  }
  for (std::size_t i = 1; i < kept.size(); ++i) {
    WriteBytes(Path(kept[i]), "someone else's");
  }
  std::filesystem::create_directory(Path(".t.ini.1111111111111111.tmp"));
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\n\r\n");
  std::vector<std::string> expected = kept;
  expected.push_back(".t.ini.1111111111111111.tmp");
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> names = OtherFiles({});
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, expected);
  for (std::size_t i = 1; i < kept.size(); ++i) {
    EXPECT_EQ(ReadBytes(Path(kept[i])), "someone else's") << kept[i];
  }
}

TEST_F(ProfileWriter, ATargetWhoseNameFillsTheLimitIsWrittenBackBesideItsStaleTemporaryFile) {
  // 250 characters: the temporary name is cut short to stay within 255.
  const std::string name = std::string(246, 'n') + ".ini";
  const std::string path = MakeFile(name, "[s]\nk=1\n");
  const std::string stale = "." + name.substr(0, 233) + ".00000000000000ff.tmp";
  ASSERT_EQ(stale.size(), 255u);
  WriteBytes(Path(stale), "left by a killed writer");
  ASSERT_EQ(OtherFiles({name}), std::vector<std::string>{stale});
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\n\r\n");
  EXPECT_EQ(OtherFiles({name}), std::vector<std::string>());
}

TEST_F(ProfileWriter, RetryWaitsLieBetween30And279Milliseconds) {
  std::uint32_t lowest = 1000;
  std::uint32_t highest = 0;
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t wait = ProfileRetryWait();
    lowest = wait < lowest ? wait : lowest;
    highest = wait > highest ? wait : highest;
  }
  EXPECT_EQ(lowest, 30u);
  EXPECT_EQ(highest, 279u);
}

} // namespace
