// Files as Linux has them: permissions, FIFOs and devices, symbolic links,
// and file names that differ in letter case only.
#include "../profile_fixture.h"

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

class ProfilePosixFiles : public ProfileTest {
protected:
  // Runs body in a child process without root's power over permissions (as
  // nobody when the tests run as root); the child's exit code, 0 when every
  // check in body held, else the number of the check that failed.
  static int RunUnprivileged(const std::function<int()> &body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        _exit(100);
      }
      _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 101;
  }

  static std::filesystem::perms Permissions(const std::string &path) {
    return std::filesystem::status(path).permissions();
  }
};

TEST_F(ProfilePosixFiles, AFileThatCannotBeReadIsNeverCachedNorOverwritten) {
  const std::string path = MakeFile("secret.ini", "[s]\nk=stored\n");
  chmod(path.c_str(), 0);
  const int failedCheck = RunUnprivileged([&path] {
    const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
    ProfileFile *record = nullptr;
    if (ProfileOpen(path.c_str(), &record) != 0 || record != nullptr) {
      return 1;
    }
    if (ProfileSetString("s", "k", "lost", path.c_str()) != 0 || profileCache.count != 0) {
      return 2;
    }
    ProfileRegister(path.c_str());
    if (ProfileGetNumber("s", "k", 5, path.c_str()) != 5 || profileCache.count != 0) {
      return 3;
    }
    // No other process lifts a permission: refused without waiting.
    return ProfileRetryWaitsTaken() == waitsBefore ? 0 : 4;
  });
  EXPECT_EQ(failedCheck, 0);
  chmod(path.c_str(), 0600);
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
}

TEST_F(ProfilePosixFiles, AFolderThatCannotBeWrittenLeavesTheFileAsItWas) {
  const std::string locked = Path("locked");
  std::filesystem::create_directory(locked);
  const std::string path = locked + "/p.ini";
  WriteBytes(path, "[s]\nk=stored\n");
  chmod(locked.c_str(), 0555);
  const int failedCheck = RunUnprivileged([&path] {
    ProfileFile *record = nullptr;
    if (ProfileSetString("s", "k", "new", path.c_str()) != 1 ||
        ProfileOpen(path.c_str(), &record) != 1) {
      return 1;
    }
    const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
    if (ProfileWrite(record, path.c_str()) != 0) {
      return 2;
    }
    record->dirty = 0;
    return ProfileRetryWaitsTaken() == waitsBefore ? 0 : 3;
  });
  chmod(locked.c_str(), 0755);
  EXPECT_EQ(failedCheck, 0);
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ProfilePosixFiles, AWriteThatFailsHalfWayLeavesTheFileAndNoTemporaryFile) {
  const std::string path = MakeFile("full.ini", "[s]\nk=stored\n");
  const std::string longValue(100000, 'x');
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    // Files may not grow beyond 4 KiB: the write fails part way, as on a
    // full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      _exit(1);
    }
    ProfileFile *record = nullptr;
    if (ProfileSetString("s", "k", longValue.c_str(), path.c_str()) != 1 ||
        ProfileOpen(path.c_str(), &record) != 1) {
      _exit(2);
    }
    const int written = ProfileWrite(record, path.c_str());
    record->dirty = 0;
    _exit(written == 0 ? 0 : 3);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                          std::filesystem::directory_iterator()),
            1);
}

TEST_F(ProfilePosixFiles, AReadOnlyFileIsNotReplacedThroughItsWritableFolder) {
  const std::string open = Path("open");
  std::filesystem::create_directory(open);
  chmod(open.c_str(), 0777);
  const std::string path = open + "/p.ini";
  WriteBytes(path, "[s]\nk=stored\n");
  chmod(path.c_str(), 0444);
  const int failedCheck = RunUnprivileged([&path] {
    ProfileFile *record = nullptr;
    if (ProfileSetString("s", "k", "new", path.c_str()) != 1 ||
        ProfileOpen(path.c_str(), &record) != 1) {
      return 1;
    }
    const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
    const int written = ProfileWrite(record, path.c_str());
    record->dirty = 0;
    if (written != 0) {
      return 2;
    }
    return ProfileRetryWaitsTaken() == waitsBefore ? 0 : 3;
  });
  EXPECT_EQ(failedCheck, 0);
  EXPECT_EQ(ReadBytes(path), "[s]\nk=stored\n");
  EXPECT_EQ(Permissions(path), std::filesystem::perms::owner_read |
                                   std::filesystem::perms::group_read |
                                   std::filesystem::perms::others_read);
}

TEST_F(ProfilePosixFiles, FifosAndDevicesAreRefusedAtOnceWithoutReading) {
  const std::string fifo = Path("pipe.ini");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  for (const std::string &path : {fifo, "/dev/zero"s, "/dev/null"s}) {
    ProfileFile *record = nullptr;
    EXPECT_EQ(ProfileOpen(path.c_str(), &record), 0) << path;
    EXPECT_EQ(ProfileSetString("s", "k", "v", path.c_str()), 0) << path;
    EXPECT_EQ(Get(path, "s", "k"), "<default>") << path;
  }
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST_F(ProfilePosixFiles, ASocketIsRefusedAtOnceThoughItCannotBeOpened) {
  const std::string socketPath = Path("socket.ini");
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen(socketPath.c_str(), &record), 0);
  EXPECT_EQ(ProfileSetString("s", "k", "v", socketPath.c_str()), 0);
  // Refused without the waits between open attempts.
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_EQ(profileCache.count, 0u);
  close(listener);
  EXPECT_TRUE(std::filesystem::is_socket(socketPath));
}

TEST_F(ProfilePosixFiles, ALinkIsFollowedAndTheFilesPermissionsAreKept) {
  const std::string target = MakeFile("target.ini", "[s]\nk=old\n");
  chmod(target.c_str(), 0640);
  const std::string link = Path("link.ini");
  std::filesystem::create_symlink("target.ini", link);
  const std::string dangling = Path("dangling.ini");
  std::filesystem::create_symlink("created.ini", dangling);

  EXPECT_EQ(Get(link, "s", "k"), "old");
  EXPECT_EQ(ProfileSetString("s", "k", "new", link.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "k", "made", dangling.c_str()), 1);
  ProfileRelease(link.c_str());
  ProfileRelease(dangling.c_str());

  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(std::filesystem::read_symlink(link), "target.ini");
  EXPECT_EQ(ReadBytes(target), "[s]\r\nk=new\r\n\r\n");
  using std::filesystem::perms;
  EXPECT_EQ(Permissions(target), perms::owner_read | perms::owner_write | perms::group_read);
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(ReadBytes(Path("created.ini")), "[s]\r\nk=made\r\n\r\n");
}

TEST_F(ProfilePosixFiles, NamesDifferingInLetterCaseAreTwoFiles) {
  const std::string upper = MakeFile("A.ini", "[s]\nk=upper\n");
  const std::string lower = MakeFile("a.ini", "[s]\nk=lower\n");
  EXPECT_EQ(Get(upper, "s", "k"), "upper");
  EXPECT_EQ(Get(lower, "s", "k"), "lower");
  EXPECT_EQ(ProfileSetString("s", "k", "UPPER", upper.c_str()), 1);
  EXPECT_EQ(ProfileSetString("s", "k", "LOWER", lower.c_str()), 1);
  ProfileRelease(upper.c_str());
  ProfileRelease(lower.c_str());
  EXPECT_EQ(ReadBytes(upper), "[s]\r\nk=UPPER\r\n\r\n");
  EXPECT_EQ(ReadBytes(lower), "[s]\r\nk=LOWER\r\n\r\n");
}

TEST_F(ProfilePosixFiles, ATemporaryFileThatCannotBeOpenedIsStaleOnlyAfterTenMinutes) {
  const std::string open = Path("open");
  std::filesystem::create_directory(open);
  chmod(open.c_str(), 0777);
  const std::string path = open + "/t.ini";
  WriteBytes(path, "[s]\nk=old\n");
  chmod(path.c_str(), 0666);
  // Without read permission, nobody can take its lock: its age must tell.
  const std::string old = open + "/.t.ini.00000000000000aa.tmp";
  const std::string recent = open + "/.t.ini.00000000000000bb.tmp";
  for (const std::string &temporary : {old, recent}) {
    WriteBytes(temporary, "left");
    chmod(temporary.c_str(), 0);
  }
  const timespec elevenMinutesAgo{time(nullptr) - 11 * 60, 0};
  const timespec times[2] = {elevenMinutesAgo, elevenMinutesAgo};
  ASSERT_EQ(utimensat(AT_FDCWD, old.c_str(), times, 0), 0);
  const int failedCheck = RunUnprivileged([&path] {
    if (ProfileSetString("s", "k", "new", path.c_str()) != 1) {
      return 1;
    }
    ProfileRelease(path.c_str());
    return 0;
  });
  EXPECT_EQ(failedCheck, 0);
  EXPECT_EQ(ReadBytes(path), "[s]\r\nk=new\r\n\r\n");
  EXPECT_FALSE(std::filesystem::exists(old));
  EXPECT_TRUE(std::filesystem::exists(recent));
}

} // namespace
