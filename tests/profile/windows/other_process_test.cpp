// A profile file that another process holds open (file_holder): without any
// sharing, and as the C runtime's fopen holds it for reading. Waits are
// counted, never timed.
#include "../profile_fixture.h"

#include <chrono>
#include <thread>

namespace {

class ProfileHeldByAnotherProcess : public ProfileTest {
protected:
  // The file lives in a folder of its own, so that nothing but it and what
  // the library makes beside it is there; the holder's markers stay outside.
  void SetUp() override {
    ProfileTest::SetUp();
    std::filesystem::create_directory(Path("data"));
  }

  std::string DataPath() const { return Path("data/held.ini"); }

  std::size_t FilesBesideIt() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(Path("data")),
                                                  std::filesystem::directory_iterator()));
  }

  // Starts the holder and returns once it holds the file.
  void StartHolder(const char *how) {
    const std::string program =
        std::filesystem::path(FILE_HOLDER_PROGRAM).make_preferred().string();
    const std::string command = program + " " + DataPath() + " " + how + " " + folder;
    holder = std::thread([this, command] { status = std::system(command.c_str()); });
    // Waiting for the holder to start is no wait of the library's.
    for (int i = 0; i < 3000 && !std::filesystem::exists(Path("held")); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(std::filesystem::exists(Path("held"))) << "the holder did not start";
  }

  void ReleaseHolder() {
    WriteBytes(Path("release"), "");
    holder.join();
    EXPECT_EQ(status, 0);
  }

  void TearDown() override {
    if (holder.joinable()) {
      ReleaseHolder();
    }
    ProfileTest::TearDown();
  }

  std::thread holder;
  int status = -1;
};

TEST_F(ProfileHeldByAnotherProcess, WithoutSharingOpenWaitsThroughItsAttemptsThenAnswers0) {
  const std::string stored = "[s]\r\nk=stored\r\n";
  const std::string path = DataPath();
  WriteBytes(path, stored);
  StartHolder("exclusive");
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen(path.c_str(), &record), 0);
  EXPECT_EQ(record, nullptr);
  // Another process may let go of the file: every attempt is made.
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore + ProfileOpenAttempts);
  EXPECT_EQ(profileCache.count, 0u);
  // An update cannot read the file either, so it changes nothing.
  EXPECT_EQ(ProfileSetString("s", "k", "lost", path.c_str()), 0);
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore + 2 * ProfileOpenAttempts);
  EXPECT_EQ(profileCache.count, 0u);
  ReleaseHolder();
  EXPECT_EQ(ReadBytes(path), stored);
  EXPECT_EQ(FilesBesideIt(), 1u);
  EXPECT_EQ(Get(path, "s", "k"), "stored");
}

// Windows cannot replace a file that a reader holds without delete sharing:
// the write-back waits through its attempts and answers failure; the file
// stays whole as it was, the reader reads it whole, and once the reader is
// gone the change, still held, is written.
TEST_F(ProfileHeldByAnotherProcess, AWriteBackWhileAnFopenReaderHoldsTheFileFailsAndLosesNothing) {
  const std::string before = "[s]\r\nk=old\r\n\r\n";
  const std::string after = "[s]\r\nk=new\r\n\r\n";
  const std::string path = DataPath();
  WriteBytes(path, before);
  ASSERT_EQ(ProfileSetString("s", "k", "new", path.c_str()), 1);
  StartHolder("fopen");
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(ProfileFlush(path.c_str()), 0);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "COULDN'T OPEN FILE\n");
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore + ProfileOpenAttempts);
  EXPECT_EQ(ReadBytes(path), before);
  EXPECT_EQ(FilesBesideIt(), 1u);
  ReleaseHolder();
  EXPECT_EQ(ReadBytes(Path("seen")), before);
  EXPECT_EQ(ProfileFlush(path.c_str()), 1);
  EXPECT_EQ(ReadBytes(path), after);
  EXPECT_EQ(FilesBesideIt(), 1u);
}

} // namespace
