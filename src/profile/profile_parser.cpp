#include "profile/profile_internal.h"

#include "platform/fault_injection.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::size_t SkipSpace(const char *text, std::size_t at, std::size_t end) {
  while (at < end && ProfileIsSpace(text[at])) {
    ++at;
  }
  return at;
}

std::size_t TrimEnd(const char *text, std::size_t start, std::size_t end) {
  while (end > start && ProfileIsSpace(text[end - 1])) {
    --end;
  }
  return end;
}

// A name or value of the line as a terminated text of the file: terminated
// where it stands when read in place, else copied into the file's text.
char *KeepText(ProfileReader *reader, const ProfileLine *line, std::size_t start,
               std::size_t length) {
  if (reader->inPlace) {
    line->text[start + length] = '\0';
    return line->text + start;
  }
  ProfileFile *file = reader->file;
  if (file->textSize - reader->textUsed < length + 1) {
    reader->failed = true;
    return nullptr;
  }
  char *copy = file->text + reader->textUsed;
  std::memcpy(copy, line->text + start, length);
  copy[length] = '\0';
  reader->textUsed += length + 1;
  return copy;
}

ProfileEntry *BlockEntries(ProfileSection *block) {
  return reinterpret_cast<ProfileEntry *>(block + 1);
}

// Room for one more entry in the section's block: the section record with
// its entries behind it, grown as they are read.
bool ReserveEntry(ProfileReader *reader) {
  const std::uint32_t count = reader->entryCount;
  if (reader->block != nullptr && count < reader->entryCapacity) {
    return true;
  }
  // Sections of a file tend to be alike: a new block starts with room for a
  // little more than the section before had, within reason.
  const std::size_t guess = reader->lastEntryCount + reader->lastEntryCount / 4 + 16;
  const std::size_t capacity =
      reader->block == nullptr ? (guess < 4096 ? guess : 4096) : std::size_t{count} * 2;
  auto *block = static_cast<ProfileSection *>(
      FallibleRealloc(reader->block, sizeof(ProfileSection) + capacity * sizeof(ProfileEntry)));
  auto *spans = reader->file->keepLayout == 0 ? nullptr
                                              : static_cast<ProfileSpan *>(FallibleRealloc(
                                                    reader->spans, capacity * sizeof(ProfileSpan)));
  if (block != nullptr) {
    reader->block = block;
  }
  if (spans != nullptr) {
    reader->spans = spans;
  }
  if (block == nullptr || (spans == nullptr && reader->file->keepLayout != 0) ||
      capacity > UINT32_MAX) {
    reader->failed = true;
    return false;
  }
  reader->entryCapacity = static_cast<std::uint32_t>(capacity);
  return true;
}

bool KeepEntry(ProfileReader *reader, const ProfileLine *line, const ProfileEntryText &parts) {
  if (!ReserveEntry(reader)) {
    return false;
  }
  const std::uint32_t index = reader->entryCount;
  if (reader->file->keepLayout != 0) {
    const std::size_t valueStart = parts.valueStart - static_cast<std::size_t>(parts.quoted);
    reader->spans[index] = {line->start, ProfileByteOffset(reader, line, valueStart), line->end};
  }
  // The value first: in place, the name's terminator may stand on the '='.
  char *value = KeepText(reader, line, parts.valueStart, parts.valueLength);
  char *name = KeepText(reader, line, parts.nameStart, parts.nameLength);
  if (value == nullptr || name == nullptr) {
    return false;
  }
  ProfileEntry &entry = BlockEntries(reader->block)[index];
  entry.name = name;
  entry.value = value;
  entry.nameLength = static_cast<std::uint32_t>(parts.nameLength);
  entry.quoted = parts.quoted;
  reader->entryCount = index + 1;
  return true;
}

// The section with the entries read for it, in one allocation (with their
// spans behind them); null when memory ran out.
ProfileSection *MakeSection(ProfileReader *reader, char *name, std::size_t nameLength,
                            const ProfileSpan &headerSpan) {
  const std::uint32_t count = reader->entryCount;
  const bool spans = reader->file->keepLayout != 0;
  const std::size_t size = sizeof(ProfileSection) + count * sizeof(ProfileEntry) +
                           (spans ? count * sizeof(ProfileSpan) : 0);
  auto *section = static_cast<ProfileSection *>(FallibleRealloc(reader->block, size));
  if (section == nullptr) {
    reader->failed = true;
    return nullptr;
  }
  reader->block = nullptr;
  reader->entryCapacity = 0;
  reader->lastEntryCount = count;
  *section = ProfileSection{};
  ProfileEntry *entries = BlockEntries(section);
  if (spans) {
    section->headerSpan = headerSpan;
    section->readEntrySpans = reinterpret_cast<ProfileSpan *>(entries + count);
    if (count > 0) {
      std::memcpy(section->readEntrySpans, reader->spans, count * sizeof(ProfileSpan));
    }
  }
  section->name = name;
  section->nameLength = static_cast<std::uint32_t>(nameLength);
  section->nameHash = ProfileHashName(name, nameLength);
  section->entryCount = count;
  section->readEntries = entries;
  section->readEntryCount = count;
  section->readFromFile = 1;
  if (count > 0) {
    for (std::uint32_t i = 0; i + 1 < count; ++i) {
      entries[i].next = &entries[i + 1];
    }
    entries[count - 1].next = nullptr;
    section->firstEntry = &entries[0];
    section->lastEntry = &entries[count - 1];
  }
  return section;
}

} // namespace

bool ProfileSplitHeader(const char *text, std::size_t length, std::size_t *nameStart,
                        std::size_t *nameLength) {
  const std::size_t open = SkipSpace(text, 0, length);
  if (open == length || text[open] != '[') {
    return false;
  }
  std::size_t close = length;
  while (close > open + 1 && text[close - 1] != ']') {
    --close;
  }
  // close is now past the last ']' after the '[', or open + 1 if none.
  if (close <= open + 2) {
    return false;
  }
  *nameStart = open + 1;
  *nameLength = close - 1 - *nameStart;
  return true;
}

ProfileLineKind ProfileSplitEntry(const char *text, std::size_t length, ProfileEntryText *parts) {
  const auto *equals = static_cast<const char *>(std::memchr(text, '=', length));
  if (equals == nullptr) {
    return ProfileLineKind::Other;
  }
  const auto split = static_cast<std::size_t>(equals - text);
  const std::size_t nameStart = SkipSpace(text, 0, split);
  const std::size_t nameEnd = TrimEnd(text, nameStart, split);
  if (nameEnd == nameStart) {
    return ProfileLineKind::EmptyName;
  }
  const std::size_t valueStart = SkipSpace(text, split + 1, length);
  const std::size_t valueEnd = TrimEnd(text, valueStart, length);
  const ProfileValueText value = ProfileUnquote(text + valueStart, valueEnd - valueStart);
  *parts = {nameStart, nameEnd - nameStart, valueStart + value.start, value.length, value.quoted};
  return ProfileLineKind::Entry;
}

ProfileEntry *ProfileParseEntry(char *line, std::int32_t *stop) {
  ProfileEntryText parts{};
  switch (ProfileSplitEntry(line, std::strlen(line), &parts)) {
  case ProfileLineKind::EmptyName:
    *stop = 1;
    return nullptr;
  case ProfileLineKind::Other:
    return nullptr;
  case ProfileLineKind::Entry:
    break;
  }
  line[parts.nameStart + parts.nameLength] = '\0';
  line[parts.valueStart + parts.valueLength] = '\0';
  return ProfileNewEntry(line + parts.nameStart, line + parts.valueStart, parts.quoted);
}

std::int32_t ProfileReadSection(ProfileSection **section, ProfileReader *reader) {
  *section = nullptr;
  ProfileLine line{};
  std::size_t nameStart = 0;
  std::size_t nameLength = 0;
  do {
    if (!ProfileReadLogicalLine(reader, &line)) {
      return 0;
    }
  } while (!ProfileSplitHeader(line.text, line.length, &nameStart, &nameLength));
  ProfileSpan headerSpan{};
  if (reader->file->keepLayout != 0) {
    headerSpan = {line.start, ProfileByteOffset(reader, &line, nameStart), line.end};
  }
  char *name = KeepText(reader, &line, nameStart, nameLength);
  if (name == nullptr) {
    return 0;
  }
  reader->entryCount = 0;
  // Within a section no line is pending; without continuation and read in
  // place, a line is a physical line as it stands.
  const bool plainLines = reader->inPlace && reader->file->continuation == 0;
  while (plainLines ? ProfileReadByteLine(reader, &line) : ProfileReadLogicalLine(reader, &line)) {
    const std::size_t first = SkipSpace(line.text, 0, line.length);
    if (first == line.length) {
      continue;
    }
    if (line.text[first] == '[') {
      // It ends this section and is the next header search's first line.
      reader->pending = true;
      reader->pendingLine = line;
      break;
    }
    ProfileEntryText parts{};
    const ProfileLineKind kind = ProfileSplitEntry(line.text, line.length, &parts);
    if (kind == ProfileLineKind::Entry && !KeepEntry(reader, &line, parts)) {
      return 0;
    }
    if (kind == ProfileLineKind::EmptyName) {
      break;
    }
  }
  if (reader->failed) {
    return 0;
  }
  *section = MakeSection(reader, name, nameLength, headerSpan);
  return *section != nullptr ? 1 : 0;
}

bool ProfileParseFile(ProfileFile *file) {
  ProfileReader reader;
  bool parsed = ProfileReaderStart(&reader, file);
  ProfileSection *section = nullptr;
  while (parsed && ProfileReadSection(&section, &reader) != 0) {
    if (!ProfileAppendSection(file, section)) {
      ProfileFreeSection(file, section);
      parsed = false;
    }
  }
  parsed = parsed && !reader.failed;
  if (reader.replaced) {
    file->textReplaced = 1;
  }
  ProfileReaderEnd(&reader);
  return parsed;
}
