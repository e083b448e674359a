// Write-back at the edges of what Linux allows: paths near the length limit,
// link loops, and temporary files whose writers still hold them.
#include "../profile_fixture.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace {

class ProfilePosixWriteBack : public ProfileTest {};

TEST_F(ProfilePosixWriteBack, APathNearTheLengthLimitIsWrittenBackWhereItCanBeRead) {
  MakeFile("a.ini", "[s]\nk=old\n");
  // Nearly PATH_MAX long; the temporary file's path beside it would exceed it.
  std::string path = folder;
  while (path.size() + 2 + std::strlen("/a.ini") < PATH_MAX - 16) {
    path += "/.";
  }
  path += "/a.ini";
  ASSERT_GE(path.size(), 4000u);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  EXPECT_EQ(Get(path, "s", "k"), "old");
  EXPECT_EQ(ProfileSetString("s", "k", "new", path.c_str()), 1);
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  EXPECT_EQ(ProfileWrite(record, path.c_str()), 1);
  record->dirty = 0;
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(ReadBytes(Path("a.ini")), "[s]\r\nk=new\r\n\r\n");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"a.ini"});
}

TEST_F(ProfilePosixWriteBack, ALinkLoopAndALinkIntoAMissingFolderAreRefusedAtOnce) {
  const std::string loop = Path("loop.ini");
  std::filesystem::create_symlink("loop.ini", loop);
  const std::string lost = Path("lost.ini");
  std::filesystem::create_symlink("missing/x.ini", lost);
  const std::string other = MakeFile("other.ini", "[s]\nk=1\n");
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(other.c_str(), &record), 1);

  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  EXPECT_EQ(ProfileOpen(loop.c_str(), nullptr), 0);
  EXPECT_EQ(ProfileSetString("s", "k", "v", loop.c_str()), 0);
  EXPECT_EQ(Get(loop, "s", "k"), "<default>");
  EXPECT_EQ(profileCache.count, 1u);
  for (const std::string &path : {loop, lost}) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ProfileWrite(record, path.c_str()), 0) << path;
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "COULDN'T OPEN FILE\n") << path;
  }
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{"loop.ini", "lost.ini", "other.ini"}));
}

TEST_F(ProfilePosixWriteBack, ATemporaryFileItsWriterStillLocksIsKept) {
  const std::string path = MakeFile("t.ini", "[s]\nk=1\n");
  const std::string held = Path(".t.ini.00000000000000aa.tmp");
  const std::string left = Path(".t.ini.00000000000000bb.tmp");
  WriteBytes(held, "writing");
  WriteBytes(left, "killed");
  const int writer = open(held.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(flock(writer, LOCK_EX), 0);
  EXPECT_EQ(ProfileSetString("s", "k", "2", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(FolderNames(), (std::vector<std::string>{".t.ini.00000000000000aa.tmp", "t.ini"}));
  // Its writer gone, the next write-back removes it.
  close(writer);
  EXPECT_EQ(ProfileSetString("s", "k", "3", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"t.ini"});
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=3\r\n\r\n");
}

} // namespace
