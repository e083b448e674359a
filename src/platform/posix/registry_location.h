// Where the registry database lives.
#pragma once

#include <string>

namespace posix_registry {

// SETTINGSSTORE_REGISTRY when set and not empty (":memory:" names a registry
// private to the process); else settingsstore/registry.db below
// $XDG_DATA_HOME, or below ~/.local/share when that is unset, empty or not
// absolute. The folder of the default file is made (mode 0700) when missing.
// False when no home folder can be found or the folder cannot be made.
bool RegistryDatabasePath(std::string &path);

} // namespace posix_registry
