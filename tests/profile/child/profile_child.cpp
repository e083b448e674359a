// The other process of the profile process tests:
//   profile_child <path> <entry> <first round> <last round>
// For each round: reads the file (it is not cached), sets the entry to that
// round's value, writes the file back and releases it. At the end it writes
// the number of rounds whose write-back failed into <path>-<entry>.result;
// the exit status is 0 when that file was written. After ten failures in a
// row it stops, counting the rounds left as failed, so that a write-back
// that never succeeds fails the test in seconds rather than minutes.
#include "child/contended_file.h"
#include "profile/profile.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char **argv) {
  if (argc != 5 || argv[2][0] == '\0' || argv[2][1] != '\0') {
    std::fprintf(stderr, "usage: profile_child <path> <entry letter> <first> <last>\n");
    return 101;
  }
  const char *path = argv[1];
  const char entry[] = {argv[2][0], '\0'};
  constexpr int failuresInARowToStop = 10;
  int failures = 0;
  int inARow = 0;
  const int last = std::atoi(argv[4]);
  for (int round = std::atoi(argv[3]); round <= last; ++round) {
    const std::string value = ContendedValue(entry[0], round);
    const bool written =
        ProfileSetString("S", entry, value.c_str(), path) == 1 && ProfileFlush(path) == 1;
    ProfileRelease(path);
    failures += written ? 0 : 1;
    inARow = written ? 0 : inARow + 1;
    if (inARow == failuresInARowToStop) {
      failures += last - round;
      break;
    }
  }
  const std::string result = std::string(path) + "-" + entry + ".result";
  std::FILE *out = std::fopen(result.c_str(), "w");
  const bool reported = out != nullptr && std::fprintf(out, "%d\n", failures) > 0;
  return out != nullptr && std::fclose(out) == 0 && reported ? 0 : 1;
}
