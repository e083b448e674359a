// The engine's internal operations: records, text rules, the cache, the
// retry waits, the line reader and parser, and the record-level updates.
#pragma once

#include "profile/profile.h"
#include "profile/profile_names.h"

#include "platform/fault_injection.h"
#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

// --- Records ---
// Read entries (a section's readEntries) have their name and value in the
// file's text; a value replaced by an update is allocated alone. Every other
// entry is one allocation of record and name, its value another. A section
// is one allocation: with its read entries when read, with its name when added.
ProfileFile *ProfileNewFile(const char *path, std::int32_t loaded);
// A section as an update adds it; its name is copied.
ProfileSection *ProfileNewSection(const char *name, std::size_t nameLength);
// A standalone entry, name and value copied into allocations of their own.
ProfileEntry *ProfileNewEntry(const char *name, const char *value, std::int32_t quoted);
// An entry as an update adds it: value is a malloc'ed text it takes over.
ProfileEntry *ProfileNewAddedEntry(const char *name, std::size_t nameLength, char *value,
                                   std::int32_t quoted);
// Link at the end of the list and index; false (nothing linked) when memory ran out.
bool ProfileAppendSection(ProfileFile *file, ProfileSection *section);
bool ProfileAppendEntry(ProfileSection *section, ProfileEntry *entry);
// Takes the section out of the list and the index (a later duplicate takes
// its place); the caller frees it.
void ProfileUnlinkSection(ProfileFile *file, ProfileSection *section);
void ProfileFreeSection(const ProfileFile *file, ProfileSection *section);
void ProfileFreeSections(ProfileFile *file);
// Frees the file's bytes and text (after its sections, which point into them).
void ProfileFreeText(ProfileFile *file);
void ProfileFreeFile(ProfileFile *file);
// Where a read entry's value as read stands: parsed in place, at its span's
// value start (behind an opening quote) in the file's bytes; copied, right
// behind its name, as KeepEntry copies them.
inline const char *ProfileReadValue(const ProfileFile *file, const ProfileEntry &entry,
                                    const ProfileSpan &span) {
  return span.copied != 0 ? entry.name + entry.nameLength + 1
                          : file->bytes + span.valueStart() + span.readQuoted;
}

// An 8-bit file read under keep-layout holds zero bytes where its names and
// values end: the first puts back the bytes they replaced, so that the
// file's bytes are as read, and the second ends the names and values again.
// Between the two, no read name or value may be used.
void ProfileRestoreFileBytes(ProfileFile *file);
void ProfileTerminateFileText(ProfileFile *file);
// A buffer for a file's bytes of at least wanted bytes (its capacity in
// *capacity), and the way back for one no longer needed.
char *ProfileTakeByteBuffer(std::size_t wanted, std::size_t *capacity);
void ProfileGiveBackByteBuffer(char *buffer, std::size_t capacity);
// Remembers where a section read from a file kept in its layout stood, as it
// is deleted; false when memory ran out (the section must then stay).
bool ProfileNoteDeletedSection(ProfileFile *file, const ProfileSection *section);
// Whether text lies in the file's own text (and so is not freed alone).
bool ProfileIsFileText(const ProfileFile *file, const char *text);

// Counts every change to the shape of the records (a record added, taken out
// or freed), so that a remembered lookup knows when it may be stale.
extern std::uint64_t profileGeneration;
inline void ProfileShapeChanged() {
  ++profileGeneration;
}

// --- Indexes beside the lists ---
// The entry at a list position (from 0), or null past the end.
inline ProfileEntry *ProfileEntryAt(const ProfileSection *section, std::uint32_t index) {
  if (index < section->readEntryCount) {
    return &section->readEntries[index];
  }
  index -= section->readEntryCount;
  return index < section->addedEntryCount ? section->addedEntries[index] : nullptr;
}
// The slot where a hash starts its probe (the hash scaled to the table),
// and the slot after one.
inline std::uint32_t ProfileHomeSlot(std::uint32_t hash, std::uint32_t slotCount) {
  return static_cast<std::uint32_t>((static_cast<std::uint64_t>(hash) * slotCount) >> 32);
}
inline std::uint32_t ProfileNextSlot(std::uint32_t slot, std::uint32_t slotCount) {
  return slot + 1 == slotCount ? 0 : slot + 1;
}
inline bool ProfileNamesMatch(const char *name, std::uint32_t nameLength, const char *key,
                              std::size_t length) {
  return nameLength == length && ProfileSameName(name, key, length);
}
// Makes a section's entry index from its list; false when memory ran out.
bool ProfileMakeEntryIndex(ProfileSection *section);
// The first entry of that name by walking the list.
ProfileEntry *ProfileWalkForEntry(const ProfileSection *section, const ProfileKeyName &key);

// The first entry of that name, or null. A section's entry index is made at
// its first lookup; should memory for it run out, the list is walked.
inline ProfileEntry *ProfileIndexedEntry(ProfileSection *section, const ProfileKeyName &key) {
  const std::uint32_t count = section->entrySlotCount;
  if (count == 0) {
    if (section->entryCount == 0) {
      return nullptr;
    }
    return ProfileMakeEntryIndex(section) ? ProfileIndexedEntry(section, key)
                                          : ProfileWalkForEntry(section, key);
  }
  const ProfileEntrySlot *slots = section->entrySlots;
  for (std::uint32_t at = ProfileHomeSlot(key.hash, count); slots[at].position != 0;
       at = ProfileNextSlot(at, count)) {
    if (slots[at].hash == key.hash) {
      ProfileEntry *entry = ProfileEntryAt(section, slots[at].position - 1);
      if (ProfileNameIs(entry->name, entry->nameLength, key)) {
        return entry;
      }
    }
  }
  return nullptr;
}

// The first section of that name, or null.
inline ProfileSection *ProfileIndexedSection(const ProfileFile *file, const ProfileKeyName &key) {
  const std::uint32_t count = file->sectionSlotCount;
  if (count == 0) {
    return nullptr;
  }
  ProfileSection *const *slots = file->sectionSlots;
  for (std::uint32_t at = ProfileHomeSlot(key.hash, count); slots[at] != nullptr;
       at = ProfileNextSlot(at, count)) {
    ProfileSection *section = slots[at];
    if (section->nameHash == key.hash && ProfileNameIs(section->name, section->nameLength, key)) {
      return section;
    }
  }
  return nullptr;
}
// Indexes the entry appended at a list position when it is the first of its
// name; false when memory ran out.
bool ProfileIndexEntry(ProfileSection *section, std::uint32_t position, std::uint32_t hash);
// Indexes a section appended to the list: the first of its name takes a
// slot, a duplicate joins the chain of the first; false when memory ran out.
bool ProfileIndexSection(ProfileFile *file, ProfileSection *section);
// Before a section leaves the list: its next duplicate takes its place.
void ProfileUnindexSection(ProfileFile *file, ProfileSection *section);

// --- Text rules shared by the parser and the updates ---
// White space as the "C" locale's isspace has it; bytes of 128 and above never are.
inline bool ProfileIsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
// Room for wanted items of the given size in a malloc'ed buffer, grown by
// doubling from 64; false (the buffer as it was) when memory ran out.
template <typename Item>
bool ProfileReserve(Item **buffer, std::size_t *capacity, std::size_t wanted) {
  if (wanted <= *capacity) {
    return true;
  }
  std::size_t grown = *capacity < 64 ? 64 : *capacity * 2;
  while (grown < wanted) {
    grown *= 2;
  }
  auto *items = static_cast<Item *>(FallibleRealloc(*buffer, grown * sizeof(Item)));
  if (items == nullptr) {
    return false;
  }
  *buffer = items;
  *capacity = grown;
  return true;
}

// A malloc'ed copy of the first length bytes, NUL-terminated.
char *ProfileCopyText(const char *text, std::size_t length);
// The value within an already trimmed text: without one enclosing pair of
// matching double or single quotes, when it has them.
struct ProfileValueText {
  std::size_t start;
  std::size_t length;
  std::int32_t quoted;
};
inline ProfileValueText ProfileUnquote(const char *value, std::size_t length) {
  if (length >= 2 && (value[0] == '"' || value[0] == '\'') && value[length - 1] == value[0]) {
    return {1, length - 2, 1};
  }
  return {0, length, 0};
}
// A 32-bit strtoul: leading digits only, a minus negates modulo 2^32, values
// beyond range give 4294967295, base 16 allows a 0x prefix.
std::uint32_t ProfileParseNumber(const char *text, int base);

// --- Cache ---
struct ProfileCache {
  ProfileFile *first; // oldest
  ProfileFile *last;  // newest
  std::uint32_t count;
};
extern ProfileCache profileCache;
constexpr std::uint32_t ProfileCacheCapacity = 5;

// Reads the record's file into it. False when the file exists but cannot be
// read (the record then holds no sections); a missing file reads as empty.
bool ProfileLoadFile(ProfileFile *file);
// Parses the file's bytes (file->bytes) into its sections; false when that
// failed, leaving the record without sections.
bool ProfileParseFile(ProfileFile *file);

// --- Retries ---
constexpr int ProfileOpenAttempts = 10;
// The next wait between open attempts, 30 to 279 ms, from the engine's own
// generator (never the host's rand).
std::uint32_t ProfileRetryWait();
void ProfileSleepBeforeRetry();
// Retry waits taken in this process so far: tells a path refused at once from
// one refused after its open attempts, without timing anything.
std::uint64_t ProfileRetryWaitsTaken();

// Zero bytes behind a file's text (its bytes read in place, or the text
// copied out of them), so that a name in it can be read eight bytes at a time.
constexpr std::size_t ProfileTextPadding = 8;

// --- Line reader and parser ---
// A file is read whole into ProfileFile::bytes and split into lines there.
// An 8-bit file is parsed in place: zero bytes end the names and values
// where the file had their ends, and joined lines move up over their
// backslashes. Under keep-layout joined lines are put together apart and
// their names and values copied (ProfileFile::apartText), with their spans
// (ProfileFile::apartSpans), and the records keep the bytes that the zero
// bytes replaced, so the writer can give the file's bytes back as read
// (ProfileRestoreFileBytes). The names and values of a UTF-16 file are
// converted into ProfileFile::text.

// One logical line: the text up to its line end or first zero byte, a CR LF
// pair read as LF (8-bit files), lines joined where continuation says so.
struct ProfileLine {
  char *text; // not terminated
  std::size_t length;
  bool lineFeed;     // ended by a line feed (not cut short by a zero byte)
  std::size_t start; // where its first physical line begins in the file's bytes
  std::size_t end;   // past its last physical line's line end
};

// A place in a logical line: where a physical line's text begins in it, and
// where that text stands in the file's bytes.
struct ProfileLinePiece {
  std::size_t textOffset;
  std::size_t byteOffset;
};

struct ProfileReader {
  ProfileFile *file;
  std::size_t position; // the next physical line's start in file->bytes
  bool inPlace;         // names and values stay in file->bytes (8-bit files)
  bool zeroBytes;       // the file holds a zero byte somewhere
  bool failed;          // memory ran out or the text did not fit
  bool replaced;        // UTF-16 text the ANSI code page could not hold
  bool pending;         // pendingLine was put back for the next header search
  ProfileLine pendingLine;
  std::size_t textUsed;  // of file->text, when not in place
  std::size_t apartUsed; // of file->apartText
  char *line;            // joined or converted lines
  std::size_t lineCapacity;
  WCHAR *units; // one UTF-16 line
  std::size_t unitCapacity;
  ProfileLinePiece *pieces; // of the current logical line, when spans are kept
  std::size_t pieceCount;
  std::size_t pieceCapacity;
  // The section being read: its record with the entries read so far behind
  // it, grown as they come.
  ProfileSection *block;
  std::uint32_t entryCount;
  std::uint32_t entryCapacity;
  std::uint32_t lastEntryCount; // of the section before, for sizing the next block
};

// The physical line of an 8-bit file that starts at start (before its end);
// zeroBytes: whether the file may hold a zero byte, which cuts a line short.
inline void ProfileByteLineAt(const ProfileFile *file, std::size_t start, bool zeroBytes,
                              ProfileLine *line) {
  char *begin = file->bytes + start;
  const std::size_t left = file->byteCount - start;
  const auto *lineFeed = static_cast<const char *>(std::memchr(begin, '\n', left));
  std::size_t length = lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - begin) : left;
  line->end = lineFeed != nullptr ? start + length + 1 : file->byteCount;
  line->lineFeed = lineFeed != nullptr;
  if (lineFeed != nullptr && length > 0 && begin[length - 1] == '\r') {
    --length; // a CR LF pair reads as LF
  }
  if (zeroBytes) {
    const auto *zero = static_cast<const char *>(std::memchr(begin, '\0', length));
    if (zero != nullptr) {
      length = static_cast<std::size_t>(zero - begin);
      line->lineFeed = false;
    }
  }
  line->text = begin;
  line->length = length;
  line->start = start;
}

// The next physical line of an 8-bit file; false at its end. Inline: it is
// the loader's innermost step.
inline bool ProfileReadByteLine(ProfileReader *reader, ProfileLine *line) {
  const std::size_t start = reader->position;
  if (start >= reader->file->byteCount) {
    return false;
  }
  ProfileByteLineAt(reader->file, start, reader->zeroBytes, line);
  reader->position = line->end;
  return true;
}

// Sets the reader up over the file's bytes (file->bytes, file->byteCount,
// file->utf16 and the switches set); false when memory ran out.
bool ProfileReaderStart(ProfileReader *reader, ProfileFile *file);
void ProfileReaderEnd(ProfileReader *reader);
// The next physical line from position on; false at the end of the file.
bool ProfileReadLine(ProfileReader *reader, ProfileLine *line);
// The next logical line: the one put back, or a physical line joined with
// its continuation lines when the file's switch is on; false at the end.
bool ProfileReadLogicalLine(ProfileReader *reader, ProfileLine *line);
// Where a text offset of the current logical line stands in the file's bytes.
std::size_t ProfileByteOffset(const ProfileReader *reader, const ProfileLine *line,
                              std::size_t textOffset);
// 1 with the next section and its entries; 0 with null when none is left
// (or reading failed: reader->failed).
std::int32_t ProfileReadSection(ProfileSection **section, ProfileReader *reader);
// The entry of a name=value line (modified in place), or null; *stop becomes 1
// for an entry line whose name is empty, which ends its section.
ProfileEntry *ProfileParseEntry(char *line, std::int32_t *stop);

// The parts of an entry line, as offsets into its text.
struct ProfileEntryText {
  std::size_t nameStart;
  std::size_t nameLength;
  std::size_t valueStart;
  std::size_t valueLength;
  std::int32_t quoted;
};
enum class ProfileLineKind { Other, Entry, EmptyName };
// What a line (without its line end) is: an entry, an entry line whose name
// is empty (it ends its section), or anything else.
ProfileLineKind ProfileSplitEntry(const char *text, std::size_t length, ProfileEntryText *parts);
// Whether the line is a header: '[' first after white space, and a
// non-empty name up to the last ']'; the name's place when it is.
bool ProfileSplitHeader(const char *text, std::size_t length, std::size_t *nameStart,
                        std::size_t *nameLength);

// --- Updates on the records ---
ProfileEntry *ProfileFindEntry(ProfileSection *section, const char *name);
ProfileSection *ProfileFindSectionIn(const ProfileFile *file, const char *name);
ProfileSection *ProfileFindOrAddSection(ProfileFile *file, const char *name);
ProfileSection *ProfileAddSection(ProfileFile *file, const char *name);
ProfileEntry *ProfileSetEntry(const ProfileFile *file, ProfileSection *section, const char *name,
                              const char *value);
std::int32_t ProfileDeleteSection(ProfileFile *file, const char *name);

// --- Keep-layout write-back (profile_layout_writer.cpp) ---
// The file's own bytes with only the lines of what changed rewritten, for a
// record read under keep-layout; false when a write or a conversion failed.
struct FileReplacement;
bool ProfilePutKeptLayout(FileReplacement *replacement, ProfileFile *file);
// The span of a section's read entry: the one kept for an entry whose text
// was copied, or, for one parsed in place, found again from its line while
// the file's bytes are as read (ProfileRestoreFileBytes).
ProfileSpan ProfileReadEntrySpan(const ProfileFile *file, const ProfileSection *section,
                                 std::uint32_t index);
// Whether text can go into the record's file as it is set: always, but for a
// UTF-16 file kept in its layout, only text that converts from the ANSI code
// page without loss, since its lines are written as UTF-16.
bool ProfileTextFitsFile(const ProfileFile *file, const char *text);
