#include "platform/posix/registry_location.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posix_registry {
namespace {

std::string Environment(const char *name) {
  const char *value = std::getenv(name);
  return value ? value : "";
}

std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty()) {
    return home;
  }
  const passwd *entry = getpwuid(getuid());
  return entry && entry->pw_dir ? entry->pw_dir : "";
}

std::filesystem::path DataHome() {
  const std::filesystem::path configured = Environment("XDG_DATA_HOME");
  if (configured.is_absolute()) {
    return configured;
  }
  const std::string home = HomeFolder();
  return home.empty() ? std::filesystem::path() : std::filesystem::path(home) / ".local/share";
}

bool MakeFolder(const std::filesystem::path &folder) {
  std::error_code error;
  std::filesystem::create_directories(folder.parent_path(), error);
  if (mkdir(folder.c_str(), 0700) == 0) {
    return true;
  }
  return std::filesystem::is_directory(folder, error);
}

} // namespace

bool RegistryDatabasePath(std::string &path) {
  path = Environment("SETTINGSSTORE_REGISTRY");
  if (!path.empty()) {
    return true;
  }
  const std::filesystem::path dataHome = DataHome();
  if (dataHome.empty()) {
    return false;
  }
  const std::filesystem::path folder = dataHome / "settingsstore";
  if (!MakeFolder(folder)) {
    return false;
  }
  path = (folder / "registry.db").string();
  return true;
}

} // namespace posix_registry
