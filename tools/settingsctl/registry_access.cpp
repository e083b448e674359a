#include "registry_access.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

const RegistryRoot roots[] = {{HKEY_CLASSES_ROOT, "CR", "HKEY_CLASSES_ROOT"},
                              {HKEY_CURRENT_USER, "CU", "HKEY_CURRENT_USER"},
                              {HKEY_LOCAL_MACHINE, "LM", "HKEY_LOCAL_MACHINE"},
                              {HKEY_USERS, "US", "HKEY_USERS"}};
const char *const abbreviations[] = {"HKCR", "HKCU", "HKLM", "HKU"};

// The longest key name is 255 characters; in a double-byte code page that
// can take twice as many bytes.
constexpr DWORD subkeyNameBuffer = 1024;
constexpr DWORD valueNameBuffer = 32768;

} // namespace

const RegistryRoot *FindRegistryRoot(const std::string &name) {
  for (std::size_t i = 0; i < std::size(roots); ++i) {
    if (_stricmp(name.c_str(), roots[i].shortName) == 0 ||
        _stricmp(name.c_str(), roots[i].longName) == 0 ||
        _stricmp(name.c_str(), abbreviations[i]) == 0) {
      return &roots[i];
    }
  }
  return nullptr;
}

bool ParseRegistryPath(const std::string &text, RegistryPath &path) {
  const std::size_t slash = text.find('\\');
  path.root = FindRegistryRoot(text.substr(0, slash));
  path.below = slash == std::string::npos ? std::string() : text.substr(slash + 1);
  while (!path.below.empty() && path.below.back() == '\\') {
    path.below.pop_back();
  }
  return path.root != nullptr;
}

std::string JoinKeyPath(const std::string &below, const std::string &section) {
  if (below.empty() || section.empty()) {
    return below + section;
  }
  return below + "\\" + section;
}

std::string LibraryPath(const RegistryPath &path) {
  return std::string(path.root->shortName) + "\\" + path.below;
}

std::string LongKeyName(const RegistryPath &path) {
  return path.below.empty() ? path.root->longName
                            : std::string(path.root->longName) + "\\" + path.below;
}

OpenRegistryKey::~OpenRegistryKey() {
  if (handle) {
    RegCloseKey(handle);
  }
}

LONG OpenRegistryKey::Open(HKEY parent, const std::string &subPath, REGSAM access) {
  if (handle) {
    RegCloseKey(handle);
    handle = nullptr;
  }
  const LONG error = RegOpenKeyExA(parent, subPath.c_str(), 0, access, &handle);
  if (error != ERROR_SUCCESS) {
    handle = nullptr;
  }
  return error;
}

LONG OpenRegistryKey::Create(HKEY parent, const std::string &subPath, REGSAM access) {
  if (handle) {
    RegCloseKey(handle);
    handle = nullptr;
  }
  const LONG error = RegCreateKeyExA(parent, subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     access, nullptr, &handle, nullptr);
  if (error != ERROR_SUCCESS) {
    handle = nullptr;
  }
  return error;
}

namespace {

// RegEnumValueA into buffers that grow until the value fits.
LONG ValueAt(HKEY key, DWORD index, TypedValue &value) {
  std::string name(valueNameBuffer, '\0');
  std::string data(256, '\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD nameSize = valueNameBuffer;
    DWORD dataSize = static_cast<DWORD>(data.size());
    const LONG error = RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &value.type,
                                     reinterpret_cast<BYTE *>(data.data()), &dataSize);
    if (error == ERROR_SUCCESS) {
      value.name.assign(name.data(), nameSize);
      value.data.assign(data.data(), dataSize);
      return ERROR_SUCCESS;
    }
    if (error != ERROR_MORE_DATA) {
      return error;
    }
    // The size needed, where the platform told it; else twice as much.
    data.assign(std::max<std::size_t>(dataSize, data.size() * 2), '\0');
  }
  return ERROR_MORE_DATA;
}

} // namespace

LONG ReadValues(HKEY key, std::vector<TypedValue> &values) {
  values.clear();
  for (DWORD index = 0;; ++index) {
    TypedValue value;
    const LONG error = ValueAt(key, index, value);
    if (error == ERROR_NO_MORE_ITEMS) {
      return ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) {
      return error;
    }
    values.push_back(std::move(value));
  }
}

LONG ReadSubkeyNames(HKEY key, std::vector<std::string> &names) {
  names.clear();
  std::string buffer(subkeyNameBuffer, '\0');
  for (DWORD index = 0;; ++index) {
    const LONG error = RegEnumKeyA(key, index, buffer.data(), subkeyNameBuffer);
    if (error == ERROR_NO_MORE_ITEMS) {
      return ERROR_SUCCESS;
    }
    if (error != ERROR_SUCCESS) {
      return error;
    }
    names.emplace_back(buffer.c_str());
  }
}

LONG ReadValue(HKEY key, const char *name, TypedValue &value) {
  DWORD size = 0;
  LONG error = RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size);
  for (int attempt = 0; error == ERROR_SUCCESS && attempt < 8; ++attempt) {
    // One byte more than told: a string without its NUL gets one added.
    value.data.assign(static_cast<std::size_t>(size) + 1, '\0');
    DWORD read = size + 1;
    error = RegQueryValueExA(key, name, nullptr, &value.type,
                             reinterpret_cast<BYTE *>(value.data.data()), &read);
    if (error == ERROR_SUCCESS) {
      value.data.resize(read);
      value.name = name ? name : "";
      return ERROR_SUCCESS;
    }
    if (error == ERROR_MORE_DATA) {
      size = read > size ? read : size * 2 + 1;
      error = ERROR_SUCCESS;
    }
  }
  return error;
}

std::string TypeName(DWORD type) {
  switch (type) {
  case REG_NONE:
    return "REG_NONE";
  case REG_SZ:
    return "REG_SZ";
  case REG_EXPAND_SZ:
    return "REG_EXPAND_SZ";
  case REG_BINARY:
    return "REG_BINARY";
  case REG_DWORD:
    return "REG_DWORD";
  case REG_MULTI_SZ:
    return "REG_MULTI_SZ";
  case REG_QWORD:
    return "REG_QWORD";
  default:
    char text[24];
    std::snprintf(text, sizeof text, "REG_0x%lx", static_cast<unsigned long>(type));
    return text;
  }
}

std::string RegistryErrorText(LONG error) {
  switch (error) {
  case ERROR_FILE_NOT_FOUND:
    return "no such key or value";
  case ERROR_ACCESS_DENIED:
    return "access denied";
  case ERROR_BADDB:
    return "the registry database is corrupt or not a registry";
  case ERROR_BUSY:
    return "the registry is busy (another process keeps writing)";
  case ERROR_INVALID_PARAMETER:
    return "a name is too long or not valid";
  case ERROR_BAD_PATHNAME:
    return "the key path is not valid";
  case ERROR_KEY_DELETED:
    return "the key was deleted meanwhile";
  default:
    return "registry error " + std::to_string(error);
  }
}
