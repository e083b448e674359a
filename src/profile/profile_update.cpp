#include "profile/profile_internal.h"

#include <cstdlib>
#include <cstring>

namespace {

bool IsEmpty(const char *text) {
  return text == nullptr || text[0] == '\0';
}

bool HoldsLineBreak(const char *text) {
  return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

// A name that would be written as a line reading back differently: empty
// after trimming (ends its section), holding '=' (splits elsewhere), or
// beginning with '[' (reads as a header).
bool IsStorableEntryName(const char *name) {
  while (ProfileIsSpace(*name)) {
    ++name;
  }
  return *name != '\0' && *name != '[' && std::strchr(name, '=') == nullptr;
}

// Replaces the entry's value with value prepared as the parser prepares it.
void StoreValue(ProfileEntry *entry, const char *value) {
  char *copy = ProfileCopyText(value, std::strlen(value));
  std::int32_t quoted = 0;
  const char *prepared = ProfilePrepareValue(copy, &quoted);
  std::free(entry->value);
  entry->value = ProfileCopyText(prepared, std::strlen(prepared));
  entry->quoted = quoted;
  std::free(copy);
}

} // namespace

ProfileEntry *ProfileFindEntry(ProfileSection *section, const char *name) {
  if (section == nullptr || name == nullptr) {
    return nullptr;
  }
  for (ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
    if (_stricmp(entry->name, name) == 0) {
      return entry;
    }
  }
  return nullptr;
}

ProfileSection *ProfileFindSectionIn(ProfileFile *file, const char *name) {
  if (name == nullptr) {
    return nullptr;
  }
  for (ProfileSection *section = file->firstSection; section != nullptr; section = section->next) {
    if (_stricmp(section->name, name) == 0) {
      return section;
    }
  }
  return nullptr;
}

ProfileSection *ProfileFindOrAddSection(ProfileFile *file, const char *name) {
  char *copy = ProfileCopyText(name, std::strlen(name));
  const char *trimmed = ProfileTrim(copy);
  ProfileSection *section = ProfileFindSectionIn(file, trimmed);
  if (section == nullptr) {
    section = ProfileAddSection(file, trimmed);
  }
  std::free(copy);
  return section;
}

ProfileSection *ProfileAddSection(ProfileFile *file, const char *name) {
  if (IsEmpty(name)) {
    return nullptr;
  }
  ProfileSection *section = ProfileNewSection(name, std::strlen(name));
  ProfileAppendSection(file, section);
  return section;
}

ProfileEntry *ProfileSetEntry(ProfileSection *section, const char *name, const char *value) {
  char *copy = ProfileCopyText(name, std::strlen(name));
  const char *trimmed = ProfileTrim(copy);
  ProfileEntry *entry = ProfileFindEntry(section, trimmed);
  if (entry == nullptr) {
    entry = ProfileAddEntry(section, trimmed, value);
  } else {
    StoreValue(entry, value);
  }
  std::free(copy);
  return entry;
}

ProfileEntry *ProfileAddEntry(ProfileSection *section, const char *name, const char *value) {
  char *copy = ProfileCopyText(name, std::strlen(name));
  ProfileEntry *entry = ProfileNewEntry(ProfileTrim(copy), "", 0);
  std::free(copy);
  StoreValue(entry, value);
  ProfileAppendEntry(section, entry);
  return entry;
}

std::int32_t ProfileDeleteSection(ProfileFile *file, const char *name) {
  if (name == nullptr) {
    return 1;
  }
  ProfileSection *previous = nullptr;
  ProfileSection *section = file->firstSection;
  while (section != nullptr && _stricmp(section->name, name) != 0) {
    previous = section;
    section = section->next;
  }
  if (section == nullptr) {
    return 1;
  }
  if (previous == nullptr) {
    file->firstSection = section->next;
  } else {
    previous->next = section->next;
  }
  if (file->lastSection == section) {
    file->lastSection = previous;
  }
  --file->sectionCount;
  ProfileFreeSection(section);
  return 1;
}

std::int32_t ProfileSetString(const char *section, const char *entry, const char *value,
                              const char *path) {
  if (value == nullptr) {
    value = "";
  }
  ProfileFile *file = nullptr;
  if (ProfileOpen(path, &file) == 0 || IsEmpty(section)) {
    return 0;
  }
  // Any of these would be written back as lines that read back differently.
  if (HoldsLineBreak(section) || HoldsLineBreak(entry) || HoldsLineBreak(value)) {
    return 0;
  }
  if (IsEmpty(entry)) {
    file->dirty = 1;
    return ProfileDeleteSection(file, section);
  }
  if (!IsStorableEntryName(entry)) {
    return 0;
  }
  ProfileSection *found = ProfileFindOrAddSection(file, section);
  if (found == nullptr) {
    return 0;
  }
  ProfileSetEntry(found, entry, value);
  file->dirty = 1;
  return 1;
}
