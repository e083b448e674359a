// Files as Windows has them: files held by another opener, devices, letter
// case, and attributes kept across write-back.
#include "../profile_fixture.h"

namespace {

class ProfileWindowsFiles : public ProfileTest {
protected:
  // Opens path the way another process would hold it.
  static HANDLE Hold(const std::string &path, DWORD share) {
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

TEST_F(ProfileWindowsFiles, AFileHeldByAnotherOpenerIsNeverCachedNorOverwritten) {
  const std::string path = MakeFile("held.ini", "[s]\nk=stored\n");
  HANDLE holder = Hold(path, 0);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen(path.c_str(), &record), 0);
  EXPECT_EQ(ProfileSetString("s", "k", "lost", path.c_str()), 0);
  EXPECT_EQ(profileCache.count, 0u);
  CloseHandle(holder);
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
  EXPECT_EQ(Get(path, "s", "k"), "stored");
}

TEST_F(ProfileWindowsFiles, ATargetThatCannotBeReplacedIsLeftAsItWas) {
  const std::string path = MakeFile("busy.ini", "[s]\nk=stored\n");
  EXPECT_EQ(ProfileSetString("s", "k", "new", path.c_str()), 1);
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  // Readers that do not share deletion keep the file from being replaced.
  HANDLE holder = Hold(path, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ProfileWrite(record, path.c_str()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "COULDN'T OPEN FILE\n");
  // Another process may let go of the file: every attempt is made.
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore + 10);
  CloseHandle(holder);
  record->dirty = 0;
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ProfileWindowsFiles, AReadOnlyFileIsNotReplaced) {
  const std::string path = MakeFile("readonly.ini", "[s]\nk=stored\n");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ProfileSetString("s", "k", "new", path.c_str()), 1);
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ProfileWrite(record, path.c_str()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "COULDN'T OPEN FILE\n");
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  record->dirty = 0;
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
}

TEST_F(ProfileWindowsFiles, DevicesAreRefusedAtOnce) {
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen("NUL", &record), 0);
  EXPECT_EQ(ProfileSetString("s", "k", "v", "NUL"), 0);
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(profileCache.count, 0u);
}

TEST_F(ProfileWindowsFiles, ABusyNamedPipeIsRefusedAtOnce) {
  const std::string pipe = "\\\\.\\pipe\\" + folder;
  HANDLE server =
      CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 512, 512, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  // The one instance taken, every further open is told the pipe is busy.
  HANDLE client = CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  ASSERT_NE(client, INVALID_HANDLE_VALUE);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen(pipe.c_str(), &record), 0);
  EXPECT_EQ(ProfileSetString("s", "k", "v", pipe.c_str()), 0);
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(profileCache.count, 0u);
  CloseHandle(client);
  CloseHandle(server);
}

TEST_F(ProfileWindowsFiles, NamesDifferingInLetterCaseShareOneRecord) {
  const std::string lower = MakeFile("a.ini", "[s]\nk=1\n");
  const std::string upper = Path("A.INI");
  EXPECT_EQ(ProfileSetString("s", "k", "2", upper.c_str()), 1);
  EXPECT_EQ(Get(lower, "s", "k"), "2");
  EXPECT_EQ(profileCache.count, 1u);
  ProfileRelease(lower.c_str());
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_EQ(ReadBytes(lower), "[s]\r\nk=2\r\n\r\n");
}

TEST_F(ProfileWindowsFiles, AttributesOfTheFileAreKept) {
  const std::string path = MakeFile("hidden.ini", "[s]\nk=1\n");
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\n\r\n");
  EXPECT_NE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(ProfileWindowsFiles, NamesThatNoRetryCanMendAreRefusedAtOnce) {
  // A drive letter that names no drive.
  const DWORD drives = GetLogicalDrives();
  char letter = 'Z';
  while (letter > 'D' && (drives & (1u << (letter - 'A'))) != 0) {
    --letter;
  }
  ASSERT_GT(letter, 'D');
  const std::string paths[] = {Path("a|b.ini"), std::string(1, letter) + ":\\x.ini",
                               Path("no folder\\x.ini")};
  const std::string other = MakeFile("other.ini", "[s]\nk=1\n");
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(other.c_str(), &record), 1);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  for (const std::string &path : paths) {
    EXPECT_EQ(Get(path, "s", "k"), "<default>") << path;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ProfileWrite(record, path.c_str()), 0) << path;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "COULDN'T OPEN FILE\n") << path;
    ProfileRelease(path.c_str());
  }
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(profileCache.count, 1u);
}

TEST_F(ProfileWindowsFiles, ATemporaryFileItsWriterStillHoldsIsKept) {
  const std::string path = MakeFile("t.ini", "[s]\nk=1\n");
  const std::string held = Path(".t.ini.00000000000000aa.tmp");
  const std::string left = Path(".T.INI.00000000000000bb.tmp");
  WriteBytes(held, "writing");
  WriteBytes(left, "killed");
  HANDLE writer = Hold(held, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_TRUE(std::filesystem::exists(held));
  EXPECT_FALSE(std::filesystem::exists(left));
  // Its writer gone, the next write-back removes it.
  CloseHandle(writer);
  EXPECT_EQ(ProfileSetString("s", "k", "3", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=3\r\n\r\n");
}

TEST_F(ProfileWindowsFiles, ATargetJustShortOfMaxPathIsWrittenBack) {
  // Its temporary file's path goes beyond MAX_PATH: only the long form holds it.
  char current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryA(MAX_PATH, current), 0u);
  const std::string prefix = std::string(current) + "\\" + folder + "\\";
  const std::string path = prefix + std::string(MAX_PATH - 20 - prefix.size(), 'p') + ".ini";
  ASSERT_EQ(path.size(), MAX_PATH - 16u);
  WriteBytes(path, "[s]\nk=1\n");
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=2\r\n\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
}

} // namespace
