// Keys and values of the registry database, addressed by key row. Names
// compare without regard to case and list in the order of their keys
// (registry_names.h). Every function answers a Win32 error code;
// a key row that no longer exists answers ERROR_KEY_DELETED.
#pragma once

#include "platform/posix/registry_database.h"

#include <string>
#include <vector>

namespace posix_registry {

struct RegistryValue {
  std::string name;
  DWORD type = 0;
  std::string data;
};

LONG KeyExists(KeyId key);
// Follows the names down from parent; ERROR_FILE_NOT_FOUND when one is missing.
LONG OpenKeyPath(KeyId parent, const std::vector<std::string> &names, KeyId &key);
// As OpenKeyPath, making the missing keys (all in one transaction) when
// mayCreate; created tells whether the last key is new. Without mayCreate a
// missing key answers ERROR_ACCESS_DENIED.
LONG CreateKeyPath(KeyId parent, const std::vector<std::string> &names, bool mayCreate, KeyId &key,
                   bool &created);
LONG QueryValue(KeyId key, const std::string &name, RegistryValue &value);
LONG SetValue(KeyId key, const RegistryValue &value);
LONG DeleteValue(KeyId key, const std::string &name);
// ERROR_NO_MORE_ITEMS past the last one.
LONG ValueAt(KeyId key, DWORD index, RegistryValue &value);
LONG SubkeyAt(KeyId key, DWORD index, std::string &name);
// Deletes the key's values and subkeys, and the key itself unless keepKey.
LONG DeleteTree(KeyId key, bool keepKey);

} // namespace posix_registry
