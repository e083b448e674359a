// Loading, calling and unloading the library leaves the registry as it was.
#include "common/scratch_registry_key.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::set<std::string> Subkeys(HKEY root, const char *path) {
  std::set<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  char name[1024];
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
    names.insert(name);
  }
  RegCloseKey(key);
  return names;
}

using Entry = HRESULT(STDAPICALLTYPE *)();

Entry EntryPoint(HMODULE module, const char *name) {
  return reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct Snapshot {
  std::set<std::string> currentUser, currentUserSoftware, localMachineSoftware, classes;
  bool operator==(const Snapshot &) const = default;
};

Snapshot Take() {
  return {Subkeys(HKEY_CURRENT_USER, ""), Subkeys(HKEY_CURRENT_USER, "Software"),
          Subkeys(HKEY_LOCAL_MACHINE, "Software"), Subkeys(HKEY_CLASSES_ROOT, "CLSID")};
}

TEST(LibraryLoad, RegistryIsUnchangedByLoadRegisterUnregisterUnload) {
  // Makes sure the snapshots see at least one key, also in a new registry,
  // and that other tests' scratch keys exist before the first snapshot.
  const ScratchRegistryKey scratch;
  const ScratchRegistryKey machineScratch(HKEY_LOCAL_MACHINE);
  ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS);
  const Snapshot before = Take();
  ASSERT_FALSE(before.currentUserSoftware.empty());
  for (int round = 0; round < 2; ++round) {
    HMODULE module = LoadLibraryA(SETTINGSSTORE_LIBRARY_PATH);
    ASSERT_NE(module, nullptr);
    auto registerServer = EntryPoint(module, "DllRegisterServer");
    auto unregisterServer = EntryPoint(module, "DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    EXPECT_EQ(registerServer(), 0);
    EXPECT_EQ(unregisterServer(), 0);
    EXPECT_TRUE(FreeLibrary(module));
  }
  EXPECT_TRUE(Take() == before);
}

} // namespace
