// The process's connection to the registry database and the statement and
// transaction helpers that the registry functions are built from. Every
// function answers a Win32 error code.
#pragma once

#include "platform/posix/win32_base.h"

#include <cstdint>
#include <mutex>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace posix_registry {

using KeyId = std::int64_t;

// Rows of the predefined roots; they exist in every registry database.
constexpr KeyId classesRootId = 1;
constexpr KeyId currentUserId = 2;
constexpr KeyId localMachineId = 3;
constexpr KeyId usersId = 4;
constexpr KeyId currentConfigId = 5;

// Serialises the registry calls of the process: one connection serves them all.
std::mutex &RegistryLock();

// The open connection, opened on first use and again in a forked child (a
// connection must not cross a fork). A failed open is retried at the next call.
LONG Connect(sqlite3 *&connection);

// sqlite3_step, and sqlite3_exec without a callback: every statement and
// script of the registry runs through these, so that a test can fail any one.
int StepStatement(sqlite3_stmt *statement);
int RunScript(sqlite3 *connection, const char *sql);

// Closes the connection, which rolls back whatever it had open; the next call
// opens the database anew. The caller holds the registry lock.
void Disconnect();

// The Win32 error for an SQLite result code.
LONG ErrorFromSqlite(int result);

// One cached prepared statement, reset and unbound when the object ends.
class Statement {
public:
  Statement(sqlite3 *connection, const char *sql);
  ~Statement();
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;

  Statement &Bind(int index, std::int64_t number);
  Statement &Bind(int index, const std::string &bytes);
  // SQLITE_ROW, SQLITE_DONE or an error (also the error of preparing).
  int Step();
  std::int64_t Integer(int column) const;
  std::string Bytes(int column) const;

private:
  sqlite3_stmt *statement = nullptr;
  int prepareResult;
};

// Runs a statement to its end: ERROR_SUCCESS or the error.
LONG Run(Statement &statement);

// True while a batch of writes (registry_admin.h) holds the connection's
// transaction open.
bool &RegistryBatchOpen();

// A write transaction that takes the write lock at once (waiting while another
// process holds it), rolled back unless committed. Inside a batch it is a
// savepoint of the batch's transaction; a batch whose transaction has ended
// (SQLite rolls back by itself on some errors) answers ERROR_REGISTRY_IO_FAILED
// rather than writing outside it.
class Transaction {
public:
  explicit Transaction(sqlite3 *connection) : connection(connection) {}
  ~Transaction();
  Transaction(const Transaction &) = delete;
  Transaction &operator=(const Transaction &) = delete;

  LONG Begin();
  LONG Commit();

private:
  sqlite3 *connection;
  bool open = false;
  bool nested = false;
};

} // namespace posix_registry
