// The registry database's tables: made in a new file, brought up to date in
// an older one. Both run inside the caller's write transaction and answer a
// Win32 error code.
#pragma once

#include "platform/posix/win32_base.h"

#include <cstdint>

struct sqlite3;

namespace posix_registry {

// Marks a database as a registry ("SSRG"), so that no other file is taken for one.
constexpr std::int64_t registryApplicationId = 0x53535247;
// The user_version of the tables this code reads and writes. 1: name keys
// folded ASCII letters only.
constexpr std::int64_t registrySchemaVersion = 2;

// The tables, the predefined roots and the marks, in an empty database.
LONG CreateRegistry(sqlite3 *connection);
// From schema version 1: every stored name gets its key afresh.
LONG MigrateNameKeys(sqlite3 *connection);

} // namespace posix_registry
