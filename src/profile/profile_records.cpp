#include "profile/profile_internal.h"

#include "platform/fault_injection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool Within(const char *text, const char *buffer, std::size_t size) {
  const auto at = reinterpret_cast<std::uintptr_t>(text);
  const auto begin = reinterpret_cast<std::uintptr_t>(buffer);
  return buffer != nullptr && at >= begin && at - begin < size;
}

// A record followed by a copy of its name and zero padding, in one
// allocation: names in the records can be read a word at a time.
template <typename Record> Record *NewWithName(const char *name, std::size_t nameLength) {
  auto *record =
      static_cast<Record *>(std::calloc(1, sizeof(Record) + nameLength + 1 + ProfileTextPadding));
  if (record != nullptr) {
    record->name = reinterpret_cast<char *>(record + 1);
    std::memcpy(record->name, name, nameLength);
    record->name[nameLength] = '\0';
    record->nameLength = static_cast<std::uint32_t>(nameLength);
  }
  return record;
}

bool GrowAddedEntries(ProfileSection *section) {
  if (section->addedEntryCount < section->addedEntryCapacity) {
    return true;
  }
  const std::uint32_t capacity =
      section->addedEntryCapacity == 0 ? 4 : section->addedEntryCapacity * 2;
  auto *grown = static_cast<ProfileEntry **>(
      std::realloc(section->addedEntries, capacity * sizeof(ProfileEntry *)));
  if (grown == nullptr) {
    return false;
  }
  section->addedEntries = grown;
  section->addedEntryCapacity = capacity;
  return true;
}

// The bytes buffer of the file freed last, kept for the next file read: a
// file released and read again (a key destroyed, a mode changed) then reads
// into memory already at hand.
char *spareBuffer = nullptr;
std::size_t spareCapacity = 0;
constexpr std::size_t SpareLimit = std::size_t{8} << 20;

} // namespace

char *ProfileTakeByteBuffer(std::size_t wanted, std::size_t *capacity) {
  if (spareBuffer != nullptr && spareCapacity >= wanted && spareCapacity / 4 <= wanted) {
    char *buffer = spareBuffer;
    *capacity = spareCapacity;
    spareBuffer = nullptr;
    spareCapacity = 0;
    return buffer;
  }
  *capacity = wanted;
  return static_cast<char *>(FallibleMalloc(wanted));
}

void ProfileGiveBackByteBuffer(char *buffer, std::size_t capacity) {
  if (buffer == nullptr) {
    return;
  }
  if (capacity > SpareLimit) {
    std::free(buffer);
    return;
  }
  std::free(spareBuffer);
  spareBuffer = buffer;
  spareCapacity = capacity;
}

std::uint64_t profileGeneration = 0;

ProfileFile *ProfileNewFile(const char *path, std::int32_t loaded) {
  auto *file = static_cast<ProfileFile *>(std::calloc(1, sizeof(ProfileFile)));
  file->path = ProfileCopyText(path, std::strlen(path));
  file->loaded = loaded;
  return file;
}

ProfileSection *ProfileNewSection(const char *name, std::size_t nameLength) {
  auto *section = NewWithName<ProfileSection>(name, nameLength);
  if (section != nullptr) {
    section->nameHash = ProfileHashName(name, nameLength);
  }
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

ProfileEntry *ProfileNewAddedEntry(const char *name, std::size_t nameLength, char *value,
                                   std::int32_t quoted) {
  auto *entry = NewWithName<ProfileEntry>(name, nameLength);
  if (entry == nullptr) {
    std::free(value);
    return nullptr;
  }
  entry->value = value;
  entry->quoted = quoted;
  return entry;
}

bool ProfileAppendSection(ProfileFile *file, ProfileSection *section) {
  section->next = nullptr;
  section->previous = file->lastSection;
  if (!ProfileIndexSection(file, section)) {
    return false;
  }
  if (file->lastSection == nullptr) {
    file->firstSection = section;
  } else {
    file->lastSection->next = section;
  }
  file->lastSection = section;
  ++file->sectionCount;
  ProfileShapeChanged();
  return true;
}

bool ProfileAppendEntry(ProfileSection *section, ProfileEntry *entry) {
  const std::uint32_t position = section->readEntryCount + section->addedEntryCount;
  if (!GrowAddedEntries(section)) {
    return false;
  }
  section->addedEntries[section->addedEntryCount++] = entry;
  if (!ProfileIndexEntry(section, position, ProfileHashName(entry->name, entry->nameLength))) {
    --section->addedEntryCount;
    return false;
  }
  entry->next = nullptr;
  if (section->lastEntry == nullptr) {
    section->firstEntry = entry;
  } else {
    section->lastEntry->next = entry;
  }
  section->lastEntry = entry;
  ++section->entryCount;
  ProfileShapeChanged();
  return true;
}

void ProfileUnlinkSection(ProfileFile *file, ProfileSection *section) {
  ProfileShapeChanged();
  ProfileUnindexSection(file, section);
  if (section->previous == nullptr) {
    file->firstSection = section->next;
  } else {
    section->previous->next = section->next;
  }
  if (section->next == nullptr) {
    file->lastSection = section->previous;
  } else {
    section->next->previous = section->previous;
  }
  --file->sectionCount;
  // Positions after it moved: the next listing by index starts afresh.
  file->cursorSection = nullptr;
  file->cursorIndex = 0;
}

bool ProfileIsFileText(const ProfileFile *file, const char *text) {
  return Within(text, file->text, file->textSize) ||
         Within(text, file->apartText, file->apartTextSize);
}

void ProfileFreeSection(const ProfileFile *file, ProfileSection *section) {
  for (std::uint32_t i = 0; i < section->readEntryCount && section->replacedValues > 0; ++i) {
    if (!ProfileIsFileText(file, section->readEntries[i].value)) {
      std::free(section->readEntries[i].value);
    }
  }
  for (std::uint32_t i = 0; i < section->addedEntryCount; ++i) {
    std::free(section->addedEntries[i]->value);
    std::free(section->addedEntries[i]);
  }
  std::free(section->addedEntries);
  std::free(section->entrySlots);
  std::free(section);
}

void ProfileFreeSections(ProfileFile *file) {
  ProfileShapeChanged();
  ProfileSection *section = file->firstSection;
  while (section != nullptr) {
    ProfileSection *next = section->next;
    ProfileFreeSection(file, section);
    section = next;
  }
  std::free(file->sectionSlots);
  file->sectionSlots = nullptr;
  std::free(file->deletedHeaders);
  file->deletedHeaders = nullptr;
  file->deletedHeaderCount = 0;
  file->deletedHeaderCapacity = 0;
  file->sectionSlotCount = 0;
  file->sectionSlotsUsed = 0;
  file->firstSection = nullptr;
  file->lastSection = nullptr;
  file->sectionCount = 0;
  file->cursorSection = nullptr;
  file->cursorIndex = 0;
}

void ProfileFreeText(ProfileFile *file) {
  if (file->text != file->bytes) {
    std::free(file->text);
  }
  std::free(file->apartText);
  file->apartText = nullptr;
  file->apartTextSize = 0;
  std::free(file->apartSpans);
  file->apartSpans = nullptr;
  file->apartSpanCount = 0;
  file->apartSpanCapacity = 0;
  ProfileGiveBackByteBuffer(file->bytes, file->byteCapacity);
  file->text = nullptr;
  file->textSize = 0;
  file->bytes = nullptr;
  file->byteCount = 0;
  file->byteCapacity = 0;
}

void ProfileFreeFile(ProfileFile *file) {
  ProfileShapeChanged();
  ProfileFreeSections(file);
  ProfileFreeText(file);
  std::free(file->path);
  std::free(file);
}
