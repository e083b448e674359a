#include "platform/posix/registry_store.h"

#include "platform/posix/registry_names.h"
#include "platform/posix/win32_registry.h"

#include <sqlite3.h>

namespace posix_registry {
namespace {

LONG Exists(sqlite3 *connection, KeyId key) {
  Statement select(connection, "SELECT 1 FROM registry_keys WHERE id = ?1");
  const int result = select.Bind(1, key).Step();
  if (result == SQLITE_ROW) {
    return ERROR_SUCCESS;
  }
  return result == SQLITE_DONE ? ERROR_KEY_DELETED : ErrorFromSqlite(result);
}

LONG FindSubkey(sqlite3 *connection, KeyId parent, const std::string &name, KeyId &key) {
  Statement select(connection, "SELECT id FROM registry_keys WHERE parent = ?1 AND folded = ?2");
  const int result = select.Bind(1, parent).Bind(2, NameKey(name)).Step();
  if (result == SQLITE_ROW) {
    key = select.Integer(0);
    return ERROR_SUCCESS;
  }
  return result == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : ErrorFromSqlite(result);
}

LONG InsertSubkey(sqlite3 *connection, KeyId parent, const std::string &name, KeyId &key) {
  Statement insert(connection,
                   "INSERT INTO registry_keys(parent, folded, name) VALUES(?1, ?2, ?3)");
  const LONG error = Run(insert.Bind(1, parent).Bind(2, NameKey(name)).Bind(3, name));
  if (error == ERROR_SUCCESS) {
    key = sqlite3_last_insert_rowid(connection);
  }
  return error;
}

LONG WalkPath(sqlite3 *connection, KeyId parent, const std::vector<std::string> &names,
              KeyId &key) {
  LONG error = Exists(connection, parent);
  key = parent;
  for (std::size_t i = 0; error == ERROR_SUCCESS && i < names.size(); ++i) {
    error = FindSubkey(connection, key, names[i], key);
  }
  return error;
}

LONG MakePath(sqlite3 *connection, KeyId parent, const std::vector<std::string> &names,
              bool mayCreate, KeyId &key, bool &created) {
  LONG error = Exists(connection, parent);
  key = parent;
  created = false;
  for (std::size_t i = 0; error == ERROR_SUCCESS && i < names.size(); ++i) {
    error = FindSubkey(connection, key, names[i], key);
    if (error == ERROR_FILE_NOT_FOUND) {
      error = mayCreate ? InsertSubkey(connection, key, names[i], key) : ERROR_ACCESS_DENIED;
      created = true;
    } else {
      created = false;
    }
  }
  return error;
}

// Runs change(connection) in one write transaction.
template <typename Change> LONG Write(KeyId key, Change change) {
  sqlite3 *connection = nullptr;
  LONG error = Connect(connection);
  if (error != ERROR_SUCCESS) {
    return error;
  }
  Transaction transaction(connection);
  if ((error = transaction.Begin()) != ERROR_SUCCESS ||
      (error = Exists(connection, key)) != ERROR_SUCCESS ||
      (error = change(connection)) != ERROR_SUCCESS) {
    return error;
  }
  return transaction.Commit();
}

LONG ReadValue(Statement &select, RegistryValue &value) {
  const int result = select.Step();
  if (result != SQLITE_ROW) {
    return result == SQLITE_DONE ? ERROR_FILE_NOT_FOUND : ErrorFromSqlite(result);
  }
  value.name = select.Bytes(0);
  value.type = static_cast<DWORD>(select.Integer(1));
  value.data = select.Bytes(2);
  return ERROR_SUCCESS;
}

} // namespace

LONG KeyExists(KeyId key) {
  sqlite3 *connection = nullptr;
  const LONG error = Connect(connection);
  return error == ERROR_SUCCESS ? Exists(connection, key) : error;
}

LONG OpenKeyPath(KeyId parent, const std::vector<std::string> &names, KeyId &key) {
  sqlite3 *connection = nullptr;
  const LONG error = Connect(connection);
  return error == ERROR_SUCCESS ? WalkPath(connection, parent, names, key) : error;
}

LONG CreateKeyPath(KeyId parent, const std::vector<std::string> &names, bool mayCreate, KeyId &key,
                   bool &created) {
  return Write(parent, [&](sqlite3 *connection) {
    return MakePath(connection, parent, names, mayCreate, key, created);
  });
}

LONG QueryValue(KeyId key, const std::string &name, RegistryValue &value) {
  sqlite3 *connection = nullptr;
  LONG error = Connect(connection);
  if (error != ERROR_SUCCESS || (error = Exists(connection, key)) != ERROR_SUCCESS) {
    return error;
  }
  Statement select(connection, "SELECT name, type, data FROM registry_values "
                               "WHERE key = ?1 AND folded = ?2");
  return ReadValue(select.Bind(1, key).Bind(2, NameKey(name)), value);
}

LONG SetValue(KeyId key, const RegistryValue &value) {
  return Write(key, [&](sqlite3 *connection) {
    // An existing value keeps the spelling of its name.
    Statement upsert(connection, "INSERT INTO registry_values(key, folded, name, type, data) "
                                 "VALUES(?1, ?2, ?3, ?4, ?5) ON CONFLICT(key, folded) "
                                 "DO UPDATE SET type = excluded.type, data = excluded.data");
    return Run(upsert.Bind(1, key)
                   .Bind(2, NameKey(value.name))
                   .Bind(3, value.name)
                   .Bind(4, static_cast<std::int64_t>(value.type))
                   .Bind(5, value.data));
  });
}

LONG DeleteValue(KeyId key, const std::string &name) {
  return Write(key, [&](sqlite3 *connection) {
    Statement remove(connection, "DELETE FROM registry_values WHERE key = ?1 AND folded = ?2");
    const LONG error = Run(remove.Bind(1, key).Bind(2, NameKey(name)));
    if (error != ERROR_SUCCESS) {
      return error;
    }
    return sqlite3_changes(connection) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
  });
}

LONG ValueAt(KeyId key, DWORD index, RegistryValue &value) {
  sqlite3 *connection = nullptr;
  LONG error = Connect(connection);
  if (error != ERROR_SUCCESS || (error = Exists(connection, key)) != ERROR_SUCCESS) {
    return error;
  }
  Statement select(connection, "SELECT name, type, data FROM registry_values WHERE key = ?1 "
                               "ORDER BY folded LIMIT 1 OFFSET ?2");
  error = ReadValue(select.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)), value);
  return error == ERROR_FILE_NOT_FOUND ? ERROR_NO_MORE_ITEMS : error;
}

LONG SubkeyAt(KeyId key, DWORD index, std::string &name) {
  sqlite3 *connection = nullptr;
  LONG error = Connect(connection);
  if (error != ERROR_SUCCESS || (error = Exists(connection, key)) != ERROR_SUCCESS) {
    return error;
  }
  Statement select(connection, "SELECT name FROM registry_keys WHERE parent = ?1 "
                               "ORDER BY folded LIMIT 1 OFFSET ?2");
  const int result = select.Bind(1, key).Bind(2, static_cast<std::int64_t>(index)).Step();
  if (result == SQLITE_ROW) {
    name = select.Bytes(0);
    return ERROR_SUCCESS;
  }
  return result == SQLITE_DONE ? ERROR_NO_MORE_ITEMS : ErrorFromSqlite(result);
}

LONG DeleteTree(KeyId key, bool keepKey) {
  return Write(key, [&](sqlite3 *connection) {
    Statement values(connection, "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM "
                                 "registry_keys k JOIN tree t ON k.parent = t.id) "
                                 "DELETE FROM registry_values WHERE key IN tree");
    Statement keys(connection, "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM "
                               "registry_keys k JOIN tree t ON k.parent = t.id) "
                               "DELETE FROM registry_keys WHERE id IN tree AND id <> ?2");
    const LONG error = Run(values.Bind(1, key));
    return error != ERROR_SUCCESS ? error : Run(keys.Bind(1, key).Bind(2, keepKey ? key : -1));
  });
}

} // namespace posix_registry
