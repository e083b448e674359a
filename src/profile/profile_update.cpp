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

// The text without white space at either end, as a range of it.
struct Trimmed {
  const char *start;
  std::size_t length;
};

Trimmed TrimmedRange(const char *text) {
  while (ProfileIsSpace(*text)) {
    ++text;
  }
  std::size_t length = std::strlen(text);
  while (length > 0 && ProfileIsSpace(text[length - 1])) {
    --length;
  }
  return {text, length};
}

// The value as the parser prepares it (trimmed, one pair of enclosing quotes
// removed), in an allocation of its own; null when memory ran out.
char *PreparedValue(const char *value, std::int32_t *quoted) {
  const Trimmed trimmed = TrimmedRange(value);
  const ProfileValueText prepared = ProfileUnquote(trimmed.start, trimmed.length);
  *quoted = prepared.quoted;
  return ProfileCopyText(trimmed.start + prepared.start, prepared.length);
}

void StoreValue(ProfileSection *section, ProfileEntry *entry, char *value, std::int32_t quoted,
                const ProfileFile *file) {
  if (ProfileIsFileText(file, entry->value)) {
    ++section->replacedValues;
  } else {
    std::free(entry->value);
  }
  entry->value = value;
  entry->quoted = quoted;
}

ProfileSection *FindOrAddSection(ProfileFile *file, const Trimmed &name) {
  if (name.length == 0) {
    return nullptr;
  }
  ProfileSection *section = ProfileIndexedSection(file, ProfileFoldKey(name.start, name.length));
  if (section != nullptr) {
    return section;
  }
  section = ProfileNewSection(name.start, name.length);
  if (section != nullptr && !ProfileAppendSection(file, section)) {
    std::free(section);
    section = nullptr;
  }
  return section;
}

ProfileEntry *SetEntry(const ProfileFile *file, ProfileSection *section, const Trimmed &name,
                       const char *value) {
  std::int32_t quoted = 0;
  char *prepared = PreparedValue(value, &quoted);
  if (prepared == nullptr) {
    return nullptr;
  }
  ProfileEntry *entry = ProfileIndexedEntry(section, ProfileFoldKey(name.start, name.length));
  if (entry != nullptr) {
    StoreValue(section, entry, prepared, quoted, file);
    return entry;
  }
  entry = ProfileNewAddedEntry(name.start, name.length, prepared, quoted);
  if (entry != nullptr && !ProfileAppendEntry(section, entry)) {
    std::free(entry->value);
    std::free(entry);
    entry = nullptr;
  }
  return entry;
}

} // namespace

ProfileEntry *ProfileFindEntry(ProfileSection *section, const char *name) {
  if (section == nullptr || name == nullptr) {
    return nullptr;
  }
  const std::size_t length = std::strlen(name);
  return ProfileIndexedEntry(section, ProfileFoldKey(name, length));
}

ProfileSection *ProfileFindSectionIn(const ProfileFile *file, const char *name) {
  if (name == nullptr) {
    return nullptr;
  }
  const std::size_t length = std::strlen(name);
  return ProfileIndexedSection(file, ProfileFoldKey(name, length));
}

ProfileSection *ProfileFindOrAddSection(ProfileFile *file, const char *name) {
  return FindOrAddSection(file, TrimmedRange(name));
}

ProfileSection *ProfileAddSection(ProfileFile *file, const char *name) {
  if (IsEmpty(name)) {
    return nullptr;
  }
  ProfileSection *section = ProfileNewSection(name, std::strlen(name));
  if (section != nullptr && !ProfileAppendSection(file, section)) {
    std::free(section);
    section = nullptr;
  }
  return section;
}

ProfileEntry *ProfileSetEntry(const ProfileFile *file, ProfileSection *section, const char *name,
                              const char *value) {
  return SetEntry(file, section, TrimmedRange(name), value);
}

std::int32_t ProfileDeleteSection(ProfileFile *file, const char *name) {
  ProfileSection *section = ProfileFindSectionIn(file, name);
  if (section != nullptr) {
    if (!ProfileNoteDeletedSection(file, section)) {
      return 0;
    }
    ProfileUnlinkSection(file, section);
    ProfileFreeSection(file, section);
  }
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
  // Text that reading had to replace is not the file's: writing it back
  // would destroy what the replaced characters were. Such a file is left as
  // it is, unless it is kept in its layout: then only the caller's text and
  // the file's own bytes are ever written.
  if (file->textReplaced != 0 && file->layoutKept == 0) {
    return 0;
  }
  // Any of these would be written back as lines that read back differently.
  if (HoldsLineBreak(section) || HoldsLineBreak(entry) || HoldsLineBreak(value)) {
    return 0;
  }
  if (!ProfileTextFitsFile(file, section) || !ProfileTextFitsFile(file, entry) ||
      !ProfileTextFitsFile(file, value)) {
    return 0;
  }
  if (IsEmpty(entry)) {
    file->dirty = 1;
    return ProfileDeleteSection(file, section);
  }
  if (!IsStorableEntryName(entry)) {
    return 0;
  }
  ProfileSection *found = FindOrAddSection(file, TrimmedRange(section));
  if (found == nullptr || SetEntry(file, found, TrimmedRange(entry), value) == nullptr) {
    return 0;
  }
  file->dirty = 1;
  return 1;
}
