// The registry as settingsctl sees it through the platform seam: paths with
// their roots, handles that close themselves, values with their types.
#pragma once

#include "platform/platform.h"

#include <string>
#include <vector>

struct RegistryRoot {
  HKEY handle;
  const char *shortName; // the library's two letters: "CU"
  const char *longName;  // "HKEY_CURRENT_USER"
};

// The root a name stands for: the library's two letters, the usual
// abbreviation (HKCU, HKLM, HKCR, HKU) or the long name, any letter case.
const RegistryRoot *FindRegistryRoot(const std::string &name);

struct RegistryPath {
  const RegistryRoot *root = nullptr;
  std::string below; // the key's path below the root, without leading backslash; may be empty
};

// "CU\Software\Acme" (or with any root name FindRegistryRoot knows); false
// for an unknown root.
bool ParseRegistryPath(const std::string &text, RegistryPath &path);
// below and section joined with one backslash (either may be empty).
std::string JoinKeyPath(const std::string &below, const std::string &section);
// The path in the library's form, for RegistryKey: "CU\" and the path below.
std::string LibraryPath(const RegistryPath &path);
// "HKEY_CURRENT_USER\Software\Acme", as .reg files and messages name keys.
std::string LongKeyName(const RegistryPath &path);

class OpenRegistryKey {
public:
  OpenRegistryKey() = default;
  ~OpenRegistryKey();
  OpenRegistryKey(const OpenRegistryKey &) = delete;
  OpenRegistryKey &operator=(const OpenRegistryKey &) = delete;

  LONG Open(HKEY parent, const std::string &subPath, REGSAM access);
  LONG Create(HKEY parent, const std::string &subPath, REGSAM access);
  HKEY Handle() const { return handle; }

private:
  HKEY handle = nullptr;
};

struct TypedValue {
  std::string name; // empty for the unnamed value
  DWORD type = REG_NONE;
  std::string data; // as the byte-string registry functions deliver it
};

// Every value of the key in the registry's order, with type and data.
LONG ReadValues(HKEY key, std::vector<TypedValue> &values);
LONG ReadSubkeyNames(HKEY key, std::vector<std::string> &names);
// One value's type and data; ERROR_FILE_NOT_FOUND when it does not exist.
LONG ReadValue(HKEY key, const char *name, TypedValue &value);

// "REG_SZ", ..., or "REG_0x<type>" for a type without a name.
std::string TypeName(DWORD type);
// The platform's text for a registry error code.
std::string RegistryErrorText(LONG error);
