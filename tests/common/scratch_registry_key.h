// A registry key of its own for each test: Software\settingsstore-tests\<pid>
// below a root (HKEY_CURRENT_USER unless told), made when the object is made
// and deleted, with everything below it, when it ends. The folder key
// settingsstore-tests stays: test programs running at the same time share it.
#pragma once

#include "platform/platform.h"

#include <string>

class ScratchRegistryKey {
public:
  explicit ScratchRegistryKey(HKEY root = HKEY_CURRENT_USER)
      : root(root),
        path("Software\\settingsstore-tests\\" + std::to_string(GetCurrentProcessId())) {
    RegDeleteTreeA(root, path.c_str());
    created = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                              &handle, nullptr);
  }
  ~ScratchRegistryKey() {
    if (created == ERROR_SUCCESS) {
      RegCloseKey(handle);
    }
    RegDeleteTreeA(root, path.c_str());
  }
  ScratchRegistryKey(const ScratchRegistryKey &) = delete;
  ScratchRegistryKey &operator=(const ScratchRegistryKey &) = delete;

  // Below the root, without it.
  const std::string &Path() const { return path; }
  HKEY Handle() const { return handle; }
  // ERROR_SUCCESS when the key was made.
  LONG CreateResult() const { return created; }

private:
  HKEY root;
  std::string path;
  HKEY handle = nullptr;
  LONG created = ERROR_INVALID_HANDLE;
};
