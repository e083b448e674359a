#include "platform/posix/registry_setup.h"

#include "platform/posix/registry_database.h"
#include "platform/posix/registry_names.h"

#include <sqlite3.h>

#include <string>
#include <vector>

namespace posix_registry {
namespace {

constexpr const char *tables = R"(
CREATE TABLE registry_keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  folded BLOB NOT NULL,
  name BLOB NOT NULL,
  UNIQUE(parent, folded));
CREATE TABLE registry_values(
  key INTEGER NOT NULL,
  folded BLOB NOT NULL,
  name BLOB NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  PRIMARY KEY(key, folded)) WITHOUT ROWID;
PRAGMA application_id = 1397969479;
PRAGMA user_version = 2;
)";
static_assert(registryApplicationId == 1397969479 && registrySchemaVersion == 2,
              "the marks written by the schema");

// A statement of its own, finalised at the end: set-up runs before the
// connection's statement cache belongs to a connection that is kept.
class Query {
public:
  Query(sqlite3 *connection, const char *sql) {
    result = sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr);
  }
  ~Query() { sqlite3_finalize(statement); }
  Query(const Query &) = delete;
  Query &operator=(const Query &) = delete;

  Query &Bind(int index, std::int64_t number) {
    sqlite3_bind_int64(statement, index, number);
    return *this;
  }
  Query &Bind(int index, const std::string &bytes) {
    sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    return *this;
  }
  // One step; the statement is reset for the next use when it did not give a row.
  int Step() {
    if (result != SQLITE_OK) {
      return result;
    }
    const int stepped = StepStatement(statement);
    if (stepped != SQLITE_ROW) {
      sqlite3_reset(statement);
    }
    return stepped;
  }
  std::int64_t Integer(int column) const { return sqlite3_column_int64(statement, column); }
  std::string Bytes(int column) const {
    const auto *bytes = static_cast<const char *>(sqlite3_column_blob(statement, column));
    return bytes ? std::string(bytes,
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, column)))
                 : std::string();
  }

private:
  sqlite3_stmt *statement = nullptr;
  int result;
};

bool Failed(int result) {
  return result != SQLITE_OK && result != SQLITE_DONE && result != SQLITE_ROW;
}

bool IsConflict(int result) {
  return (result & 0xFF) == SQLITE_CONSTRAINT;
}

std::string EightBytes(std::uint64_t number) {
  std::string bytes;
  for (int shift = 56; shift >= 0; shift -= 8) {
    bytes.push_back(static_cast<char>(number >> shift));
  }
  return bytes;
}

// While the keys are made afresh, each row stands under two zero bytes and its
// old key: no old key holds a zero byte, and no new one begins with a zero
// unit, so these neither meet each other nor anything on either side.
std::string Aside(const std::string &oldKey) {
  return std::string(2, '\0') + oldKey;
}

// The key of a name that folds like one already given its key: behind that
// key 0xFF and eight bytes unique to the row. Of odd length, so no name gives
// it; the row stays, listed after its twin, and lookups find the twin.
std::string TwinKey(const std::string &key, std::uint64_t unique) {
  return key + '\xFF' + EightBytes(unique);
}

// One row changed: ERROR_SUCCESS; a row that is not found means the table is
// not what it seemed.
LONG Changed(sqlite3 *connection, int result) {
  if (Failed(result)) {
    return ErrorFromSqlite(result);
  }
  return sqlite3_changes(connection) == 1 ? ERROR_SUCCESS : ERROR_BADDB;
}

// Gives the row its new key, or its twin key when the new one is taken.
LONG GiveKey(sqlite3 *connection, Query &update, const std::string &key, std::uint64_t unique) {
  int result = update.Bind(3, key).Step();
  if (IsConflict(result)) {
    result = update.Bind(3, TwinKey(key, unique)).Step();
  }
  return Changed(connection, result);
}

struct StoredName {
  std::int64_t owner; // the key's id, or the value's key
  std::string oldKey;
  std::string name;
};

LONG ReadNames(sqlite3 *connection, const char *sql, std::vector<StoredName> &names) {
  Query select(connection, sql);
  int result;
  while ((result = select.Step()) == SQLITE_ROW) {
    names.push_back({select.Integer(0), select.Bytes(1), select.Bytes(2)});
  }
  return ErrorFromSqlite(result);
}

// update binds ?1 the row, ?2 its present key, ?3 the key it gets.
LONG RekeyTable(sqlite3 *connection, const char *select, const char *update, bool keyRows) {
  std::vector<StoredName> names;
  LONG error = ReadNames(connection, select, names);
  Query move(connection, update);
  for (std::size_t i = 0; error == ERROR_SUCCESS && i < names.size(); ++i) {
    const StoredName &row = names[i];
    move.Bind(1, row.owner).Bind(2, row.oldKey).Bind(3, Aside(row.oldKey));
    error = Changed(connection, move.Step());
  }
  for (std::size_t i = 0; error == ERROR_SUCCESS && i < names.size(); ++i) {
    const StoredName &row = names[i];
    const std::uint64_t unique = keyRows ? static_cast<std::uint64_t>(row.owner) : i;
    move.Bind(1, row.owner).Bind(2, Aside(row.oldKey));
    error = GiveKey(connection, move, NameKey(row.name), unique);
  }
  return error;
}

LONG AddRoots(sqlite3 *connection) {
  static const std::pair<KeyId, const char *> roots[] = {{classesRootId, "HKEY_CLASSES_ROOT"},
                                                         {currentUserId, "HKEY_CURRENT_USER"},
                                                         {localMachineId, "HKEY_LOCAL_MACHINE"},
                                                         {usersId, "HKEY_USERS"},
                                                         {currentConfigId, "HKEY_CURRENT_CONFIG"}};
  Query insert(connection,
               "INSERT INTO registry_keys(id, parent, folded, name) VALUES(?1, 0, ?2, ?3)");
  for (const auto &[id, name] : roots) {
    const int result = insert.Bind(1, id).Bind(2, NameKey(name)).Bind(3, std::string(name)).Step();
    if (Failed(result)) {
      return ErrorFromSqlite(result);
    }
  }
  return ERROR_SUCCESS;
}

} // namespace

LONG CreateRegistry(sqlite3 *connection) {
  const LONG error = ErrorFromSqlite(RunScript(connection, tables));
  return error == ERROR_SUCCESS ? AddRoots(connection) : error;
}

LONG MigrateNameKeys(sqlite3 *connection) {
  // Keys in the order they were made, values in their old listing order: the
  // first of names that now fold together keeps the name.
  // The roots' old keys were text, not blobs: they compare as their bytes.
  LONG error = RekeyTable(
      connection, "SELECT id, folded, name FROM registry_keys ORDER BY id",
      "UPDATE registry_keys SET folded = ?3 WHERE id = ?1 AND CAST(folded AS BLOB) = ?2", true);
  if (error == ERROR_SUCCESS) {
    error =
        RekeyTable(connection, "SELECT key, folded, name FROM registry_values ORDER BY key, folded",
                   "UPDATE registry_values SET folded = ?3 WHERE key = ?1 AND folded = ?2", false);
  }
  if (error == ERROR_SUCCESS) {
    error = ErrorFromSqlite(RunScript(connection, "PRAGMA user_version = 2"));
  }
  return error;
}

} // namespace posix_registry
