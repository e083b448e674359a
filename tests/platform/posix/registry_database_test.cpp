// Registry databases that cannot be read: the registry functions answer an
// error, and the file stays as it was. The other process runs
// registry_child without root's power over permissions.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string ReadFile(const std::filesystem::path &file) {
  std::ifstream stream(file, std::ios::binary);
  std::ostringstream contents;
  contents << stream.rdbuf();
  return contents.str();
}

// What registry_child prints for arguments, run (as nobody when we are root)
// against the database at path.
std::string RunUnprivileged(const std::string &arguments, const std::string &database) {
  int output[2];
  if (pipe(output) != 0) {
    return "no pipe";
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(output[1], STDOUT_FILENO);
    close(output[0]);
    close(output[1]);
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(100);
    }
    setenv("SETTINGSSTORE_REGISTRY", database.c_str(), 1);
    const std::string command = std::string("exec '") + REGISTRY_CHILD_PROGRAM + "' " + arguments;
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char *>(nullptr));
    _exit(101);
  }
  close(output[1]);
  std::string printed;
  char buffer[256];
  for (ssize_t got; (got = read(output[0], buffer, sizeof buffer)) > 0;) {
    printed.append(buffer, static_cast<std::size_t>(got));
  }
  close(output[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return printed;
}

TEST(RegistryDatabaseFile, AnUnreadableDatabaseAnswersCantOpenAndIsKept) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "settingsstore-unreadable-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  const std::filesystem::path database = folder / "registry.db";
  // A real registry, made by a process of its own, then closed to everyone.
  ASSERT_EQ(system(("SETTINGSSTORE_REGISTRY='" + database.string() + "' '" +
                    REGISTRY_CHILD_PROGRAM + "' set Software x 1 >/dev/null")
                       .c_str()),
            0);
  const std::string before = ReadFile(database);
  ASSERT_FALSE(before.empty());
  chmod(folder.c_str(), 0777);
  chmod(database.c_str(), 0);
  EXPECT_EQ(RunUnprivileged("get Software x", database), "1011"); // ERROR_CANTOPEN
  EXPECT_EQ(RunUnprivileged("set Software y 2", database), "1011");
  chmod(database.c_str(), 0600);
  EXPECT_TRUE(ReadFile(database) == before);
  std::filesystem::remove_all(folder);
}

} // namespace
