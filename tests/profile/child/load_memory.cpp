// The peak memory of loading one profile file (Linux):
//   profile_load_memory <path> <keep-layout: 0|1>
// Prints "<peak before> <peak after> <sections>": the process's peak
// resident memory (VmHWM, in kB) before and after ProfileOpen of the file,
// and the number of sections read. Exit status 0 when the file was read.
#include "profile/profile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long PeakKilobytes() {
  std::FILE *status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) {
    return -1;
  }
  long peak = -1;
  char line[256];
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) {
      peak = std::atol(line + 6);
    }
  }
  std::fclose(status);
  return peak;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: profile_load_memory <path> <keep-layout: 0|1>\n");
    return 101;
  }
  const long before = PeakKilobytes();
  ProfileRegister(argv[1]);
  ProfileSetKeepLayout(argv[1], std::atoi(argv[2]) != 0 ? 1 : 0);
  ProfileFile *file = nullptr;
  if (ProfileOpen(argv[1], &file) != 1 || file == nullptr) {
    return 2;
  }
  const long after = PeakKilobytes();
  std::printf("%ld %ld %u\n", before, after, file->sectionCount);
  ProfileRelease(argv[1]);
  return before > 0 && after > 0 ? 0 : 3;
}
