// A registry key of its own for each test: CU\Software\settingsstore-tests\<pid>,
// made when the object is made and deleted, with everything below it, when it
// ends. The folder key settingsstore-tests stays: test programs running at
// the same time share it.
#pragma once

#include "platform/platform.h"

#include <string>

class ScratchRegistryKey {
public:
  ScratchRegistryKey()
      : path("Software\\settingsstore-tests\\" + std::to_string(GetCurrentProcessId())) {
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
    created = RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                              nullptr, &handle, nullptr);
  }
  ~ScratchRegistryKey() {
    if (created == ERROR_SUCCESS) {
      RegCloseKey(handle);
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
  }
  ScratchRegistryKey(const ScratchRegistryKey &) = delete;
  ScratchRegistryKey &operator=(const ScratchRegistryKey &) = delete;

  // Below HKEY_CURRENT_USER, without the root.
  const std::string &Path() const { return path; }
  HKEY Handle() const { return handle; }
  // ERROR_SUCCESS when the key was made.
  LONG CreateResult() const { return created; }

private:
  std::string path;
  HKEY handle = nullptr;
  LONG created = ERROR_INVALID_HANDLE;
};
