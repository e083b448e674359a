// Two processes updating one profile file at once (profile_child): each
// reads the file, changes its own entry and writes the file back whole, 200
// rounds each, while this process reads the file again and again. The file
// must always be whole, as one of the two wrote it: the last writer wins
// (the other's change of that round may be lost), and a torn file, a mixed
// one or a missing one is a defect.
#include "child/contended_file.h"
#include "platform_traits.h"
#include "profile_fixture.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

constexpr int rounds = 200;

class ProfileProcesses : public ProfileTest {};

TEST_F(ProfileProcesses, TwoWritersAlwaysLeaveAWholeFileAndTheLastOneWins) {
  const std::string path = MakeFile("contended.ini", ContendedFile(0, 0));
  const std::string program =
      std::filesystem::path(PROFILE_CHILD_PROGRAM).make_preferred().string();
  std::atomic<int> running{2};
  int statuses[2] = {-1, -1};
  std::vector<std::thread> writers;
  for (int i = 0; i < 2; ++i) {
    const std::string command =
        program + " " + path + " " + (i == 0 ? "a" : "b") + " 1 " + std::to_string(rounds);
    writers.emplace_back([command, &statuses, &running, i] {
      statuses[i] = std::system(command.c_str());
      --running;
    });
  }
  int reads = 0;
  int wholeReads = 0;
  int heldOpens = 0;
  std::string firstBad;
  while (running > 0) {
    std::string bytes;
    // Windows refuses to open a file for a moment while it is being
    // replaced (the library's readers retry), and refuses to replace a file
    // while anyone has it open; a file that is not there at all is a defect
    // like a torn one.
    if (std::FILE *file = std::fopen(path.c_str(), readingNotInherited)) {
      char chunk[65536];
      for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
        bytes.append(chunk, got);
      }
      std::fclose(file);
    } else if (errno != ENOENT) {
      // Tried again soon, as a reader would, not in a loop that keeps the
      // file busy for the writers.
      ++heldOpens;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    int roundOfA = 0;
    int roundOfB = 0;
    ++reads;
    if (IsWholeContendedFile(bytes, &roundOfA, &roundOfB)) {
      ++wholeReads;
    } else if (firstBad.empty()) {
      firstBad = bytes.empty() ? "(missing or empty)" : bytes.substr(0, 80);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (std::thread &writer : writers) {
    writer.join();
  }
  // Each child reports the rounds whose write-back failed (and said so).
  // Where readers hold off a replacement, one may fail now and then through
  // all of its attempts; elsewhere none may.
  int failures[2] = {-1, -1};
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(statuses[i], 0);
    const std::string result = path + "-" + (i == 0 ? "a" : "b") + ".result";
    failures[i] = std::atoi(ReadBytes(result).c_str());
    std::filesystem::remove(result);
  }
  const int allowedFailures = readersHoldOffReplacement ? rounds / 20 : 0;
  EXPECT_LE(failures[0], allowedFailures);
  EXPECT_LE(failures[1], allowedFailures);
  EXPECT_EQ(wholeReads, reads) << "first file that was not whole: " << firstBad;
  int roundOfA = 0;
  int roundOfB = 0;
  ASSERT_TRUE(IsWholeContendedFile(ReadBytes(path), &roundOfA, &roundOfB));
  // The last writer wins: its last round is there (unless a write-back failed).
  EXPECT_TRUE(roundOfA == rounds || roundOfB == rounds || failures[0] + failures[1] > 0)
      << roundOfA << " " << roundOfB;
  EXPECT_EQ(Get(path, "S", "a"), ContendedValue('a', roundOfA));
  EXPECT_EQ(Get(path, "S", "b"), ContendedValue('b', roundOfB));
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_GT(reads, 0);
  std::printf("%d reads of the file while two processes wrote it %d times each, all whole "
              "(%d opens refused while it was replaced); failed write-backs %d and %d; final "
              "rounds a=%d b=%d\n",
              reads, rounds, heldOpens, failures[0], failures[1], roundOfA, roundOfB);
}

} // namespace
