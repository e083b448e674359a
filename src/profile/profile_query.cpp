#include "profile/profile_internal.h"

#include <cstring>

namespace {

// Four moves of Chunk bytes that overlap as the length asks cover any length
// from Chunk to 4 * Chunk, with no branch on the length: listings copy names
// of mixed lengths one after another, where branches on the length would
// mostly be guessed wrong.
template <typename Chunk> inline void CopyInChunks(char *to, const char *from, std::size_t length) {
  constexpr std::size_t size = sizeof(Chunk);
  const std::size_t second = length < 2 * size ? length - size : size;
  const std::size_t third = length < 2 * size ? 0 : length - 2 * size;
  const std::size_t last = length - size;
  Chunk a, b, c, d;
  std::memcpy(&a, from, size);
  std::memcpy(&b, from + second, size);
  std::memcpy(&c, from + third, size);
  std::memcpy(&d, from + last, size);
  std::memcpy(to, &a, size);
  std::memcpy(to + second, &b, size);
  std::memcpy(to + third, &c, size);
  std::memcpy(to + last, &d, size);
}

// memcpy for the short names and values most files hold: fixed-size moves
// that overlap, instead of a call for a dozen bytes.
inline void CopyBytes(char *to, const char *from, std::size_t length) {
  if (length >= 4 && length <= 16) {
    CopyInChunks<std::uint32_t>(to, from, length);
  } else if (length < 4) {
    if (length > 0) {
      // First, middle and last cover 1 to 3 bytes.
      to[0] = from[0];
      to[length / 2] = from[length / 2];
      to[length - 1] = from[length - 1];
    }
  } else if (length <= 32) {
    CopyInChunks<std::uint64_t>(to, from, length);
  } else {
    std::memcpy(to, from, length);
  }
}

// Stores the text, inside double quotes when quoted, as one terminated
// text: at most size - 1 bytes and a zero byte. Size 0 (or no buffer) stores
// nothing and answers the length.
std::uint32_t StoreText(const char *text, bool quoted, char *buffer, std::uint32_t size) {
  const std::size_t length = std::strlen(text);
  if (size == 0 || buffer == nullptr) {
    return static_cast<std::uint32_t>(length + (quoted ? 2 : 0));
  }
  const std::size_t room = size - 1;
  std::size_t stored = 0;
  if (quoted && stored < room) {
    buffer[stored++] = '"';
  }
  const std::size_t taken = length < room - stored ? length : room - stored;
  CopyBytes(buffer + stored, text, taken);
  stored += taken;
  if (quoted && stored < room) {
    buffer[stored++] = '"';
  }
  buffer[stored] = '\0';
  return static_cast<std::uint32_t>(stored);
}

std::uint32_t StoreDefault(const char *defaultText, char *buffer, std::uint32_t size) {
  return StoreText(defaultText != nullptr ? defaultText : "", false, buffer, size);
}

// Names one after another, each with its zero byte, in a zero-filled buffer
// whose last byte always stays zero; a name that does not fit is stored in
// part and ends the list. Answers the bytes of the names stored whole.
template <typename Record>
std::uint32_t StoreNameList(const Record *record, char *buffer, std::uint32_t size) {
  if (buffer == nullptr || size == 0) {
    return 0;
  }
  std::memset(buffer, 0, size);
  std::uint32_t room = size - 1;
  char *out = buffer;
  for (; record != nullptr; record = record->next) {
    const std::uint32_t length = record->nameLength;
    if (length >= room) {
      std::memcpy(out, record->name, room);
      break;
    }
    std::memcpy(out, record->name, length);
    out += length + 1;
    room -= length + 1;
  }
  return size - 1 - room;
}

// Copies at most size bytes of the name, without a zero byte; answers the
// name's whole length.
template <typename Record>
std::uint32_t StoreName(const Record *record, char *buffer, std::uint32_t size) {
  const std::uint32_t length = record->nameLength;
  const std::uint32_t copied = size < length ? size : length;
  if (copied != 0 && buffer != nullptr) {
    CopyBytes(buffer, record->name, copied);
  }
  return length;
}

// The last value found by ProfileGetString, for callers that ask twice for
// one value (its length, then its text): the second time, the names are
// only compared with the records found the first time.
struct LastLookup {
  std::uint64_t generation;
  const ProfileFile *file;
  const ProfileSection *section;
  const ProfileEntry *entry;
};
LastLookup lastLookup = {0, nullptr, nullptr, nullptr};

template <typename Record> bool Names(const Record *record, const char *name, std::size_t length) {
  return length == record->nameLength && ProfileSameName(record->name, name, length);
}

const ProfileEntry *RememberedValue(const ProfileFile *file, const char *section,
                                    std::size_t sectionLength, const char *entry,
                                    std::size_t entryLength) {
  if (lastLookup.file != file || lastLookup.generation != profileGeneration ||
      !Names(lastLookup.entry, entry, entryLength) ||
      !Names(lastLookup.section, section, sectionLength)) {
    return nullptr;
  }
  return lastLookup.entry;
}

bool IsEmpty(const char *text) {
  return text == nullptr || text[0] == '\0';
}

// The entry named, or null when a name is empty or section or entry are missing.
const ProfileEntry *FindValue(const char *section, const char *entry, const char *path) {
  ProfileFile *file = nullptr;
  if (ProfileOpen(path, &file) == 0 || IsEmpty(section) || IsEmpty(entry)) {
    return nullptr;
  }
  return ProfileFindEntry(ProfileFindSectionIn(file, section), entry);
}

} // namespace

std::uint32_t ProfileGetString(const char *section, const char *entry, const char *defaultText,
                               char *buffer, std::uint32_t size, const char *path) {
  ProfileFile *file = nullptr;
  if (ProfileOpen(path, &file) == 0) {
    return StoreDefault(defaultText, buffer, size);
  }
  if (IsEmpty(section)) {
    return StoreNameList(file->firstSection, buffer, size);
  }
  const std::size_t sectionLength = std::strlen(section);
  const std::size_t entryLength = entry == nullptr ? 0 : std::strlen(entry);
  if (entryLength != 0) {
    const ProfileEntry *remembered =
        RememberedValue(file, section, sectionLength, entry, entryLength);
    if (remembered != nullptr) {
      return StoreText(remembered->value, file->returnQuotes != 0 && remembered->quoted == 1,
                       buffer, size);
    }
  }
  ProfileSection *found = ProfileIndexedSection(file, ProfileFoldKey(section, sectionLength));
  if (found == nullptr) {
    return StoreDefault(defaultText, buffer, size);
  }
  if (entryLength == 0) {
    return StoreNameList(found->firstEntry, buffer, size);
  }
  const ProfileEntry *value = ProfileIndexedEntry(found, ProfileFoldKey(entry, entryLength));
  if (value == nullptr) {
    return StoreDefault(defaultText, buffer, size);
  }
  lastLookup = {profileGeneration, file, found, value};
  return StoreText(value->value, file->returnQuotes != 0 && value->quoted == 1, buffer, size);
}

std::uint32_t ProfileGetNumber(const char *section, const char *entry, std::uint32_t defaultValue,
                               const char *path) {
  const ProfileEntry *value = FindValue(section, entry, path);
  return value == nullptr ? defaultValue : ProfileParseNumber(value->value, 10);
}

std::uint32_t ProfileGetHexNumber(const char *section, const char *entry,
                                  std::uint32_t defaultValue, const char *path) {
  const ProfileEntry *value = FindValue(section, entry, path);
  return value == nullptr ? defaultValue : ProfileParseNumber(value->value, 16);
}

namespace {

// The section at a list position: the cursor answers the position it last
// answered and the one after it at once; any other position walks.
const ProfileSection *SectionAt(ProfileFile *file, std::uint32_t index) {
  ProfileSection *section = file->cursorSection;
  std::uint32_t at = file->cursorIndex;
  if (section == nullptr || index < at) {
    section = file->firstSection;
    at = 0;
  }
  for (; section != nullptr && at < index; ++at) {
    section = section->next;
  }
  if (section != nullptr) {
    file->cursorSection = section;
    file->cursorIndex = index;
  }
  return section;
}

} // namespace

std::uint32_t ProfileGetSectionName(std::uint32_t index, char *buffer, std::uint32_t size,
                                    const char *path) {
  ProfileFile *file = nullptr;
  if (ProfileOpen(path, &file) == 0) {
    return 0;
  }
  const ProfileSection *section = SectionAt(file, index);
  return section == nullptr ? 0 : StoreName(section, buffer, size);
}

ProfileSection *ProfileFindSection(const char *section, const char *path) {
  ProfileFile *file = nullptr;
  if (ProfileOpen(path, &file) == 0) {
    return nullptr;
  }
  return ProfileFindSectionIn(file, section);
}

std::uint32_t ProfileGetEntryName(std::uint32_t index, char *buffer, std::uint32_t size,
                                  ProfileSection *section) {
  if (section == nullptr) {
    return 0;
  }
  const ProfileEntry *entry = ProfileEntryAt(section, index);
  return entry == nullptr ? 0 : StoreName(entry, buffer, size);
}
