// The SQLite registry between processes and over its database file: values
// written by one process are read by another, concurrent writers lose
// nothing, and a database that cannot serve answers error codes without being
// replaced. The other processes run registry_child (REGISTRY_CHILD_PROGRAM).
#include "common/scratch_registry_key.h"
#include "platform/platform.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using Results = std::vector<long>;

std::string Quoted(const std::string &text) {
  return "'" + text + "'";
}

// Runs registry_child with arguments (after environment settings in the
// form of env(1)) and parses the numbers it prints.
Results RunChild(const std::string &arguments, const std::string &environment = "") {
  const std::string command =
      "env " + environment + " " + Quoted(REGISTRY_CHILD_PROGRAM) + " " + arguments;
  FILE *output = popen(command.c_str(), "r");
  Results results;
  long number;
  while (output && std::fscanf(output, "%ld", &number) == 1) {
    results.push_back(number);
  }
  const int status = output ? pclose(output) : -1;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    results.push_back(-1);
  }
  return results;
}

std::string ReadFile(const std::filesystem::path &file) {
  std::ifstream stream(file, std::ios::binary);
  std::ostringstream contents;
  contents << stream.rdbuf();
  return contents.str();
}

LONG GetDword(HKEY key, const char *name, DWORD &value) {
  DWORD size = sizeof value;
  return RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
}

class RegistryProcesses : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "settingsstore-process-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
  }
  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }

  std::string KeyPath(const char *name) const { return Quoted(scratch.Path() + "\\" + name); }

  // What a process that finds its registry at databasePath gets from
  // creating a key and storing a number there.
  static Results WriteAgainst(const std::filesystem::path &databasePath) {
    return RunChild("set Software x 1", "SETTINGSSTORE_REGISTRY=" + Quoted(databasePath));
  }

  ScratchRegistryKey scratch;
  std::filesystem::path folder;
};

TEST_F(RegistryProcesses, AValueWrittenByOneProcessIsReadByAnother) {
  EXPECT_EQ(RunChild("set " + KeyPath("Shared") + " Answer 42"),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, 42}));
  EXPECT_EQ(RunChild("get " + KeyPath("Shared") + " answer"),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, 42}));
  HKEY key = nullptr;
  DWORD value = 0;
  ASSERT_EQ(RegOpenKeyExA(scratch.Handle(), "Shared", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key, "Answer", value), ERROR_SUCCESS);
  EXPECT_EQ(value, 42u);
  RegCloseKey(key);
}

TEST_F(RegistryProcesses, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int perProcess = 1000;
  std::vector<FILE *> writers;
  for (const char *prefix : {"p", "q"}) {
    const std::string command = Quoted(REGISTRY_CHILD_PROGRAM) + " set-many " + KeyPath("Busy") +
                                " " + prefix + " " + std::to_string(perProcess);
    writers.push_back(popen(command.c_str(), "w"));
    ASSERT_NE(writers.back(), nullptr);
  }
  for (FILE *writer : writers) { // both start now
    std::fputs("go\n", writer);
    std::fflush(writer);
  }
  for (FILE *writer : writers) {
    const int status = pclose(writer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(scratch.Handle(), "Busy", 0, KEY_READ, &key), ERROR_SUCCESS);
  int found = 0;
  for (const std::string prefix : {"p", "q"}) {
    for (int i = 0; i < perProcess; ++i) {
      DWORD value = 0;
      found += GetDword(key, (prefix + std::to_string(i)).c_str(), value) == ERROR_SUCCESS &&
               value == static_cast<DWORD>(i);
    }
  }
  RegCloseKey(key);
  EXPECT_EQ(found, 2 * perProcess);
}

// The values stored in a registry database file, counted by hand.
long StoredValues(const std::filesystem::path &file) {
  sqlite3 *database = nullptr;
  sqlite3_stmt *count = nullptr;
  long values = -1;
  if (sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_prepare_v2(database, "SELECT count(*) FROM registry_values", -1, &count, nullptr) ==
          SQLITE_OK &&
      sqlite3_step(count) == SQLITE_ROW) {
    values = sqlite3_column_int(count, 0);
  }
  sqlite3_finalize(count);
  sqlite3_close(database);
  return values;
}

// Processes that start together on a database file that does not exist yet
// each create a key and store a value of their own: while one sets the file
// up, the others wait for it and then find a registry, never a foreign file.
TEST_F(RegistryProcesses, ProcessesThatFirstUseANewDatabaseTogetherAllSucceed) {
  constexpr int processes = 4;
  constexpr int rounds = 50;
  int failures = 0;
  for (int round = 0; round < rounds; ++round) {
    const std::filesystem::path file = folder / ("new-" + std::to_string(round) + ".db");
    std::vector<FILE *> children;
    for (int child = 0; child < processes; ++child) {
      const std::string command = "SETTINGSSTORE_REGISTRY=" + Quoted(file) + " " +
                                  Quoted(REGISTRY_CHILD_PROGRAM) + " first-use Software v" +
                                  std::to_string(child);
      children.push_back(popen(command.c_str(), "w"));
      ASSERT_NE(children.back(), nullptr);
    }
    for (FILE *child : children) { // all start now
      std::fputs("go\n", child);
      std::fflush(child);
    }
    for (FILE *child : children) {
      const int status = pclose(child);
      failures += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    EXPECT_EQ(StoredValues(file), processes) << "round " << round;
  }
  EXPECT_EQ(failures, 0) << "of " << processes * rounds;
}

TEST_F(RegistryProcesses, AWriterWaitsWhileAnotherProcessHoldsTheDatabase) {
  sqlite3 *holder = nullptr;
  ASSERT_EQ(sqlite3_open(std::getenv("SETTINGSSTORE_REGISTRY"), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  const std::string command = Quoted(REGISTRY_CHILD_PROGRAM) + " set " + KeyPath("Late") + " v 5";
  FILE *writer = popen(command.c_str(), "r");
  ASSERT_NE(writer, nullptr);
  Sleep(300);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(scratch.Handle(), "Late", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(holder);
  long results[4] = {-1, -1, -1, -1};
  EXPECT_EQ(
      std::fscanf(writer, "%ld %ld %ld %ld", &results[0], &results[1], &results[2], &results[3]),
      4);
  pclose(writer);
  EXPECT_EQ(Results(results, results + 4),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, 5}));
}

TEST_F(RegistryProcesses, ACorruptDatabaseAnswersBadDbAndIsKept) {
  const std::filesystem::path file = folder / "corrupt.db";
  const std::string garbage(4096, 'x');
  std::ofstream(file, std::ios::binary) << garbage;
  EXPECT_EQ(WriteAgainst(file), Results{ERROR_BADDB});
  EXPECT_TRUE(ReadFile(file) == garbage);
}

TEST_F(RegistryProcesses, AnotherProgramsDatabaseIsNotTakenForARegistry) {
  const std::filesystem::path file = folder / "other.db";
  sqlite3 *other = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "CREATE TABLE notes(text)", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  const std::string before = ReadFile(file);
  EXPECT_EQ(WriteAgainst(file), Results{ERROR_BADDB});
  EXPECT_TRUE(ReadFile(file) == before);
  EXPECT_EQ(std::filesystem::directory_iterator(folder)->path(), file);
}

// Runs sql on the database file; false when any of it failed.
bool Execute(const std::filesystem::path &file, const std::string &sql) {
  sqlite3 *database = nullptr;
  const bool done = sqlite3_open(file.c_str(), &database) == SQLITE_OK &&
                    sqlite3_exec(database, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(database);
  return done;
}

// The rows that sql selects, one text per row (columns joined by spaces).
std::vector<std::string> Select(const std::filesystem::path &file, const std::string &sql) {
  std::vector<std::string> rows;
  sqlite3 *database = nullptr;
  sqlite3_stmt *statement = nullptr;
  if (sqlite3_open(file.c_str(), &database) == SQLITE_OK &&
      sqlite3_prepare_v2(database, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      std::string row;
      for (int column = 0; column < sqlite3_column_count(statement); ++column) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
        row += (column ? " " : "") + std::string(text ? text : "");
      }
      rows.push_back(row);
    }
  }
  sqlite3_finalize(statement);
  sqlite3_close(database);
  return rows;
}

// A registry written before names folded beyond ASCII: its keys held only
// ASCII letters folded, so Ä and ä could be two keys and two values.
constexpr const char *firstSchemaRegistry = R"(
CREATE TABLE registry_keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,
  folded BLOB NOT NULL, name BLOB NOT NULL, UNIQUE(parent, folded));
CREATE TABLE registry_values(key INTEGER NOT NULL, folded BLOB NOT NULL, name BLOB NOT NULL,
  type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, folded)) WITHOUT ROWID;
INSERT INTO registry_keys VALUES (1, 0, 'hkey_classes_root', 'HKEY_CLASSES_ROOT'),
  (2, 0, 'hkey_current_user', 'HKEY_CURRENT_USER'), (3, 0, 'hkey_local_machine', 'HKEY_LOCAL_MACHINE'),
  (4, 0, 'hkey_users', 'HKEY_USERS'), (5, 0, 'hkey_current_config', 'HKEY_CURRENT_CONFIG'),
  (6, 2, CAST('software' AS BLOB), CAST('Software' AS BLOB)),
  (7, 6, CAST('mixed' AS BLOB), CAST('Mixed' AS BLOB)),
  (8, 6, x'C384', x'C384'), (9, 6, x'C3A4', x'C3A4');
INSERT INTO registry_values VALUES (7, CAST('answer' AS BLOB), CAST('Answer' AS BLOB), 4, x'2A000000'),
  (8, x'C3A4', x'C3A4', 4, x'02000000'), (8, x'C384', x'C384', 4, x'01000000'),
  (9, CAST('x' AS BLOB), CAST('x' AS BLOB), 4, x'03000000');
PRAGMA application_id = 1397969479;
PRAGMA user_version = 1;
)";

TEST_F(RegistryProcesses, AnOlderRegistryIsReKeyedAndLosesNothing) {
  const std::filesystem::path file = folder / "first.db";
  ASSERT_TRUE(Execute(file, firstSchemaRegistry));
  const std::string registry = "SETTINGSSTORE_REGISTRY=" + Quoted(file);
  EXPECT_EQ(RunChild("get 'SOFTWARE\\mixed' ANSWER", registry),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, 42}));
  // Names that fold together now reach the first of them (by id, then by
  // old order); the others stay in the file with their data.
  EXPECT_EQ(RunChild("get 'Software\\\xC3\xA4' \xC3\xA4", registry),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, 1}));
  EXPECT_EQ(RunChild("get 'Software\\\xC3\x84' x", registry),
            (Results{ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, 0}));
  EXPECT_EQ(Select(file, "PRAGMA user_version"), std::vector<std::string>{"2"});
  EXPECT_EQ(Select(file, "SELECT name FROM registry_keys WHERE parent = 6 ORDER BY folded"),
            (std::vector<std::string>{"Mixed", "\xC3\x84", "\xC3\xA4"}));
  EXPECT_EQ(Select(file, "SELECT name, hex(data) FROM registry_values ORDER BY key, folded"),
            (std::vector<std::string>{"Answer 2A000000", "\xC3\x84 01000000", "\xC3\xA4 02000000",
                                      "x 03000000"}));
  EXPECT_EQ(Select(file, "SELECT count(*) FROM registry_keys WHERE typeof(folded) <> 'blob'"),
            std::vector<std::string>{"0"});
  // A key made now finds its place among the old ones.
  EXPECT_EQ(RunChild("set 'Software\\MIXED\\New' v 5", registry),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, 5}));
  EXPECT_EQ(Select(file, "SELECT count(*) FROM registry_keys WHERE parent = 7"),
            std::vector<std::string>{"1"});
}

TEST_F(RegistryProcesses, ARegistryOfALaterFormatIsLeftAlone) {
  const std::filesystem::path file = folder / "later.db";
  ASSERT_TRUE(Execute(file, "CREATE TABLE registry_keys(id); PRAGMA application_id = 1397969479; "
                            "PRAGMA user_version = 3;"));
  const std::string before = ReadFile(file);
  EXPECT_EQ(WriteAgainst(file), Results{ERROR_BADDB});
  EXPECT_TRUE(ReadFile(file) == before);
}

TEST_F(RegistryProcesses, AnUnopenableDatabaseAnswersCantOpen) {
  EXPECT_EQ(WriteAgainst(folder / "missing-folder" / "registry.db"), Results{ERROR_CANTOPEN});
  EXPECT_FALSE(std::filesystem::exists(folder / "missing-folder"));
}

TEST_F(RegistryProcesses, MemoryRegistryIsPrivateToTheProcess) {
  EXPECT_EQ(RunChild("set Private v 3", "SETTINGSSTORE_REGISTRY=:memory:"),
            (Results{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, 3}));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Private", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryProcesses, DefaultDatabaseLivesInTheDataHome) {
  const std::filesystem::path dataHome = folder / "data";
  const std::filesystem::path home = folder / "home";
  const Results stored{ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, 1};
  auto writeWith = [&](const std::string &xdgDataHome) {
    return RunChild("set Software x 1", "-u SETTINGSSTORE_REGISTRY XDG_DATA_HOME=" +
                                            Quoted(xdgDataHome) + " HOME=" + Quoted(home));
  };
  EXPECT_EQ(writeWith(dataHome), stored);
  EXPECT_TRUE(std::filesystem::exists(dataHome / "settingsstore" / "registry.db"));
  // An empty or relative XDG_DATA_HOME counts as unset.
  EXPECT_EQ(writeWith(""), stored);
  const std::filesystem::path underHome = home / ".local/share/settingsstore";
  EXPECT_TRUE(std::filesystem::exists(underHome / "registry.db"));
  std::filesystem::remove_all(home);
  EXPECT_EQ(writeWith("relative"), stored);
  EXPECT_TRUE(std::filesystem::exists(underHome / "registry.db"));
  EXPECT_EQ(std::filesystem::status(underHome).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
}

} // namespace
