// A write-back while another process holds the file open for reading with
// the C library's fopen: the new file takes the old one's place at once,
// without a wait, and the reader goes on reading the old file, whole.
#include "../profile_fixture.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

class ProfileHeldByAnotherProcess : public ProfileTest {};

TEST_F(ProfileHeldByAnotherProcess, AWriteBackWhileAnFopenReaderHoldsTheFileReplacesItAtOnce) {
  const std::string before = "[s]\r\nk=old\r\n\r\n";
  const std::string after = "[s]\r\nk=new\r\n\r\n";
  const std::string path = MakeFile("held.ini", before);
  const std::string seen = Path("seen");
  ASSERT_EQ(ProfileSetString("s", "k", "new", path.c_str()), 1);
  int held[2];
  int release[2];
  ASSERT_EQ(pipe(held), 0);
  ASSERT_EQ(pipe(release), 0);
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    // Holds the file, then reads it whole through the stream it held.
    std::FILE *in = std::fopen(path.c_str(), "rb");
    char signal = 0;
    if (in == nullptr || write(held[1], "h", 1) != 1 || read(release[0], &signal, 1) != 1) {
      _exit(2);
    }
    std::string bytes;
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;) {
      bytes.append(block, got);
    }
    std::fclose(in);
    WriteBytes(seen, bytes);
    _exit(0);
  }
  char signal = 0;
  ASSERT_EQ(read(held[0], &signal, 1), 1);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  EXPECT_EQ(ProfileFlush(path.c_str()), 1);
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(ReadBytes(path), after);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(write(release[1], "r", 1), 1);
  int status = -1;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  for (int end : {held[0], held[1], release[0], release[1]}) {
    close(end);
  }
  EXPECT_EQ(ReadBytes(seen), before);
}

} // namespace
