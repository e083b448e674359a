#include "platform/posix/registry_database.h"

#include "platform/posix/fault_errors.h"
#include "platform/posix/registry_location.h"
#include "platform/posix/registry_setup.h"
#include "platform/posix/win32_registry.h"

#include <sqlite3.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace posix_registry {
namespace {

// A writer waits this long for another process's transaction to end.
constexpr int busyTimeoutMilliseconds = 60000;
// Between attempts to switch the journal mode while another process has the file.
constexpr DWORD journalRetryMilliseconds = 5;

struct Connection {
  sqlite3 *handle = nullptr;
  pid_t owner = 0;
  std::unordered_map<const char *, sqlite3_stmt *> statements;

  ~Connection() { Close(); }

  void Close() {
    if (handle && owner == getpid()) {
      for (auto &entry : statements) {
        sqlite3_finalize(entry.second);
      }
      sqlite3_close(handle);
    }
    statements.clear();
    handle = nullptr;
  }
};

Connection &TheConnection() {
  static Connection connection;
  return connection;
}

// A connection inherited through fork belongs to the parent: it is left as it
// is (closing it could disturb the parent's locks) and kept reachable.
void AbandonInherited(Connection &connection) {
  static std::vector<sqlite3 *> inherited;
  inherited.push_back(connection.handle);
  connection.handle = nullptr;
  connection.statements.clear();
}

LONG Execute(sqlite3 *handle, const char *sql) {
  return ErrorFromSqlite(RunScript(handle, sql));
}

enum class Kind { registry, empty, foreign };

struct Identity {
  Kind kind = Kind::foreign;
  std::int64_t version = 0;
};

// Ours (whatever it holds) when it bears our application id; empty when it
// has no id and no objects; anything else is another program's. One
// statement reads it all in one read transaction, so a set-up that another
// process commits meanwhile is seen whole or not at all.
LONG Identify(sqlite3 *handle, Identity &identity) {
  sqlite3_stmt *statement = nullptr;
  int result = sqlite3_prepare_v2(handle,
                                  "SELECT (SELECT application_id FROM pragma_application_id), "
                                  "(SELECT count(*) FROM sqlite_master), "
                                  "(SELECT user_version FROM pragma_user_version)",
                                  -1, &statement, nullptr);
  if (result == SQLITE_OK && (result = StepStatement(statement)) == SQLITE_ROW) {
    const std::int64_t id = sqlite3_column_int64(statement, 0);
    const std::int64_t objects = sqlite3_column_int64(statement, 1);
    identity.kind = id == registryApplicationId ? Kind::registry
                    : id == 0 && objects == 0   ? Kind::empty
                                                : Kind::foreign;
    identity.version = sqlite3_column_int64(statement, 2);
  }
  sqlite3_finalize(statement);
  return ErrorFromSqlite(result);
}

// Another program's file, or a registry of a later format, is left as it is.
LONG CheckUsable(const Identity &identity) {
  const bool later = identity.kind == Kind::registry && identity.version > registrySchemaVersion;
  return identity.kind == Kind::foreign || later ? ERROR_BADDB : ERROR_SUCCESS;
}

bool UpToDate(const Identity &identity) {
  return identity.kind == Kind::registry && identity.version == registrySchemaVersion;
}

// WAL lets readers go on while another process writes. The switch needs the
// file to itself, and SQLite answers BUSY at once instead of waiting, so the
// waiting is done here. A read-only file keeps whatever journal it has.
LONG UseWriteAheadLog(sqlite3 *handle) {
  for (int waited = 0;; waited += static_cast<int>(journalRetryMilliseconds)) {
    const LONG error = Execute(handle, "PRAGMA journal_mode=WAL");
    if (error == ERROR_ACCESS_DENIED) {
      return ERROR_SUCCESS;
    }
    if (error != ERROR_BUSY || waited >= busyTimeoutMilliseconds) {
      return error;
    }
    Sleep(journalRetryMilliseconds);
  }
}

// Makes or updates the tables under the write lock, after looking again: the
// file may have been set up by another process since it was first read.
LONG SetUp(sqlite3 *handle) {
  Transaction transaction(handle);
  Identity identity;
  LONG error = transaction.Begin();
  if (error == ERROR_SUCCESS && (error = Identify(handle, identity)) == ERROR_SUCCESS) {
    error = CheckUsable(identity);
  }
  if (error != ERROR_SUCCESS || UpToDate(identity)) {
    return error;
  }
  error = identity.kind == Kind::empty ? CreateRegistry(handle) : MigrateNameKeys(handle);
  return error == ERROR_SUCCESS ? transaction.Commit() : error;
}

LONG Configure(sqlite3 *handle) {
  sqlite3_extended_result_codes(handle, 1);
  sqlite3_busy_timeout(handle, busyTimeoutMilliseconds);
  // Read before anything is written: another program's database stays as it is.
  Identity identity;
  LONG error = Identify(handle, identity);
  if (error == ERROR_SUCCESS) {
    error = CheckUsable(identity);
  }
  if (error == ERROR_SUCCESS) {
    error = UseWriteAheadLog(handle);
  }
  // FULL: a committed transaction is on the disk before the call returns.
  if (error == ERROR_SUCCESS) {
    error = Execute(handle, "PRAGMA synchronous=FULL");
  }
  if (error == ERROR_SUCCESS && !UpToDate(identity)) {
    error = SetUp(handle);
  }
  return error;
}

LONG Open(Connection &connection) {
  std::string path;
  if (!RegistryDatabasePath(path)) {
    return ERROR_CANTOPEN;
  }
  sqlite3 *handle = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
  LONG error = ErrorFromSqlite(sqlite3_open_v2(path.c_str(), &handle, flags, nullptr));
  if (error == ERROR_SUCCESS) {
    error = Configure(handle);
  }
  if (error != ERROR_SUCCESS) {
    sqlite3_close(handle);
    return error;
  }
  connection.handle = handle;
  connection.owner = getpid();
  return ERROR_SUCCESS;
}

} // namespace

int StepStatement(sqlite3_stmt *statement) {
  if (const auto fault = InjectedFault(FaultKind::SqliteStep)) {
    return posix_faults::SqliteResultOf(*fault);
  }
  return sqlite3_step(statement);
}

int RunScript(sqlite3 *handle, const char *sql) {
  if (const auto fault = InjectedFault(FaultKind::SqliteStep)) {
    return posix_faults::SqliteResultOf(*fault);
  }
  return sqlite3_exec(handle, sql, nullptr, nullptr, nullptr);
}

std::mutex &RegistryLock() {
  static std::mutex lock;
  return lock;
}

LONG Connect(sqlite3 *&handle) {
  Connection &connection = TheConnection();
  if (connection.handle && connection.owner != getpid()) {
    AbandonInherited(connection);
  }
  if (!connection.handle) {
    const LONG error = Open(connection);
    if (error != ERROR_SUCCESS) {
      return error;
    }
  }
  handle = connection.handle;
  return ERROR_SUCCESS;
}

void Disconnect() {
  Connection &connection = TheConnection();
  if (connection.handle && connection.owner != getpid()) {
    AbandonInherited(connection);
  }
  connection.Close();
}

LONG ErrorFromSqlite(int result) {
  switch (result & 0xFF) {
  case SQLITE_OK:
  case SQLITE_ROW:
  case SQLITE_DONE:
    return ERROR_SUCCESS;
  case SQLITE_CORRUPT:
  case SQLITE_NOTADB:
  case SQLITE_FORMAT:
  case SQLITE_SCHEMA:
    return ERROR_BADDB;
  case SQLITE_READONLY:
  case SQLITE_PERM:
  case SQLITE_AUTH:
    return ERROR_ACCESS_DENIED;
  case SQLITE_BUSY:
  case SQLITE_LOCKED:
    return ERROR_BUSY;
  case SQLITE_NOMEM:
    return ERROR_NOT_ENOUGH_MEMORY;
  case SQLITE_CANTOPEN:
    return ERROR_CANTOPEN;
  default:
    return ERROR_REGISTRY_IO_FAILED;
  }
}

Statement::Statement(sqlite3 *handle, const char *sql) : prepareResult(SQLITE_OK) {
  auto &statements = TheConnection().statements;
  auto found = statements.find(sql);
  if (found != statements.end()) {
    statement = found->second;
    return;
  }
  prepareResult =
      sqlite3_prepare_v3(handle, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
  if (prepareResult == SQLITE_OK) {
    statements.emplace(sql, statement);
  } else {
    sqlite3_finalize(statement);
    statement = nullptr;
  }
}

Statement::~Statement() {
  if (statement) {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }
}

Statement &Statement::Bind(int index, std::int64_t number) {
  if (statement) {
    sqlite3_bind_int64(statement, index, number);
  }
  return *this;
}

Statement &Statement::Bind(int index, const std::string &bytes) {
  // A non-null pointer, also for no bytes: an empty blob, never NULL.
  if (statement) {
    sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
  }
  return *this;
}

int Statement::Step() {
  return statement ? StepStatement(statement) : prepareResult;
}

std::int64_t Statement::Integer(int column) const {
  return sqlite3_column_int64(statement, column);
}

std::string Statement::Bytes(int column) const {
  const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, column));
  const int size = sqlite3_column_bytes(statement, column);
  return bytes ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
}

LONG Run(Statement &statement) {
  int result;
  while ((result = statement.Step()) == SQLITE_ROW) {
  }
  return ErrorFromSqlite(result);
}

bool &RegistryBatchOpen() {
  static bool open = false;
  return open;
}

// A transaction that cannot be rolled back would stay open on the connection
// and refuse every later write; closing the connection ends it. Within a
// batch, a call whose savepoint cannot be rolled back would leave its half in
// the batch: closing the connection drops the whole batch instead, and its
// commit answers the failure.
Transaction::~Transaction() {
  if (!open) {
    return;
  }
  const char *rollback = nested ? "ROLLBACK TO registry_call; RELEASE registry_call" : "ROLLBACK";
  if (RunScript(connection, rollback) != SQLITE_OK && sqlite3_get_autocommit(connection) == 0 &&
      TheConnection().handle == connection) {
    Disconnect();
  }
}

LONG Transaction::Begin() {
  nested = RegistryBatchOpen();
  if (nested && sqlite3_get_autocommit(connection) != 0) {
    return ERROR_REGISTRY_IO_FAILED;
  }
  const LONG error = Execute(connection, nested ? "SAVEPOINT registry_call" : "BEGIN IMMEDIATE");
  open = error == ERROR_SUCCESS;
  return error;
}

LONG Transaction::Commit() {
  const LONG error = Execute(connection, nested ? "RELEASE registry_call" : "COMMIT");
  if (error == ERROR_SUCCESS) {
    open = false;
  }
  return error;
}

} // namespace posix_registry
