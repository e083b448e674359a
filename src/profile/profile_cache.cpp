#include "profile/profile_internal.h"

#include "platform/file_access.h"

ProfileCache profileCache = {nullptr, nullptr, 0};

namespace {

bool IsUsablePath(const char *path) {
  return path != nullptr && path[0] != '\0';
}

ProfileFile *FindCached(const char *path) {
  for (ProfileFile *file = profileCache.first; file != nullptr; file = file->next) {
    if (CompareFilePaths(file->path, path) == 0) {
      return file;
    }
  }
  return nullptr;
}

void Unlink(ProfileFile *file) {
  ProfileFile *previous = nullptr;
  for (ProfileFile *f = profileCache.first; f != file; f = f->next) {
    previous = f;
  }
  if (previous == nullptr) {
    profileCache.first = file->next;
  } else {
    previous->next = file->next;
  }
  if (profileCache.last == file) {
    profileCache.last = previous;
  }
  file->next = nullptr;
  --profileCache.count;
}

// A record leaving the cache goes to disk when it was changed, and is freed
// whatever the writer's result.
void Retire(ProfileFile *file) {
  if (file->dirty == 1) {
    ProfileWrite(file, file->path);
  }
  ProfileFreeFile(file);
}

} // namespace

void ProfileCacheAdd(ProfileFile *file) {
  file->next = nullptr;
  if (profileCache.first == nullptr) {
    profileCache.first = file;
    profileCache.last = file;
    profileCache.count = 1;
    return;
  }
  if (profileCache.count >= ProfileCacheCapacity) {
    ProfileFile *oldest = profileCache.first;
    Unlink(oldest);
    Retire(oldest);
  }
  if (profileCache.last == nullptr) {
    profileCache.first = file;
  } else {
    profileCache.last->next = file;
  }
  profileCache.last = file;
  ++profileCache.count;
}

std::int32_t ProfileOpen(const char *path, ProfileFile **file) {
  ProfileFile *unused = nullptr;
  if (file == nullptr) {
    file = &unused;
  }
  *file = nullptr;
  if (!IsUsablePath(path)) {
    return 0;
  }
  ProfileFile *record = FindCached(path);
  if (record != nullptr && record->loaded != 0) {
    *file = record;
    return 1;
  }
  if (record != nullptr) {
    // Registered, not yet read: read it in its place in the cache. A file
    // that proves unreadable takes its record out of the cache with it.
    if (!ProfileLoadFile(record)) {
      Unlink(record);
      ProfileFreeFile(record);
      return 0;
    }
    record->loaded = 1;
    *file = record;
    return 1;
  }
  record = ProfileNewFile(path, 1);
  if (!ProfileLoadFile(record)) {
    // Never cached, so an unread file is never overwritten by an empty record.
    ProfileFreeFile(record);
    return 0;
  }
  ProfileCacheAdd(record);
  *file = record;
  return 1;
}

void ProfileRegister(const char *path) {
  if (IsUsablePath(path)) {
    ProfileCacheAdd(ProfileNewFile(path, 0));
  }
}

void ProfileSetSwitches(const char *path, std::uint32_t value) {
  if (!IsUsablePath(path)) {
    return;
  }
  ProfileFile *record = FindCached(path);
  if (record != nullptr) {
    record->continuation = static_cast<std::int32_t>(value);
    record->returnQuotes = static_cast<std::int32_t>(value);
  }
}

void ProfileSetKeepLayout(const char *path, std::uint32_t value) {
  if (!IsUsablePath(path)) {
    return;
  }
  ProfileFile *record = FindCached(path);
  if (record != nullptr) {
    record->keepLayout = value != 0 ? 1 : 0;
  }
}

std::int32_t ProfileFlush(const char *path) {
  if (!IsUsablePath(path)) {
    return 1;
  }
  ProfileFile *record = FindCached(path);
  if (record == nullptr || record->dirty != 1) {
    return 1;
  }
  if (ProfileWrite(record, record->path) == 0) {
    return 0;
  }
  record->dirty = 0;
  return 1;
}

void ProfileRelease(const char *path) {
  if (!IsUsablePath(path)) {
    return;
  }
  ProfileFile *record = FindCached(path);
  if (record != nullptr) {
    Unlink(record);
    Retire(record);
  }
}
