#include "platform/posix/registry_handles.h"

#include <unordered_map>

namespace posix_registry {
namespace {

struct Table {
  std::unordered_map<HKEY, OpenKey> keys;
  // Handle numbers count up in steps of 4, as on Windows, and are not reused.
  ULONG_PTR next = 0x100;
};

Table &Handles() {
  static Table table;
  return table;
}

bool RootOf(HKEY handle, KeyId &key) {
  const std::pair<HKEY, KeyId> roots[] = {{HKEY_CLASSES_ROOT, classesRootId},
                                          {HKEY_CURRENT_USER, currentUserId},
                                          {HKEY_LOCAL_MACHINE, localMachineId},
                                          {HKEY_USERS, usersId},
                                          {HKEY_CURRENT_CONFIG, currentConfigId}};
  for (const auto &root : roots) {
    if (root.first == handle) {
      key = root.second;
      return true;
    }
  }
  return false;
}

} // namespace

bool IsPredefinedRoot(HKEY handle) {
  KeyId key = 0;
  return RootOf(handle, key);
}

bool FindOpenKey(HKEY handle, OpenKey &openKey) {
  if (RootOf(handle, openKey.key)) {
    openKey.access = KEY_ALL_ACCESS;
    return true;
  }
  const auto found = Handles().keys.find(handle);
  if (found == Handles().keys.end()) {
    return false;
  }
  openKey = found->second;
  return true;
}

HKEY AddHandle(const OpenKey &openKey) {
  Table &table = Handles();
  HKEY handle = reinterpret_cast<HKEY>(table.next);
  table.next += 4;
  table.keys.emplace(handle, openKey);
  return handle;
}

bool RemoveHandle(HKEY handle) {
  return Handles().keys.erase(handle) != 0;
}

} // namespace posix_registry
