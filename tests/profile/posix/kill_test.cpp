// Write-backs killed at random moments: the file is always the old or the
// new one, whole, and the next write-back leaves nothing of theirs behind.
#include "../profile_fixture.h"

#include "platform/file_access.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int KillsPerKind = 15;

class ProfileKilledWriteBack : public ProfileTest {
protected:
  // A file of some megabytes, in exactly the layout the writer gives it.
  static std::string Contents(const std::string &firstValue) {
    std::string bytes = "[s]\r\nk0=" + firstValue + "\r\n";
    for (int i = 1; i < 700; ++i) {
      bytes += "k" + std::to_string(i) + "=" + std::string(3000, static_cast<char>('a' + i % 26)) +
               "\r\n";
    }
    return bytes + "\r\n";
  }

  // Runs one write-back of "new" in a child process, killed `delay` after
  // it has read the file (never when delay is negative). Whether it was
  // killed before it exited, and how long it ran after reading.
  static std::pair<bool, std::chrono::microseconds>
  WriteBackInChild(const std::string &path, bool unnamed, std::chrono::microseconds delay) {
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      close(ready[0]);
      AllowUnnamedTemporaryFiles(unnamed);
      const int changed = ProfileSetString("s", "k0", "new", path.c_str());
      if (write(ready[1], "r", 1) != 1 || changed != 1) {
        _exit(2);
      }
      ProfileRelease(path.c_str());
      _exit(0);
    }
    close(ready[1]);
    char signal = 0;
    EXPECT_EQ(read(ready[0], &signal, 1), 1);
    close(ready[0]);
    const auto start = std::chrono::steady_clock::now();
    if (delay.count() >= 0) {
      std::this_thread::sleep_for(delay);
      kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
    return {WIFSIGNALED(status), std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::steady_clock::now() - start)};
  }

  // Read in one go: byte by byte takes long under the sanitizers.
  static std::string ReadWhole(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(std::filesystem::file_size(path), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }

  // Everything in the folder but the target must be one of its temporary files.
  std::size_t TemporaryFilesLeft(const std::string &target) const {
    std::size_t count = 0;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
      const std::string name = item.path().filename().string();
      if (name == target) {
        continue;
      }
      EXPECT_EQ(name.rfind("." + target + ".", 0), 0u) << name;
      EXPECT_EQ(name.size(), target.size() + 22) << name;
      ++count;
    }
    return count;
  }
};

TEST_F(ProfileKilledWriteBack, LeavesTheOldOrTheNewFileAndNothingAfterTheNextWriteBack) {
  const std::string oldBytes = Contents("old");
  const std::string newBytes = Contents("new");
  std::mt19937 random(20240611);
  for (const bool unnamed : {true, false}) {
    const std::string name = unnamed ? "unnamed.ini" : "named.ini";
    const std::string path = MakeFile(name, oldBytes);
    // One write-back left to finish tells how long one takes, so that the
    // kills fall across all of it.
    const auto [killed, span] = WriteBackInChild(path, unnamed, std::chrono::microseconds(-1));
    EXPECT_FALSE(killed);
    EXPECT_EQ(ReadWhole(path), newBytes);

    int kills = 0;
    int replaced = 0;
    std::size_t mostLeft = 0;
    std::uniform_int_distribution<long> moment(0, span.count());
    for (int kill = 0; kill < KillsPerKind; ++kill) {
      WriteBytes(path, oldBytes);
      kills += WriteBackInChild(path, unnamed, std::chrono::microseconds(moment(random))).first;
      const std::string bytes = ReadWhole(path);
      EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << name << ", kill " << kill;
      replaced += bytes == newBytes;
      mostLeft = std::max(mostLeft, TemporaryFilesLeft(name));
    }
    RecordProperty(name + ".killedBeforeExit", kills);
    RecordProperty(name + ".replaced", replaced);
    RecordProperty(name + ".mostTemporaryFilesLeft", static_cast<int>(mostLeft));

    EXPECT_EQ(ProfileSetString("s", "k0", "last", path.c_str()), 1);
    ProfileRelease(path.c_str());
    EXPECT_EQ(ReadWhole(path), Contents("last"));
    EXPECT_EQ(TemporaryFilesLeft(name), 0u);
    std::filesystem::remove(path);
  }
}

} // namespace
