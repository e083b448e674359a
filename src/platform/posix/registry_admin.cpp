// Administration of the SQLite registry: its location and batches of writes
// in one transaction of the process's connection.
#include "platform/registry_admin.h"

#include "platform/posix/registry_database.h"
#include "platform/posix/registry_location.h"

#include <cstdlib>
#include <mutex>
#include <sqlite3.h>

using namespace posix_registry;

namespace {

LONG Execute(sqlite3 *connection, const char *sql) {
  return ErrorFromSqlite(RunScript(connection, sql));
}

} // namespace

bool ChooseRegistryDatabase(const char *path) {
  return path != nullptr && *path != '\0' && setenv("SETTINGSSTORE_REGISTRY", path, 1) == 0;
}

std::string RegistryLocation() {
  std::string path;
  return RegistryDatabasePath(path) ? path : "the registry database (no home folder found)";
}

bool RegistryBatchesGroupWrites() {
  return true;
}

LONG BeginRegistryBatch() {
  const std::lock_guard lock(RegistryLock());
  if (RegistryBatchOpen()) {
    return ERROR_BUSY;
  }
  sqlite3 *connection = nullptr;
  LONG error = Connect(connection);
  if (error == ERROR_SUCCESS) {
    error = Execute(connection, "BEGIN IMMEDIATE");
  }
  RegistryBatchOpen() = error == ERROR_SUCCESS;
  return error;
}

LONG CommitRegistryBatch() {
  const std::lock_guard lock(RegistryLock());
  if (!RegistryBatchOpen()) {
    return ERROR_INVALID_PARAMETER;
  }
  sqlite3 *connection = nullptr;
  LONG error = Connect(connection);
  if (error != ERROR_SUCCESS) {
    RegistryBatchOpen() = false;
    return error;
  }
  // A transaction that SQLite ended by itself cannot be committed: it is gone.
  error = sqlite3_get_autocommit(connection) != 0 ? ERROR_REGISTRY_IO_FAILED
                                                  : Execute(connection, "COMMIT");
  // A commit that failed but left the transaction open waits for the abort.
  if (error == ERROR_SUCCESS || sqlite3_get_autocommit(connection) != 0) {
    RegistryBatchOpen() = false;
  }
  return error;
}

void AbortRegistryBatch() {
  const std::lock_guard lock(RegistryLock());
  if (!RegistryBatchOpen()) {
    return;
  }
  sqlite3 *connection = nullptr;
  if (Connect(connection) == ERROR_SUCCESS && sqlite3_get_autocommit(connection) == 0) {
    Execute(connection, "ROLLBACK");
  }
  RegistryBatchOpen() = false;
}
