#include "profile/profile_internal.h"

#include "platform/fault_injection.h"

#include <cstdlib>
#include <cstring>

namespace {

// The line that ended a section, put back for the next section's header
// search. Process-wide, like the cache: one load at a time.
char *lookAheadLine = nullptr;

char *SkipSpace(char *text) {
  while (ProfileIsSpace(*text)) {
    ++text;
  }
  return text;
}

// Whether line is a header: '[' first after white space and a non-empty name
// up to the last ']' of the line. Cuts the line there.
bool TakeHeaderName(char *line, char **name, std::size_t *nameLength) {
  char *open = SkipSpace(line);
  if (*open != '[') {
    return false;
  }
  char *close = std::strrchr(open + 1, ']');
  if (close == nullptr || close == open + 1) {
    return false;
  }
  *close = '\0';
  *name = open + 1;
  *nameLength = static_cast<std::size_t>(close - *name);
  return true;
}

// A line ending in a line feed whose preceding character is a backslash
// continues on the next line; answers the backslash's offset, or -1.
std::ptrdiff_t ContinuationPoint(char *line, std::size_t length) {
  if (length == 0 || line[length - 1] != '\n') {
    return -1;
  }
  char *lineFeed = line + length - 1;
  char *previous = CharPrevA(line, lineFeed);
  if (previous == lineFeed || *previous != '\\') {
    return -1;
  }
  return previous - line;
}

bool TakeLookAhead(ProfileReader *reader) {
  if (lookAheadLine == nullptr) {
    return false;
  }
  const std::size_t length = std::strlen(lookAheadLine);
  if (length + 1 > reader->lineCapacity) {
    char *grown = static_cast<char *>(FallibleRealloc(reader->line, length + 1));
    if (grown == nullptr) {
      reader->failed = true;
      ProfileClearLookAhead();
      return false;
    }
    reader->line = grown;
    reader->lineCapacity = length + 1;
  }
  std::memcpy(reader->line, lookAheadLine, length + 1);
  ProfileClearLookAhead();
  return true;
}

} // namespace

void ProfileClearLookAhead() {
  std::free(lookAheadLine);
  lookAheadLine = nullptr;
}

std::int32_t ProfileReadLogicalLine(ProfileReader *reader, const ProfileFile *file) {
  if (TakeLookAhead(reader)) {
    return 1;
  }
  if (ProfileReadLine(reader, 0, file) == nullptr) {
    return 0;
  }
  if (file->continuation == 0) {
    return 1;
  }
  std::size_t length = std::strlen(reader->line);
  for (std::ptrdiff_t at = ContinuationPoint(reader->line, length); at >= 0;
       at = ContinuationPoint(reader->line, length)) {
    // The next line overwrites the backslash and the line feed.
    const auto offset = static_cast<std::size_t>(at);
    if (ProfileReadLine(reader, offset, file) == nullptr) {
      break;
    }
    length = offset + std::strlen(reader->line + offset);
  }
  return 1;
}

ProfileEntry *ProfileParseEntry(char *line, std::int32_t *stop) {
  char *equals = std::strchr(line, '=');
  if (equals == nullptr) {
    return nullptr;
  }
  *equals = '\0';
  const char *name = ProfileTrim(line);
  if (*name == '\0') {
    *stop = 1;
    return nullptr;
  }
  std::int32_t quoted = 0;
  const char *value = ProfilePrepareValue(equals + 1, &quoted);
  return ProfileNewEntry(name, value, quoted);
}

std::int32_t ProfileReadSection(ProfileSection **section, ProfileReader *reader,
                                const ProfileFile *file) {
  *section = nullptr;
  char *name = nullptr;
  std::size_t nameLength = 0;
  do {
    if (ProfileReadLogicalLine(reader, file) == 0) {
      return 0;
    }
  } while (!TakeHeaderName(reader->line, &name, &nameLength));
  ProfileSection *found = ProfileNewSection(name, nameLength);
  while (ProfileReadLogicalLine(reader, file) != 0) {
    const char *start = SkipSpace(reader->line);
    if (*start == '[') {
      lookAheadLine = ProfileCopyText(reader->line, std::strlen(reader->line));
      break;
    }
    if (*start == '\0') {
      continue;
    }
    std::int32_t stop = 0;
    ProfileEntry *entry = ProfileParseEntry(reader->line, &stop);
    if (entry != nullptr) {
      ProfileAppendEntry(found, entry);
    }
    if (stop != 0) {
      break;
    }
  }
  *section = found;
  return 1;
}
