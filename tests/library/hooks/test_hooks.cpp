// Entry points of the test copy of the library only: they let a host change
// a profile file through the engine inside the library and release it, as
// code built into the library does. The shipped library never has them.
#include "platform/platform.h"
#include "profile/profile.h"

// Sets the entry in the cached file; the file's record, which holds the
// change until the file is released, or null when the update failed.
extern "C" SETTINGSSTORE_EXPORT ProfileFile *STDAPICALLTYPE SettingsstoreTestSetProfileString(
    const char *path, const char *section, const char *entry, const char *value) {
  ProfileFile *file = nullptr;
  if (ProfileSetString(section, entry, value, path) != 1 || ProfileOpen(path, &file) != 1) {
    return nullptr;
  }
  return file;
}

// Takes the file out of the cache, writing it back when it was changed.
extern "C" SETTINGSSTORE_EXPORT void STDAPICALLTYPE
SettingsstoreTestReleaseProfile(const char *path) {
  ProfileRelease(path);
}
