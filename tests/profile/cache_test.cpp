// The profile cache: find or load, registration, switches, release, eviction
// by insertion order, and the files that are never cached.
#include "profile_fixture.h"

using namespace std::string_literals;

namespace {

class ProfileCacheTest : public ProfileTest {};

std::string SectionFile(const std::string &value) {
  return "[s]\r\nk=" + value + "\r\n\r\n";
}

TEST_F(ProfileCacheTest, TheSixthFileEvictsTheOldestWhichIsWrittenBackWhenChanged) {
  std::string paths[6];
  for (int i = 0; i < 6; ++i) {
    paths[i] = MakeFile("f" + std::to_string(i) + ".ini", SectionFile(std::to_string(i)));
  }
  EXPECT_EQ(ProfileSetString("s", "k", "changed", paths[0].c_str()), 1);
  for (int i = 1; i < 5; ++i) {
    EXPECT_EQ(Get(paths[i], "s", "k"), std::to_string(i));
  }
  // A lookup does not move the oldest record to the back.
  EXPECT_EQ(Get(paths[0], "s", "k"), "changed");
  EXPECT_EQ(profileCache.count, 5u);
  EXPECT_EQ(ReadBytes(paths[0]), SectionFile("0"));

  EXPECT_EQ(Get(paths[5], "s", "k"), "5");
  EXPECT_EQ(profileCache.count, 5u);
  EXPECT_STREQ(profileCache.first->path, paths[1].c_str());
  EXPECT_STREQ(profileCache.last->path, paths[5].c_str());
  EXPECT_EQ(ReadBytes(paths[0]), SectionFile("changed"));

  // Opened again, the evicted file is read from disk anew; the clean record
  // it pushes out is not written.
  WriteBytes(paths[0], "[s]\nk=from disk\n");
  WriteBytes(paths[1], "[s]\nk=untouched\n");
  EXPECT_EQ(Get(paths[0], "s", "k"), "from disk");
  EXPECT_STREQ(profileCache.first->path, paths[2].c_str());
  EXPECT_EQ(ReadBytes(paths[1]), "[s]\nk=untouched\n");
}

TEST_F(ProfileCacheTest, ARegistrationIntoAFullCacheEvictsTheOldest) {
  std::string paths[6];
  for (int i = 0; i < 6; ++i) {
    paths[i] = MakeFile("r" + std::to_string(i) + ".ini", SectionFile(std::to_string(i)));
  }
  EXPECT_EQ(ProfileSetString("s", "k", "changed", paths[0].c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "k", "also", paths[1].c_str()), 1);
  for (int i = 2; i < 5; ++i) {
    EXPECT_EQ(Get(paths[i], "s", "k"), std::to_string(i));
  }
  ProfileRegister(paths[5].c_str());
  EXPECT_EQ(profileCache.count, 5u);
  EXPECT_STREQ(profileCache.first->path, paths[1].c_str());
  EXPECT_EQ(profileCache.last->loaded, 0);
  EXPECT_EQ(ReadBytes(paths[0]), SectionFile("changed"));
  EXPECT_EQ(ReadBytes(paths[1]), SectionFile("1"));

  // The registered record is the newest: the next registration evicts the
  // second file, and the registered one is read at its first use in place.
  ProfileRegister(Path("r6.ini").c_str());
  EXPECT_EQ(ReadBytes(paths[1]), SectionFile("also"));
  EXPECT_EQ(Get(paths[5], "s", "k"), "5");
  EXPECT_STREQ(profileCache.first->path, paths[2].c_str());
  EXPECT_STREQ(profileCache.first->next->next->next->path, paths[5].c_str());
  EXPECT_FALSE(std::filesystem::exists(Path("r6.ini")));
}

TEST_F(ProfileCacheTest, ACachedRecordIsNeverComparedWithTheDiskAgain) {
  const std::string path = MakeFile("c.ini", "[s]\nk=1\n");
  EXPECT_EQ(Get(path, "s", "k"), "1");
  WriteBytes(path, "[s]\nk=2\n");
  EXPECT_EQ(Get(path, "s", "k"), "1");
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\nk=2\n");
  EXPECT_EQ(Get(path, "s", "k"), "2");
}

TEST_F(ProfileCacheTest, ARegisteredRecordIsReadAtItsFirstUseInItsPlace) {
  const std::string missing = Path("missing.ini");
  ProfileRegister(missing.c_str());
  ASSERT_EQ(profileCache.count, 1u);
  EXPECT_EQ(profileCache.first->loaded, 0);
  // Released before any use: neither read nor written.
  ProfileRelease(missing.c_str());
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_FALSE(std::filesystem::exists(missing));

  const std::string first = MakeFile("first.ini", "[s]\nk=\"q\"\nj=a\\\nb\n");
  const std::string second = MakeFile("second.ini", "[s]\nk=2\n");
  ProfileRegister(first.c_str());
  ProfileSetSwitches(first.c_str(), 1);
  EXPECT_EQ(Get(second, "s", "k"), "2");
  EXPECT_EQ(Get(first, "s", "k"), "\"q\"");
  EXPECT_EQ(Get(first, "s", "j"), "ab");
  EXPECT_EQ(profileCache.first->loaded, 1);
  EXPECT_STREQ(profileCache.first->path, first.c_str());
  // Registration does not look for a record of the same path.
  ProfileRegister(second.c_str());
  EXPECT_EQ(profileCache.count, 3u);
}

TEST_F(ProfileCacheTest, SwitchesAndReleasesOfUncachedOrEmptyPathsChangeNothing) {
  const std::string path = MakeFile("s.ini", "[s]\nk='v'\n");
  ProfileSetSwitches(path.c_str(), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_EQ(Get(path, "s", "k"), "v");
  for (const char *empty : {static_cast<const char *>(nullptr), ""}) {
    ProfileRegister(empty);
    ProfileSetSwitches(empty, 1);
    ProfileRelease(empty);
  }
  ASSERT_EQ(profileCache.count, 1u);
  EXPECT_EQ(profileCache.first->returnQuotes, 0);
}

TEST_F(ProfileCacheTest, AMissingFileIsEmptyUntilItsFirstWriteBackCreatesIt) {
  const std::string path = Path("new.ini");
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  EXPECT_EQ(profileCache.count, 1u);
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(ProfileSetString("s", "k", "v", path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=v\r\n\r\n");
}

TEST_F(ProfileCacheTest, TwoSpellingsOfOnePathAreTwoRecordsAndTheLastToLeaveWins) {
  const std::string plain = MakeFile("a.ini", "[s]\nk=0\n");
  const std::string dotted = folder + "/./a.ini";
  EXPECT_EQ(ProfileSetString("s", "k", "plain", plain.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "k", "dotted", dotted.c_str()), 1);
  EXPECT_EQ(profileCache.count, 2u);
  ProfileRelease(dotted.c_str());
  ProfileRelease(plain.c_str());
  EXPECT_EQ(ReadBytes(plain), SectionFile("plain"));
}

TEST_F(ProfileCacheTest, ADirectoryIsRefusedAtOnceAndNeverCached) {
  const std::string directory = Path("folder.ini");
  std::filesystem::create_directory(directory);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen(directory.c_str(), &record), 0);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(Get(directory, "s", "k"), "<default>");
  EXPECT_EQ(ProfileSetString("s", "k", "v", directory.c_str()), 0);
  // Refused without the waits between open attempts.
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(profileCache.count, 0u);

  // A registered record whose file proves unreadable leaves the cache.
  ProfileRegister(directory.c_str());
  EXPECT_EQ(profileCache.count, 1u);
  EXPECT_EQ(ProfileOpen(directory.c_str(), &record), 0);
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_TRUE(std::filesystem::is_directory(directory));
}

TEST_F(ProfileCacheTest, APathOfAnyLengthIsKeptWholeForLookupAndWriteBack) {
  // Long through "./" steps rather than deep folders, which the test's own
  // file-system library could not clean up on Windows.
  const std::string directory = Path(std::string(100, 'd'));
  std::filesystem::create_directory(directory);
  std::string longDirectory = directory;
  while (longDirectory.size() < 1000) {
    longDirectory += "/.";
  }
  const std::string path = longDirectory + "/profile.ini";
  const std::string sibling = longDirectory + "/sibling.ini";
  WriteBytes(directory + "/profile.ini", "[s]\r\nk=long\r\n");
  EXPECT_EQ(Get(path, "s", "k"), "long");
  EXPECT_EQ(Get(sibling, "s", "k"), "<default>");
  EXPECT_EQ(ProfileSetString("s", "k", "kept", path.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "k", "other", sibling.c_str()), 1);
  EXPECT_EQ(profileCache.count, 2u);
  EXPECT_STREQ(profileCache.first->path, path.c_str());
  ProfileRelease(path.c_str());
  ProfileRelease(sibling.c_str());
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_EQ(ReadBytes(directory + "/profile.ini"), SectionFile("kept"));
  EXPECT_EQ(ReadBytes(directory + "/sibling.ini"), SectionFile("other"));
}

// A flush writes the changed record now and keeps it cached and clean; a
// flush that cannot write answers 0 and keeps the change for a later try.
TEST_F(ProfileCacheTest, FlushWritesNowReportsFailureAndKeepsTheChangePending) {
  EXPECT_EQ(ProfileFlush(nullptr), 1);
  EXPECT_EQ(ProfileFlush(""), 1);
  EXPECT_EQ(ProfileFlush(Path("never-used.ini").c_str()), 1);

  const std::string sub = Path("sub");
  std::filesystem::create_directory(sub);
  const std::string path = sub + "/a.ini";
  WriteBytes(path, "[S]\r\nv=1\r\n");
  ASSERT_EQ(ProfileSetString("S", "v", "2", path.c_str()), 1);
  std::filesystem::remove_all(sub); // the write-back has nowhere to go
  EXPECT_EQ(ProfileFlush(path.c_str()), 0);
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  EXPECT_EQ(record->dirty, 1);

  std::filesystem::create_directory(sub);
  EXPECT_EQ(ProfileFlush(path.c_str()), 1);
  EXPECT_EQ(ReadBytes(path), "[S]\r\nv=2\r\n\r\n");
  EXPECT_EQ(record->dirty, 0);
  EXPECT_EQ(profileCache.count, 1u);

  // Clean now: neither another flush nor the release writes over the disk.
  WriteBytes(path, "changed on disk");
  EXPECT_EQ(ProfileFlush(path.c_str()), 1);
  ProfileRelease(path.c_str());
  EXPECT_EQ(ReadBytes(path), "changed on disk");
}

} // namespace
