// RegistryKey's registry path and handles: construction, Open, OpenSection,
// CreateKeys and the access masks.
#include "settings/registry_key.h"

#include <utility>

namespace {

struct Root {
  const char *name;
  HKEY handle;
};

// In the order Open compares them.
const Root roots[] = {{"CR", HKEY_CLASSES_ROOT},
                      {"CU", HKEY_CURRENT_USER},
                      {"LM", HKEY_LOCAL_MACHINE},
                      {"US", HKEY_USERS}};

HKEY RootNamed(const ByteString &name) {
  for (const Root &root : roots) {
    if (_stricmp(name.c_str(), root.name) == 0) {
      return root.handle;
    }
  }
  return nullptr;
}

ByteString WithoutLeadingBackslash(const ByteString &name) {
  return !name.empty() && name[0] == '\\' ? name.Mid(1) : name;
}

void Close(HKEY &key) {
  if (key) {
    RegCloseKey(key);
    key = nullptr;
  }
}

// A failed open or create leaves the handle null, whatever the registry put there.
void OpenKey(HKEY parent, const ByteString &subPath, REGSAM access, HKEY &key) {
  if (!parent || RegOpenKeyExA(parent, subPath.c_str(), 0, access, &key) != ERROR_SUCCESS) {
    key = nullptr;
  }
}

bool CreateKey(HKEY parent, const ByteString &subPath, REGSAM access, HKEY &key) {
  if (!parent || RegCreateKeyExA(parent, subPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 access, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    key = nullptr;
  }
  return key != nullptr;
}

} // namespace

ByteString MakeRegistryPath(HKEY root, const char *subPath) {
  ByteString path = "BAD";
  for (const Root &named : roots) {
    if (named.handle == root) {
      path = named.name;
    }
  }
  path += '\\';
  if (subPath) {
    path += subPath;
  }
  return path;
}

RegistryKey::RegistryKey(ByteString path, std::uint32_t readOnly, std::uint32_t accessFlags)
    : ProfileKey(ByteString()), readOnly(readOnly), accessFlags(accessFlags) {
  Open(std::move(path));
}

RegistryKey::~RegistryKey() {
  Close(baseKey);
  Close(sectionKey);
}

void RegistryKey::Open(ByteString newPath) {
  rootKey = RootNamed(newPath.Left(2));
  if (!rootKey) {
    return;
  }
  path = newPath;
  Close(baseKey);
  const bool separated = newPath.size() > 2 && newPath[2] == '\\';
  OpenKey(rootKey, newPath.Mid(separated ? 3 : 2), OpenAccess(), baseKey);
}

void RegistryKey::OpenSection(ByteString newSection) {
  section = std::move(newSection);
  Close(sectionKey);
  OpenKey(baseKey, WithoutLeadingBackslash(section), OpenAccess(), sectionKey);
}

std::int32_t RegistryKey::CreateKeys() {
  if (readOnly) {
    return sectionKey ? 1 : 0;
  }
  if (!baseKey &&
      !CreateKey(rootKey, WithoutLeadingBackslash(path.Mid(2)), CreateAccess(), baseKey)) {
    return 0;
  }
  if (sectionKey) {
    return 1;
  }
  return CreateKey(baseKey, WithoutLeadingBackslash(section), CreateAccess(), sectionKey) ? 1 : 0;
}

std::uint32_t RegistryKey::SetAccessFlags(std::uint32_t flags) {
  accessFlags = flags;
  return flags;
}

void RegistryKey::ApplyNames(const ByteString &newValueName, const ByteString &newSection) {
  if (!newSection.empty()) {
    OpenSection(newSection);
  }
  if (!newValueName.empty()) {
    valueName = newValueName;
  }
}

const char *RegistryKey::AddressedValue(bool mapDefault) const {
  return mapDefault && valueName == "(Default)" ? nullptr : valueName.c_str();
}

REGSAM RegistryKey::OpenAccess() const {
  return (readOnly ? KEY_READ : KEY_READ | KEY_WRITE) | accessFlags;
}

REGSAM RegistryKey::CreateAccess() const {
  return KEY_READ | KEY_WRITE | accessFlags;
}
