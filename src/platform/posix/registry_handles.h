// The table of open registry handles. A handle is a number, never a pointer
// that is followed, so a wrong handle is found missing, not dereferenced.
#pragma once

#include "platform/posix/registry_database.h"
#include "platform/posix/win32_registry.h"

namespace posix_registry {

struct OpenKey {
  KeyId key = 0;
  REGSAM access = 0;
};

bool IsPredefinedRoot(HKEY handle);
// The key of a predefined root (full access) or of an open handle; false for
// any other handle.
bool FindOpenKey(HKEY handle, OpenKey &openKey);
HKEY AddHandle(const OpenKey &openKey);
// False when the handle was not open.
bool RemoveHandle(HKEY handle);

} // namespace posix_registry
