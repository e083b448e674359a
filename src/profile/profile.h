// The profile-file engine: parsed INI-style files kept in a process-wide
// cache of at most five files, answered from memory and written back whole
// when a file leaves the cache. Plain functions over malloc'ed records; one
// thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProfileEntry {
  char *name;  // trimmed
  char *value; // trimmed, enclosing quotes removed; never null
  std::uint32_t nameLength;
  std::int16_t quoted; // 1 when the value stood in matching quotes
  // Under keep-layout, for an entry read in place in the file's bytes: the
  // bytes that the zero bytes ending its name and its value took the place
  // of, so that the writer can give the file's bytes back as read. Here
  // rather than in its span, since most entries need no span at all.
  char nameEndByte;
  char valueEndByte;
  ProfileEntry *next;
};

// Where a record stands in its file's bytes (ProfileFile::bytes), as offsets:
// its first physical line starts at lineStart, its last one ends at lineEnd()
// (past its line end, if it has one), and valueStart() is where an entry's
// value begins, at its opening quote when quoted (for a header: its name,
// after the '['). Kept only under keep-layout: for every header, and for each
// entry whose text was copied (ProfileApartSpan); an entry parsed in place
// has its span found again from the bytes when the writer needs it
// (ProfileReadEntrySpan). A file read this way is shorter than 4 GiB.
struct ProfileSpan {
  std::uint32_t lineStart;
  std::uint32_t valueOffset; // from lineStart
  std::uint32_t lineLength;
  std::size_t valueStart() const { return std::size_t{lineStart} + valueOffset; }
  std::size_t lineEnd() const { return std::size_t{lineStart} + lineLength; }
  // Whether an entry's value as read was quoted. Where that value stands,
  // ProfileReadValue says; its length is found again from the text when
  // needed, so that the writer can tell an entry set to what it had from
  // one that changed.
  std::uint8_t readQuoted;
  // 0: the line was parsed in place in the bytes; 1: its text was copied
  // (UTF-16 text, lines joined by continuation).
  std::uint8_t copied;
  // For a header parsed in place: what the zero byte ending its name took
  // the place of (an entry keeps its own in ProfileEntry).
  char nameEndByte;
};

// The span of an entry whose text was copied, by where its name was copied
// to. Names are copied in the order of reading, so these lie in the order of
// their names' addresses.
struct ProfileApartSpan {
  const char *name;
  ProfileSpan span;
};

// One slot of a section's entry index: the hash of a name and the position
// (from 1; 0 marks a free slot) of the first entry of that name in list order.
struct ProfileEntrySlot {
  std::uint32_t hash;
  std::uint32_t position;
};

struct ProfileSection {
  char *name; // never empty
  std::uint32_t nameLength;
  ProfileEntry *firstEntry;
  ProfileEntry *lastEntry;
  std::uint32_t entryCount;
  ProfileSection *next;

  // Beside the list, kept right by every change, so that lookups, listings
  // and updates take constant time.
  ProfileSection *previous;
  // The next section of a name that matches this one's, in list order (a
  // duplicate); the first of a name also knows the last of its chain.
  ProfileSection *nextSameName;
  ProfileSection *lastSameName;
  std::uint32_t nameHash;
  // The entries in list order: first those read from the file, an array
  // allocated with the section, then those added since, each allocated alone.
  std::uint32_t readEntryCount;
  ProfileEntry *readEntries;
  ProfileEntry **addedEntries;
  std::uint32_t addedEntryCount;
  std::uint32_t addedEntryCapacity;
  // Open addressing over entrySlotCount slots, indexedNames of them in use.
  ProfileEntrySlot *entrySlots;
  std::uint32_t entrySlotCount;
  std::uint32_t indexedNames;
  // Values of read entries replaced by updates: each was allocated alone.
  std::uint32_t replacedValues;
  std::int32_t readFromFile; // 1: read from the file, 0: added by an update
  // Under keep-layout: the header's span.
  ProfileSpan headerSpan;
};

struct ProfileFile {
  char *path; // the whole path as the caller passed it; the cache key
  ProfileSection *firstSection;
  ProfileSection *lastSection;
  std::uint32_t sectionCount;
  std::int32_t dirty;        // 1 after any update: written back on leaving the cache
  std::int32_t continuation; // join lines ending in a backslash when reading
  std::int32_t returnQuotes; // deliver quoted values inside double quotes
  std::int32_t utf16;        // the file began with FF FE
  std::int32_t loaded;       // 0 for a registered record not yet read
  std::int32_t keepLayout;   // write back changing only the lines of what changed
  ProfileFile *next;

  // 1 when reading had to replace characters that the ANSI code page cannot
  // hold: the records' text is not the file's. Updates are then refused, so
  // the record never becomes dirty and the file is never written over; but
  // not for a record kept in its layout, whose write-back copies the file's
  // own bytes wherever it does not write the caller's text.
  std::int32_t textReplaced;
  // The file's bytes as read, one buffer; for an 8-bit file the names and
  // values are parsed in place in it.
  char *bytes;
  std::size_t byteCount;
  std::size_t byteCapacity; // of the allocation holding bytes
  // Where the names and values read from the file live: bytes itself, or a
  // buffer of their own (UTF-16 text converted). Under keep-layout those of
  // lines joined by continuation are copied into apartText.
  char *text;
  std::size_t textSize;
  // Open addressing over sectionSlotCount slots: the first section of each
  // name, sectionSlotsUsed of them.
  ProfileSection **sectionSlots;
  std::uint32_t sectionSlotCount;
  std::uint32_t sectionSlotsUsed;
  // The last section answered by index, for listings in constant time.
  std::uint32_t cursorIndex;
  ProfileSection *cursorSection;

  // 1 when the record was read under keep-layout: bytes and spans were kept,
  // and the writer changes only the lines of what changed.
  std::int32_t layoutKept;
  char *apartText;
  std::size_t apartTextSize;
  // The spans of the entries whose text was copied (UTF-16 text, lines
  // joined by continuation), in the order of reading.
  ProfileApartSpan *apartSpans;
  std::uint32_t apartSpanCount;
  std::size_t apartSpanCapacity;
  // Where the headers of read sections deleted since stood (their spans'
  // lineStart), in the order of deletion: their lines are not written.
  std::size_t *deletedHeaders;
  std::uint32_t deletedHeaderCount;
  std::uint32_t deletedHeaderCapacity;
};

// --- Cache and loading ---
// 1 with the path's record (found, or loaded now); 0 for a null or empty path
// or a file that cannot be read.
std::int32_t ProfileOpen(const char *path, ProfileFile **file);
void ProfileRegister(const char *path);
void ProfileSetSwitches(const char *path, std::uint32_t value);
// Sets the keep-layout flag of the path's record (non-zero for on). Like the
// switches it governs how the record is read, so it is set after
// ProfileRegister and before the record's first use; an unknown or empty path
// does nothing, and a record loaded afresh for any other reason has it off.
void ProfileSetKeepLayout(const char *path, std::uint32_t value);
void ProfileRelease(const char *path);
// Writes the path's record back now if it was changed, keeping it cached and
// clean. 1 when nothing needed writing or the write succeeded; 0 when the
// write failed: the record stays changed and the file is as it was. Leaving
// the cache writes a changed file too, but nobody learns the result; this is
// how a caller sees a failed write-back.
std::int32_t ProfileFlush(const char *path);
void ProfileCacheAdd(ProfileFile *file);

// --- Queries and updates ---
std::uint32_t ProfileGetString(const char *section, const char *entry, const char *defaultText,
                               char *buffer, std::uint32_t size, const char *path);
std::uint32_t ProfileGetNumber(const char *section, const char *entry, std::uint32_t defaultValue,
                               const char *path);
std::uint32_t ProfileGetHexNumber(const char *section, const char *entry,
                                  std::uint32_t defaultValue, const char *path);
std::int32_t ProfileSetString(const char *section, const char *entry, const char *value,
                              const char *path);
std::uint32_t ProfileGetSectionName(std::uint32_t index, char *buffer, std::uint32_t size,
                                    const char *path);
ProfileSection *ProfileFindSection(const char *section, const char *path);
std::uint32_t ProfileGetEntryName(std::uint32_t index, char *buffer, std::uint32_t size,
                                  ProfileSection *section);

// --- Writer ---
// 1 when the file was written and put in place; 0 when it was not (the file
// on disk is then unchanged).
std::int32_t ProfileWrite(ProfileFile *file, const char *path);
