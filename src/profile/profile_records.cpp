#include "profile/profile_internal.h"

#include <cstdlib>
#include <cstring>

ProfileFile *ProfileNewFile(const char *path, std::int32_t loaded) {
  auto *file = static_cast<ProfileFile *>(std::calloc(1, sizeof(ProfileFile)));
  file->path = ProfileCopyText(path, std::strlen(path));
  file->loaded = loaded;
  return file;
}

ProfileSection *ProfileNewSection(const char *name, std::size_t nameLength) {
  auto *section = static_cast<ProfileSection *>(std::calloc(1, sizeof(ProfileSection)));
  section->name = ProfileCopyText(name, nameLength);
  section->nameLength = static_cast<std::uint32_t>(nameLength);
  return section;
}

ProfileEntry *ProfileNewEntry(const char *name, const char *value, std::int32_t quoted) {
  auto *entry = static_cast<ProfileEntry *>(std::calloc(1, sizeof(ProfileEntry)));
  const std::size_t nameLength = std::strlen(name);
  entry->name = ProfileCopyText(name, nameLength);
  entry->nameLength = static_cast<std::uint32_t>(nameLength);
  entry->value = ProfileCopyText(value, std::strlen(value));
  entry->quoted = quoted;
  return entry;
}

void ProfileAppendSection(ProfileFile *file, ProfileSection *section) {
  section->next = nullptr;
  if (file->lastSection == nullptr) {
    file->firstSection = section;
  } else {
    file->lastSection->next = section;
  }
  file->lastSection = section;
  ++file->sectionCount;
}

void ProfileAppendEntry(ProfileSection *section, ProfileEntry *entry) {
  entry->next = nullptr;
  if (section->lastEntry == nullptr) {
    section->firstEntry = entry;
  } else {
    section->lastEntry->next = entry;
  }
  section->lastEntry = entry;
  ++section->entryCount;
}

void ProfileFreeSection(ProfileSection *section) {
  ProfileEntry *entry = section->firstEntry;
  while (entry != nullptr) {
    ProfileEntry *next = entry->next;
    std::free(entry->name);
    std::free(entry->value);
    std::free(entry);
    entry = next;
  }
  std::free(section->name);
  std::free(section);
}

void ProfileFreeSections(ProfileFile *file) {
  ProfileSection *section = file->firstSection;
  while (section != nullptr) {
    ProfileSection *next = section->next;
    ProfileFreeSection(section);
    section = next;
  }
  file->firstSection = nullptr;
  file->lastSection = nullptr;
  file->sectionCount = 0;
}

void ProfileFreeFile(ProfileFile *file) {
  ProfileFreeSections(file);
  std::free(file->path);
  std::free(file);
}
