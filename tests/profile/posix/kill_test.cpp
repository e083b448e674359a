// Write-backs killed at random moments: the file is always the old or the
// new one, whole, and the next write-back leaves nothing of theirs behind.
// Both writers are killed, the standard one and the one keeping the layout,
// each with unnamed and with named temporary files. Only kills of a writer
// that was still running count.
//
// SETTINGSSTORE_PROFILE_KILLS sets the kills of a running writer per writer
// (30 by default, half with each kind of temporary file), and
// SETTINGSSTORE_PROFILE_KILL_MB the file's size in megabytes (4 by
// default); the figures reported for the library come from runs of 300
// kills of a file of tens of megabytes.
#include "../profile_fixture.h"

#include "platform/file_access.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <random>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

int Setting(const char *name, int fallback) {
  const char *text = std::getenv(name);
  return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

class ProfileKilledWriteBack : public ProfileTest {
protected:
  // A file of the given size, with the first entry's value. In the
  // standard layout it has exactly the bytes the writer gives it; kept in
  // its layout it has comments, spacing and LF line ends, which the
  // writer must keep.
  static std::string Contents(const std::string &firstValue, bool keepLayout, std::size_t size) {
    const std::string end = keepLayout ? "\n" : "\r\n";
    std::string bytes = keepLayout ? "; written by hand\n[s]\nk0 = " + firstValue + end
                                   : "[s]\r\nk0=" + firstValue + end;
    for (int i = 1; bytes.size() < size; ++i) {
      if (keepLayout && i % 100 == 0) {
        bytes += "; entries from " + std::to_string(i) + " on" + end;
      }
      bytes += "k" + std::to_string(i) + (keepLayout ? " = " : "=") +
               std::string(3000, static_cast<char>('a' + i % 26)) + end;
    }
    return keepLayout ? bytes : bytes + "\r\n";
  }

  // Runs one write-back of "new" in a child process, killed `delay` after
  // it has read the file (never when delay is negative). Whether it was
  // killed before it exited, and how long it ran after reading.
  static std::pair<bool, std::chrono::microseconds>
  WriteBackInChild(const std::string &path, bool unnamed, bool keepLayout,
                   std::chrono::microseconds delay) {
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      close(ready[0]);
      AllowUnnamedTemporaryFiles(unnamed);
      ProfileRegister(path.c_str());
      ProfileSetKeepLayout(path.c_str(), keepLayout ? 1 : 0);
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
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    EXPECT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
    return {killed, std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)};
  }

  // Everything in the folder but the target must be one of its temporary
  // files; their names.
  std::set<std::string> TemporaryFiles(const std::string &target) const {
    std::set<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
      const std::string name = item.path().filename().string();
      if (name == target) {
        continue;
      }
      EXPECT_EQ(name.rfind("." + target + ".", 0), 0u) << name;
      EXPECT_EQ(name.size(), target.size() + 22) << name;
      names.insert(name);
    }
    return names;
  }

  // Kills writers of one kind until `wanted` of them were killed while
  // running; every time the file is the old or the new one.
  void KillWriters(bool keepLayout, bool unnamed, int wanted, std::size_t size,
                   std::mt19937 &random) {
    const std::string name =
        std::string(keepLayout ? "layout-" : "") + (unnamed ? "unnamed.ini" : "named.ini");
    const std::string oldBytes = Contents("old", keepLayout, size);
    const std::string newBytes = Contents("new", keepLayout, size);
    const std::string path = MakeFile(name, oldBytes);
    // A write-back left to finish tells how long one takes, so that the
    // kills fall across all of it and a little beyond, where the new file
    // is in place; one in ten is measured so, so that the moments follow a
    // machine that grows busier or quieter.
    std::chrono::microseconds span{0};
    const auto measure = [&] {
      WriteBytes(path, oldBytes);
      const auto [killed, ran] =
          WriteBackInChild(path, unnamed, keepLayout, std::chrono::microseconds(-1));
      EXPECT_FALSE(killed);
      span = ran;
      return ReadBytes(path) == newBytes;
    };

    int kills = 0;
    int calls = 0;
    int oldFiles = 0;
    int newFiles = 0;
    int leavingTemporaryFiles = 0;
    std::size_t mostLeft = 0;
    std::set<std::string> seen;
    while (kills < wanted && calls < 6 * wanted) {
      if (calls % 10 == 0) {
        ASSERT_TRUE(measure()) << name << ": a write-back left to finish";
      }
      WriteBytes(path, oldBytes);
      std::uniform_int_distribution<long> moment(0, span.count() + span.count() / 10);
      const bool killed =
          WriteBackInChild(path, unnamed, keepLayout, std::chrono::microseconds(moment(random)))
              .first;
      ++calls;
      const std::string bytes = ReadBytes(path);
      ASSERT_TRUE(bytes == oldBytes || bytes == newBytes) << name << ", kill call " << calls;
      const std::set<std::string> left = TemporaryFiles(name);
      const bool leftOne = std::any_of(
          left.begin(), left.end(), [&](const std::string &file) { return seen.count(file) == 0; });
      seen.insert(left.begin(), left.end());
      if (killed) {
        ++kills;
        oldFiles += bytes == oldBytes;
        newFiles += bytes == newBytes;
        leavingTemporaryFiles += leftOne;
      }
      mostLeft = std::max(mostLeft, left.size());
    }
    EXPECT_EQ(kills, wanted) << name << ": too many writers finished before their kill";
    EXPECT_GT(oldFiles, 0) << name << ": no kill fell before the replace";

    // The next write-back leaves no temporary file, whatever the kills left.
    ProfileRegister(path.c_str());
    ProfileSetKeepLayout(path.c_str(), keepLayout ? 1 : 0);
    EXPECT_EQ(ProfileSetString("s", "k0", "last", path.c_str()), 1);
    ProfileRelease(path.c_str());
    EXPECT_TRUE(ReadBytes(path) == Contents("last", keepLayout, size)) << name;
    EXPECT_TRUE(TemporaryFiles(name).empty()) << name;
    std::filesystem::remove(path);

    RecordProperty(name + ".killsOfARunningWriter", kills);
    RecordProperty(name + ".oldFiles", oldFiles);
    RecordProperty(name + ".newFiles", newFiles);
    RecordProperty(name + ".killsLeavingATemporaryFile", leavingTemporaryFiles);
    std::printf("%s, %zu bytes: %d kills of a running writer (%d kill calls, a write-back "
                "taking %ld us when last measured); old file %d, new file %d; %d kills left a "
                "temporary file "
                "(at most %zu at once), none was left after the next write-back\n",
                name.c_str(), oldBytes.size(), kills, calls, static_cast<long>(span.count()),
                oldFiles, newFiles, leavingTemporaryFiles, mostLeft);
  }
};

TEST_F(ProfileKilledWriteBack, LeavesTheOldOrTheNewFileAndNothingAfterTheNextWriteBack) {
  const int kills = Setting("SETTINGSSTORE_PROFILE_KILLS", 30);
  const auto size = static_cast<std::size_t>(Setting("SETTINGSSTORE_PROFILE_KILL_MB", 4)) << 20;
  std::mt19937 random(20240611);
  for (const bool keepLayout : {false, true}) {
    for (const bool unnamed : {true, false}) {
      SCOPED_TRACE(std::string(keepLayout ? "keep-layout" : "standard") +
                   (unnamed ? ", unnamed" : ", named"));
      KillWriters(keepLayout, unnamed, unnamed ? kills - kills / 2 : kills / 2, size, random);
    }
  }
}

} // namespace
