// Registry databases that cannot be read or written: the registry functions
// answer an error for what they cannot do, and the file stays as it was. The other process runs
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
// against the database at path, from the copy beside it: nobody may not be
// let into the build tree (a checkout in a private temporary folder).
std::string RunUnprivileged(const std::string &arguments, const std::string &database) {
  const std::string program =
      (std::filesystem::path(database).parent_path() / "registry_child").string();
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
    const std::string command = "exec '" + program + "' " + arguments;
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

// A real registry, made by a process of its own (and closed again) in a
// folder of its own; the folder is removed when the object ends.
class MadeRegistry {
public:
  MadeRegistry() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "settingsstore-database-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) {
      folder = pattern;
      database = folder / "registry.db";
      std::error_code failed;
      std::filesystem::copy_file(REGISTRY_CHILD_PROGRAM, folder / "registry_child", failed);
      std::filesystem::permissions(
          folder / "registry_child",
          std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
              std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
              std::filesystem::perms::others_exec,
          failed);
      made = !failed && system(("SETTINGSSTORE_REGISTRY='" + database.string() + "' '" +
                                REGISTRY_CHILD_PROGRAM + "' set Software x 1 >/dev/null")
                                   .c_str()) == 0;
    }
  }
  ~MadeRegistry() {
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder, ignored);
  }
  MadeRegistry(const MadeRegistry &) = delete;
  MadeRegistry &operator=(const MadeRegistry &) = delete;

  std::filesystem::path folder;
  std::filesystem::path database;
  bool made = false;
};

TEST(RegistryDatabaseFile, AnUnreadableDatabaseAnswersCantOpenAndIsKept) {
  MadeRegistry registry;
  ASSERT_TRUE(registry.made);
  const std::string before = ReadFile(registry.database);
  ASSERT_FALSE(before.empty());
  chmod(registry.folder.c_str(), 0777);
  chmod(registry.database.c_str(), 0);
  EXPECT_EQ(RunUnprivileged("get Software x", registry.database), "1011"); // ERROR_CANTOPEN
  EXPECT_EQ(RunUnprivileged("set Software y 2", registry.database), "1011");
  chmod(registry.database.c_str(), 0600);
  EXPECT_TRUE(ReadFile(registry.database) == before);
}

// Read-only file, writable folder: values are read; a store is refused
// (ERROR_ACCESS_DENIED) and changes nothing.
TEST(RegistryDatabaseFile, AReadOnlyDatabaseIsReadAndRefusesStores) {
  MadeRegistry registry;
  ASSERT_TRUE(registry.made);
  const std::string before = ReadFile(registry.database);
  chmod(registry.folder.c_str(), 0777);
  chmod(registry.database.c_str(), 0444);
  EXPECT_EQ(RunUnprivileged("get Software x", registry.database), "0 0 1");
  EXPECT_EQ(RunUnprivileged("set Software y 2", registry.database), "0 5");
  EXPECT_EQ(RunUnprivileged("get Software y", registry.database), "0 2 0"); // not found
  EXPECT_TRUE(ReadFile(registry.database) == before);
}

} // namespace
