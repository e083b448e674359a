// The registry functions over the SQLite registry: argument checks, handles
// and access rights here, keys and values in registry_store.
#include "platform/posix/win32_registry.h"

#include "platform/posix/registry_handles.h"
#include "platform/posix/registry_store.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using namespace posix_registry;

namespace {

constexpr std::size_t longestKeyName = 255;
constexpr std::size_t longestValueName = 16383;
constexpr REGSAM treeAccess = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS;

// Key names between backslashes; empty ones (doubled or trailing backslashes)
// are skipped, but a path may not begin with a backslash.
LONG SplitKeyPath(LPCSTR path, std::vector<std::string> &names) {
  if (!path || !*path) {
    return ERROR_SUCCESS;
  }
  if (*path == '\\') {
    return ERROR_BAD_PATHNAME;
  }
  for (const char *start = path; *start;) {
    const char *end = std::strchr(start, '\\');
    const std::size_t length = end ? static_cast<std::size_t>(end - start) : std::strlen(start);
    if (length > longestKeyName) {
      return ERROR_INVALID_PARAMETER;
    }
    if (length) {
      names.emplace_back(start, length);
    }
    start += end ? length + 1 : length;
  }
  return ERROR_SUCCESS;
}

// A null and an empty value name both name the key's unnamed value.
std::string ValueNameOf(LPCSTR name) {
  return name ? name : "";
}

LONG Resolve(HKEY handle, REGSAM needed, KeyId &key) {
  OpenKey openKey;
  if (!FindOpenKey(handle, openKey)) {
    return ERROR_INVALID_HANDLE;
  }
  key = openKey.key;
  return (openKey.access & needed) == needed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Windows rules: without a buffer the size is reported; a buffer too small
// gets nothing and ERROR_MORE_DATA with the size needed; string data that
// does not end in a NUL gets one behind it when the buffer has room.
LONG DeliverData(const RegistryValue &value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (type) {
    *type = value.type;
  }
  const auto size = static_cast<DWORD>(value.data.size());
  if (!dataSize) {
    return ERROR_SUCCESS;
  }
  if (data && *dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (data) {
    std::memcpy(data, value.data.data(), size);
    if (IsStringType(value.type) && size > 0 && size < *dataSize && data[size - 1] != 0) {
      data[size] = 0;
    }
  }
  *dataSize = size;
  return ERROR_SUCCESS;
}

// Copies name with its NUL when the buffer of capacity bytes holds both.
bool DeliverName(const std::string &name, LPSTR buffer, DWORD capacity) {
  if (name.size() >= capacity) {
    return false;
  }
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  return true;
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, PHKEY result) {
  if (!result) {
    return ERROR_INVALID_PARAMETER;
  }
  *result = nullptr;
  std::vector<std::string> names;
  const std::lock_guard lock(RegistryLock());
  OpenKey parent;
  if (!FindOpenKey(key, parent)) {
    return ERROR_INVALID_HANDLE;
  }
  KeyId opened = 0;
  LONG error = SplitKeyPath(subKey, names);
  if (error == ERROR_SUCCESS) {
    error = OpenKeyPath(parent.key, names, opened);
  }
  if (error == ERROR_SUCCESS) {
    *result = AddHandle({opened, access});
  }
  return error;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access,
                     LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
  if (!result) {
    return ERROR_INVALID_PARAMETER;
  }
  *result = nullptr;
  std::vector<std::string> names;
  const std::lock_guard lock(RegistryLock());
  OpenKey parent;
  if (!FindOpenKey(key, parent)) {
    return ERROR_INVALID_HANDLE;
  }
  KeyId opened = 0;
  bool created = false;
  const bool mayCreate = (parent.access & KEY_CREATE_SUB_KEY) != 0;
  LONG error = SplitKeyPath(subKey, names);
  if (error == ERROR_SUCCESS) {
    error = CreateKeyPath(parent.key, names, mayCreate, opened, created);
  }
  if (error != ERROR_SUCCESS) {
    return error;
  }
  *result = AddHandle({opened, access});
  if (disposition) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  const std::lock_guard lock(RegistryLock());
  if (IsPredefinedRoot(key)) {
    return ERROR_SUCCESS;
  }
  return RemoveHandle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize) {
  if (reserved || (data && !dataSize)) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::lock_guard lock(RegistryLock());
  KeyId id = 0;
  RegistryValue value;
  LONG error = Resolve(key, KEY_QUERY_VALUE, id);
  if (error == ERROR_SUCCESS) {
    error = QueryValue(id, ValueNameOf(valueName), value);
  }
  return error == ERROR_SUCCESS ? DeliverData(value, type, data, dataSize) : error;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE *data,
                    DWORD dataSize) {
  if (!data && dataSize) {
    return ERROR_NOACCESS;
  }
  RegistryValue value{ValueNameOf(valueName), type, std::string()};
  if (value.name.size() > longestValueName) {
    return ERROR_INVALID_PARAMETER;
  }
  if (dataSize) {
    value.data.assign(reinterpret_cast<const char *>(data), dataSize);
  }
  const std::lock_guard lock(RegistryLock());
  KeyId id = 0;
  const LONG error = Resolve(key, KEY_SET_VALUE, id);
  return error == ERROR_SUCCESS ? SetValue(id, value) : error;
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (!valueName || !valueNameSize || reserved || (data && !dataSize)) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::lock_guard lock(RegistryLock());
  KeyId id = 0;
  RegistryValue value;
  LONG error = Resolve(key, KEY_QUERY_VALUE, id);
  if (error == ERROR_SUCCESS) {
    error = ValueAt(id, index, value);
  }
  if (error != ERROR_SUCCESS) {
    return error;
  }
  if (!DeliverName(value.name, valueName, *valueNameSize)) {
    return ERROR_MORE_DATA;
  }
  *valueNameSize = static_cast<DWORD>(value.name.size());
  return DeliverData(value, type, data, dataSize);
}

LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize) {
  if (!name) {
    return ERROR_INVALID_PARAMETER;
  }
  const std::lock_guard lock(RegistryLock());
  KeyId id = 0;
  std::string subkey;
  LONG error = Resolve(key, KEY_ENUMERATE_SUB_KEYS, id);
  if (error == ERROR_SUCCESS) {
    error = SubkeyAt(id, index, subkey);
  }
  if (error != ERROR_SUCCESS) {
    return error;
  }
  return DeliverName(subkey, name, nameSize) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
  const std::lock_guard lock(RegistryLock());
  KeyId id = 0;
  const LONG error = Resolve(key, KEY_SET_VALUE, id);
  return error == ERROR_SUCCESS ? DeleteValue(id, ValueNameOf(valueName)) : error;
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey) {
  std::vector<std::string> names;
  const std::lock_guard lock(RegistryLock());
  KeyId id = 0;
  LONG error = Resolve(key, treeAccess, id);
  if (error == ERROR_SUCCESS) {
    error = SplitKeyPath(subKey, names);
  }
  if (error != ERROR_SUCCESS) {
    return error;
  }
  if (names.empty()) {
    return DeleteTree(id, true);
  }
  KeyId subtree = 0;
  error = OpenKeyPath(id, names, subtree);
  return error == ERROR_SUCCESS ? DeleteTree(subtree, false) : error;
}
