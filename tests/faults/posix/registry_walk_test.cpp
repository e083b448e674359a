// Every SQLite step of a registry write, and of setting up a new registry
// database, fails in turn. Each time the call must answer an error, the
// database must open afterwards holding exactly what it held before the
// failing call, and the next attempt must succeed.
#include "../fault_walk.h"

#include "platform/platform.h"
#include "platform/posix/registry_database.h"
#include "platform/registry_admin.h"

#include <sqlite3.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

constexpr char EarlierKey[] = "Software\\walk\\a";
constexpr char WrittenKey[] = "Software\\walk\\b\\c";
constexpr char BatchedKey[] = "Software\\walk\\batched";

struct WriteResult {
  LONG created = ERROR_SUCCESS;
  LONG set = ERROR_SUCCESS;
  std::uint64_t stepsToCreate = 0; // SQLite steps up to the end of the create
};

// A key made with the keys above it, and a value set in it.
WriteResult WriteValue(const char *path, const char *name, const char *data) {
  WriteResult result;
  HKEY key = nullptr;
  result.created = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                   nullptr, &key, nullptr);
  result.stepsToCreate = FaultCallsSeen(FaultKind::SqliteStep);
  if (result.created == ERROR_SUCCESS) {
    result.set = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(data),
                                static_cast<DWORD>(std::strlen(data)));
    RegCloseKey(key);
  }
  return result;
}

LONG CreateKey(const char *path) {
  HKEY key = nullptr;
  const LONG created = RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                       nullptr, &key, nullptr);
  if (created == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
  return created;
}

bool Succeeded(const WriteResult &result) {
  return result.created == ERROR_SUCCESS && result.set == ERROR_SUCCESS;
}

void Disconnect() {
  const std::lock_guard lock(posix_registry::RegistryLock());
  posix_registry::Disconnect();
}

std::string Column(sqlite3_stmt *statement, int column) {
  const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
  return text ? text : "NULL";
}

// Every row of a query, columns separated by '|', rows by new lines.
std::string Rows(sqlite3 *connection, const char *sql) {
  sqlite3_stmt *statement = nullptr;
  std::string rows;
  if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) != SQLITE_OK) {
    return std::string("cannot read: ") + sqlite3_errmsg(connection);
  }
  int result;
  while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int column = 0; column < sqlite3_column_count(statement); ++column) {
      rows += (column == 0 ? "" : "|") + Column(statement, column);
    }
    rows += "\n";
  }
  sqlite3_finalize(statement);
  return result == SQLITE_DONE ? rows : rows + "step failed\n";
}

class RegistryFaultWalk : public ::testing::Test {
protected:
  void SetUp() override {
    DisarmFaults();
    const char *configured = std::getenv("SETTINGSSTORE_REGISTRY");
    savedDatabase = configured ? configured : "";
    folder = std::filesystem::absolute(
        std::string("faults_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    database = (folder / "registry.db").string();
    Disconnect();
    setenv("SETTINGSSTORE_REGISTRY", database.c_str(), 1);
  }

  void TearDown() override {
    DisarmFaults();
    Disconnect();
    setenv("SETTINGSSTORE_REGISTRY", savedDatabase.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  void RemoveDatabase() {
    Disconnect();
    for (const char *suffix : {"", "-wal", "-shm", "-journal"}) {
      std::filesystem::remove(database + suffix);
    }
  }

  // The database as another connection finds it: "empty" when it holds no
  // registry (no file, or no tables and no marks), else every row.
  std::string Contents() {
    if (!std::filesystem::exists(database)) {
      return "empty";
    }
    sqlite3 *connection = nullptr;
    if (sqlite3_open_v2(database.c_str(), &connection, SQLITE_OPEN_READWRITE, nullptr) !=
        SQLITE_OK) {
      sqlite3_close(connection);
      return "cannot open";
    }
    std::string contents = Rows(connection, "SELECT (SELECT application_id FROM "
                                            "pragma_application_id), (SELECT count(*) FROM "
                                            "sqlite_master), (SELECT user_version FROM "
                                            "pragma_user_version)");
    if (contents == "0|0|0\n") {
      contents = "empty";
    } else {
      contents += Rows(connection, "PRAGMA integrity_check");
      contents += Rows(connection, "SELECT id, parent, hex(folded), hex(name) FROM "
                                   "registry_keys ORDER BY id");
      contents += Rows(connection, "SELECT key, hex(folded), hex(name), type, hex(data) FROM "
                                   "registry_values ORDER BY key, folded");
    }
    sqlite3_close(connection);
    return contents;
  }

  std::filesystem::path folder;
  std::string database;
  std::string savedDatabase;
};

// The first pass fails one step; the second fails it and the call after it,
// which is the rollback of the failed transaction where there is one.
constexpr struct {
  std::uint64_t count;
  FaultError error;
} Passes[] = {{1, FaultError::DeviceError}, {2, FaultError::DiskFull}};

TEST_F(RegistryFaultWalk, EveryStepOfARegistryWriteFailsInTurnAndLosesNothing) {
  ASSERT_TRUE(Succeeded(WriteValue(EarlierKey, "v1", "old")));
  Disconnect();
  const std::string earlierCopy = (folder / "earlier.db").string();
  std::filesystem::copy_file(database, earlierCopy);
  const auto restore = [&] {
    RemoveDatabase();
    std::filesystem::copy_file(earlierCopy, database);
  };
  const std::string earlier = Contents();
  ASSERT_NE(earlier.find("\nok\n"), std::string::npos) << earlier;

  // Each write starts with the connection closed, so that opening the
  // database is part of the walk too.
  DisarmFaults();
  const WriteResult census = WriteValue(WrittenKey, "v", "new");
  ASSERT_TRUE(Succeeded(census));
  const std::uint64_t steps = FaultCallsSeen(FaultKind::SqliteStep);
  Disconnect();
  const std::string written = Contents();
  ASSERT_NE(written, earlier);
  restore();
  ASSERT_EQ(CreateKey(WrittenKey), ERROR_SUCCESS);
  Disconnect();
  const std::string created = Contents();
  ASSERT_NE(created, earlier);
  ASSERT_NE(created, written);
  EXPECT_GE(census.stepsToCreate, 6u);
  EXPECT_GE(steps - census.stepsToCreate, 3u);

  std::uint64_t failures = 0;
  for (const auto &pass : Passes) {
    for (std::uint64_t n = 1; n <= steps; ++n, ++failures) {
      SCOPED_TRACE("step " + std::to_string(n) + " of " + std::to_string(steps) + ", " +
                   std::to_string(pass.count) + " failing");
      restore();
      ArmFault(FaultKind::SqliteStep, n, pass.error, pass.count);
      const WriteResult result = WriteValue(WrittenKey, "v", "new");
      EXPECT_GE(FaultsStruck(), 1u);
      DisarmFaults();
      // Read through a connection of its own: the failed call's connection
      // goes on to serve the next attempt.
      if (n <= census.stepsToCreate) {
        EXPECT_NE(result.created, ERROR_SUCCESS);
        EXPECT_EQ(Contents(), earlier);
      } else {
        EXPECT_EQ(result.created, ERROR_SUCCESS);
        EXPECT_NE(result.set, ERROR_SUCCESS);
        EXPECT_EQ(Contents(), created);
      }
      EXPECT_TRUE(Succeeded(WriteValue(WrittenKey, "v", "new")));
      Disconnect();
      EXPECT_EQ(Contents(), written);
    }
  }
  EXPECT_EQ(failures, 2 * steps);
  FaultCensus walked;
  walked.calls[static_cast<std::size_t>(FaultKind::SqliteStep)] = steps;
  ReportWalk("registry write", steps, walked);
}

// Inside a batch each call is a savepoint of the batch's transaction. A call
// that fails leaves nothing of itself in the batch, even where its savepoint
// cannot be rolled back: the batch is then dropped whole and its commit
// answers the failure. (A caller aborts a batch after a failed write; this
// commits it all the same, to see that no half of the call could be kept.)
TEST_F(RegistryFaultWalk, EveryStepOfAWriteInABatchFailsInTurnAndTheBatchKeepsNoHalf) {
  ASSERT_TRUE(Succeeded(WriteValue(EarlierKey, "v1", "old")));
  Disconnect();
  const std::string earlierCopy = (folder / "earlier.db").string();
  std::filesystem::copy_file(database, earlierCopy);
  const std::string earlier = Contents();
  // A batch of the batched key, then the write; the write's steps in writeSteps.
  std::uint64_t writeSteps = 0;
  const auto batch = [&](bool arm, std::uint64_t n, FaultError error, std::uint64_t count,
                         LONG *committed) {
    RemoveDatabase();
    std::filesystem::copy_file(earlierCopy, database);
    EXPECT_EQ(BeginRegistryBatch(), ERROR_SUCCESS);
    EXPECT_EQ(CreateKey(BatchedKey), ERROR_SUCCESS);
    if (arm) {
      ArmFault(FaultKind::SqliteStep, n, error, count);
    } else {
      DisarmFaults();
    }
    const WriteResult result = WriteValue(WrittenKey, "v", "new");
    writeSteps = FaultCallsSeen(FaultKind::SqliteStep);
    if (arm) {
      EXPECT_GE(FaultsStruck(), 1u);
      DisarmFaults();
    }
    *committed = CommitRegistryBatch();
    AbortRegistryBatch(); // closes a batch whose commit failed but left it open
    return result;
  };

  LONG committed = ERROR_SUCCESS;
  ASSERT_TRUE(Succeeded(batch(false, 0, FaultError::DeviceError, 0, &committed)));
  const std::uint64_t steps = writeSteps;
  ASSERT_EQ(committed, ERROR_SUCCESS);
  Disconnect();
  const std::string whole = Contents();
  // What the batch holds when the write failed at once, or after making its key.
  RemoveDatabase();
  std::filesystem::copy_file(earlierCopy, database);
  ASSERT_EQ(BeginRegistryBatch(), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(BatchedKey), ERROR_SUCCESS);
  ASSERT_EQ(CommitRegistryBatch(), ERROR_SUCCESS);
  Disconnect();
  const std::string batchedOnly = Contents();
  ASSERT_EQ(BeginRegistryBatch(), ERROR_SUCCESS);
  ASSERT_EQ(CreateKey(WrittenKey), ERROR_SUCCESS);
  ASSERT_EQ(CommitRegistryBatch(), ERROR_SUCCESS);
  Disconnect();
  const std::string keyMade = Contents();
  EXPECT_GE(steps, 6u) << "a savepoint and its release for each call, the lookups and inserts";

  std::uint64_t dropped = 0;
  for (const auto &pass : Passes) {
    for (std::uint64_t n = 1; n <= steps; ++n) {
      SCOPED_TRACE("step " + std::to_string(n) + " of " + std::to_string(steps) + ", " +
                   std::to_string(pass.count) + " failing");
      const WriteResult result = batch(true, n, pass.error, pass.count, &committed);
      EXPECT_FALSE(Succeeded(result));
      Disconnect();
      if (committed != ERROR_SUCCESS) {
        ++dropped;
        EXPECT_EQ(Contents(), earlier) << "a failed batch kept some of its writes";
      } else {
        EXPECT_EQ(Contents(), result.created == ERROR_SUCCESS ? keyMade : batchedOnly)
            << "the batch kept half of the failed call";
      }
      EXPECT_TRUE(Succeeded(batch(false, 0, FaultError::DeviceError, 0, &committed)));
      EXPECT_EQ(committed, ERROR_SUCCESS);
      Disconnect();
      EXPECT_EQ(Contents(), whole);
    }
  }
  EXPECT_GE(dropped, 1u) << "no savepoint's rollback was failed";
  FaultCensus walked;
  walked.calls[static_cast<std::size_t>(FaultKind::SqliteStep)] = steps;
  ReportWalk("registry write in a batch", steps, walked);
}

TEST_F(RegistryFaultWalk, EveryStepOfSettingUpANewDatabaseFailsInTurn) {
  RemoveDatabase();
  DisarmFaults();
  sqlite3 *connection = nullptr;
  {
    const std::lock_guard lock(posix_registry::RegistryLock());
    ASSERT_EQ(posix_registry::Connect(connection), ERROR_SUCCESS);
  }
  const std::uint64_t steps = FaultCallsSeen(FaultKind::SqliteStep);
  EXPECT_GE(steps, 6u) << "reading the file, the journal, the tables, the roots, the commit";
  ASSERT_TRUE(Succeeded(WriteValue(WrittenKey, "v", "new")));
  Disconnect();
  const std::string written = Contents();
  ASSERT_NE(written, "empty");

  std::uint64_t failures = 0;
  for (const auto &pass : Passes) {
    for (std::uint64_t n = 1; n <= steps; ++n, ++failures) {
      SCOPED_TRACE("step " + std::to_string(n) + " of " + std::to_string(steps) + ", " +
                   std::to_string(pass.count) + " failing");
      RemoveDatabase();
      ArmFault(FaultKind::SqliteStep, n, pass.error, pass.count);
      const WriteResult result = WriteValue(WrittenKey, "v", "new");
      EXPECT_GE(FaultsStruck(), 1u);
      DisarmFaults();
      EXPECT_NE(result.created, ERROR_SUCCESS);
      Disconnect();
      EXPECT_EQ(Contents(), "empty") << "half a set-up was kept";
      EXPECT_TRUE(Succeeded(WriteValue(WrittenKey, "v", "new")));
      Disconnect();
      EXPECT_EQ(Contents(), written);
    }
  }
  EXPECT_EQ(failures, 2 * steps);
  FaultCensus walked;
  walked.calls[static_cast<std::size_t>(FaultKind::SqliteStep)] = steps;
  ReportWalk("registry set-up", steps, walked);
}

} // namespace
