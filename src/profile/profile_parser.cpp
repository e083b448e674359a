#include "profile/profile_internal.h"

#include "platform/fault_injection.h"

#include <algorithm>
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

// Whether the line's text lies in the file's bytes, to be parsed in place:
// not for UTF-16 text, nor for a line put together apart (keep-layout).
bool InPlace(const ProfileReader *reader, const ProfileLine *line) {
  return reader->inPlace && line->text != reader->line;
}

// Room for the names and values of lines put together apart under
// keep-layout: all of them take no more than the file's bytes and one more.
bool ReserveApartText(ProfileReader *reader, std::size_t length) {
  ProfileFile *file = reader->file;
  if (file->apartText == nullptr) {
    file->apartTextSize = file->byteCount + 2;
    file->apartText = static_cast<char *>(FallibleMalloc(file->apartTextSize + ProfileTextPadding));
    if (file->apartText == nullptr) {
      return false;
    }
    std::memset(file->apartText + file->apartTextSize, 0, ProfileTextPadding);
  }
  return file->apartText != nullptr && file->apartTextSize - reader->apartUsed >= length + 1;
}

// A name or value of a line not read in place, copied and terminated: into
// the file's text (UTF-16), or apart (lines put together apart).
char *CopyText(ProfileReader *reader, const ProfileLine *line, std::size_t start,
               std::size_t length) {
  ProfileFile *file = reader->file;
  const bool apart = reader->inPlace;
  if (apart ? !ReserveApartText(reader, length) : file->textSize - reader->textUsed < length + 1) {
    reader->failed = true;
    return nullptr;
  }
  std::size_t &used = apart ? reader->apartUsed : reader->textUsed;
  char *copy = (apart ? file->apartText : file->text) + used;
  std::memcpy(copy, line->text + start, length);
  copy[length] = '\0';
  used += length + 1;
  return copy;
}

// A name or value of the line as a terminated text of the file: terminated
// where it stands when read in place, else copied.
inline char *KeepText(ProfileReader *reader, const ProfileLine *line, std::size_t start,
                      std::size_t length, bool inPlace) {
  if (inPlace) {
    line->text[start + length] = '\0';
    return line->text + start;
  }
  return CopyText(reader, line, start, length);
}

ProfileEntry *BlockEntries(ProfileSection *block) {
  return reinterpret_cast<ProfileEntry *>(block + 1);
}

std::size_t BlockSize(std::size_t capacity) {
  return sizeof(ProfileSection) + capacity * sizeof(ProfileEntry);
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
  if (capacity > UINT32_MAX) {
    reader->failed = true;
    return false;
  }
  auto *block = static_cast<ProfileSection *>(FallibleRealloc(reader->block, BlockSize(capacity)));
  if (block == nullptr) {
    reader->failed = true;
    return false;
  }
  reader->block = block;
  reader->entryCapacity = static_cast<std::uint32_t>(capacity);
  return true;
}

// Under keep-layout, the span of an entry whose text was copied: the file's
// list of them grows by one; false when memory ran out.
bool KeepApartSpan(ProfileReader *reader, const ProfileLine *line, const ProfileEntryText &parts,
                   const char *name) {
  ProfileFile *file = reader->file;
  // Every entry of a UTF-16 file is copied: room at once for one in 64 bytes
  // of it, as settings lines go, spares growing; joined lines are few.
  const std::size_t first = file->utf16 != 0 ? file->byteCount / 64 : 0;
  if (!ProfileReserve(&file->apartSpans, &file->apartSpanCapacity,
                      std::max<std::size_t>(std::size_t{file->apartSpanCount} + 1, first))) {
    reader->failed = true;
    return false;
  }
  const std::size_t valueStart = parts.valueStart - static_cast<std::size_t>(parts.quoted);
  const std::size_t valueByte = ProfileByteOffset(reader, line, valueStart);
  // Offsets fit: the file is shorter than 4 GiB (ProfileReaderStart).
  file->apartSpans[file->apartSpanCount++] = {name,
                                              {static_cast<std::uint32_t>(line->start),
                                               static_cast<std::uint32_t>(valueByte - line->start),
                                               static_cast<std::uint32_t>(line->end - line->start),
                                               static_cast<std::uint8_t>(parts.quoted), 1, '\0'}};
  return true;
}

// Made once for each choice of keep-layout, so that the usual reading pays
// nothing for it. Under keep-layout an entry parsed in place keeps the bytes
// its zero bytes take the place of, and one whose text is copied its span.
template <bool keepLayout>
bool KeepEntry(ProfileReader *reader, const ProfileLine *line, const ProfileEntryText &parts) {
  if (!ReserveEntry(reader)) {
    return false;
  }
  const std::uint32_t index = reader->entryCount;
  // Without keep-layout joined lines are put together in place too.
  const bool inPlace = keepLayout ? InPlace(reader, line) : reader->inPlace;
  const std::size_t nameEnd = parts.nameStart + parts.nameLength;
  const std::size_t valueEnd = parts.valueStart + parts.valueLength;
  // The bytes that the zero bytes below take the place of.
  const bool restorable = keepLayout && inPlace;
  const char nameEndByte = restorable ? line->text[nameEnd] : '\0';
  const char valueEndByte = restorable ? line->text[valueEnd] : '\0';
  // Copied, the value stands right behind the name (ProfileReadValue).
  char *name = KeepText(reader, line, parts.nameStart, parts.nameLength, inPlace);
  char *value = KeepText(reader, line, parts.valueStart, parts.valueLength, inPlace);
  if (value == nullptr || name == nullptr) {
    return false;
  }
  if (keepLayout && !inPlace && !KeepApartSpan(reader, line, parts, name)) {
    return false;
  }
  ProfileEntry &entry = BlockEntries(reader->block)[index];
  entry.name = name;
  entry.value = value;
  entry.nameLength = static_cast<std::uint32_t>(parts.nameLength);
  entry.quoted = static_cast<std::int16_t>(parts.quoted);
  if (keepLayout) {
    entry.nameEndByte = nameEndByte;
    entry.valueEndByte = valueEndByte;
  }
  reader->entryCount = index + 1;
  return true;
}

// The section with the entries read for it, in one allocation; null when
// memory ran out.
ProfileSection *MakeSection(ProfileReader *reader, char *name, std::size_t nameLength,
                            const ProfileSpan &headerSpan) {
  const std::uint32_t count = reader->entryCount;
  auto *section = static_cast<ProfileSection *>(FallibleRealloc(reader->block, BlockSize(count)));
  if (section == nullptr) {
    reader->failed = true;
    return nullptr;
  }
  reader->block = nullptr;
  reader->entryCapacity = 0;
  reader->lastEntryCount = count;
  *section = ProfileSection{};
  ProfileEntry *entries = BlockEntries(section);
  section->headerSpan = headerSpan;
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
  const bool keepLayout = reader->file->keepLayout != 0;
  const bool inPlace = keepLayout ? InPlace(reader, &line) : reader->inPlace;
  ProfileSpan headerSpan{};
  if (keepLayout) {
    const std::size_t nameByte =
        inPlace ? line.start + nameStart : ProfileByteOffset(reader, &line, nameStart);
    headerSpan.lineStart = static_cast<std::uint32_t>(line.start);
    headerSpan.valueOffset = static_cast<std::uint32_t>(nameByte - line.start);
    headerSpan.lineLength = static_cast<std::uint32_t>(line.end - line.start);
    headerSpan.copied = inPlace ? 0 : 1;
    headerSpan.nameEndByte = inPlace ? line.text[nameStart + nameLength] : '\0';
  }
  char *name = KeepText(reader, &line, nameStart, nameLength, inPlace);
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
    if (kind == ProfileLineKind::Entry && !(keepLayout ? KeepEntry<true>(reader, &line, parts)
                                                       : KeepEntry<false>(reader, &line, parts))) {
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
