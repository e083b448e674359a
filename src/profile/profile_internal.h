// The engine's internal operations: records, text rules, the cache, the
// retry waits, the line reader and parser, and the record-level updates.
#pragma once

#include "profile/profile.h"

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

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
void ProfileFreeFile(ProfileFile *file);
// Whether text lies in the file's own text (and so is not freed alone).
bool ProfileIsFileText(const ProfileFile *file, const char *text);

// --- Indexes beside the lists ---
// Names hash and compare with the ASCII letters folded, nothing else.
std::uint32_t ProfileHashName(const char *name, std::size_t length);
bool ProfileSameName(const char *left, const char *right, std::size_t length);
// The entry at a list position (from 0), or null past the end.
ProfileEntry *ProfileEntryAt(const ProfileSection *section, std::uint32_t index);
// The first entry (section) of that name, or null.
ProfileEntry *ProfileIndexedEntry(const ProfileSection *section, const char *name,
                                  std::size_t length, std::uint32_t hash);
ProfileSection *ProfileIndexedSection(const ProfileFile *file, const char *name, std::size_t length,
                                      std::uint32_t hash);
// Indexes the entry at a list position when it is the first of its name;
// false when memory ran out.
bool ProfileIndexEntry(ProfileSection *section, std::uint32_t position, std::uint32_t hash);
// Indexes all read entries at once, hashes[i] being that of readEntries[i].
bool ProfileBuildEntryIndex(ProfileSection *section, const std::uint32_t *hashes);
// Indexes a section appended to the list: the first of its name takes a
// slot, a duplicate joins the chain of the first; false when memory ran out.
bool ProfileIndexSection(ProfileFile *file, ProfileSection *section);
// Before a section leaves the list: its next duplicate takes its place.
void ProfileUnindexSection(ProfileFile *file, ProfileSection *section);

// --- Text rules shared by the parser and the updates ---
// White space as the "C" locale's isspace has it; bytes of 128 and above never are.
bool ProfileIsSpace(char c);
// A malloc'ed copy of the first length bytes, NUL-terminated.
char *ProfileCopyText(const char *text, std::size_t length);
// Trims white space at both ends in place; answers the trimmed text's start.
char *ProfileTrim(char *text);
// Trims, then removes one enclosing pair of matching double or single quotes
// (setting *quoted to 1), in place; answers the value's start.
char *ProfilePrepareValue(char *text, std::int32_t *quoted);
// The value within an already trimmed text: without one enclosing pair of
// matching double or single quotes, when it has them.
struct ProfileValueText {
  std::size_t start;
  std::size_t length;
  std::int32_t quoted;
};
ProfileValueText ProfileUnquote(const char *value, std::size_t length);
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

// --- Retries ---
constexpr int ProfileOpenAttempts = 10;
// The next wait between open attempts, 30 to 279 ms, from the engine's own
// generator (never the host's rand).
std::uint32_t ProfileRetryWait();
void ProfileSleepBeforeRetry();
// Retry waits taken in this process so far: tells a path refused at once from
// one refused after its open attempts, without timing anything.
std::uint64_t ProfileRetryWaitsTaken();

// --- Line reader and parser ---
constexpr std::size_t ProfileLineStartSize = 32768;

struct ProfileReader {
  std::FILE *stream;
  unsigned char *chunk; // raw bytes read ahead from the stream
  std::size_t chunkPosition;
  std::size_t chunkLength;
  bool failed; // a read error, or memory ran out: the file was not read whole
  char *line;  // the line buffer: grows to hold any line whole
  std::size_t lineCapacity;
  WCHAR *units; // one UTF-16 line before conversion
  std::size_t unitCapacity;
};

bool ProfileReaderStart(ProfileReader *reader, std::FILE *stream);
void ProfileReaderEnd(ProfileReader *reader);
// Consumes the FF FE mark when the stream begins with it.
bool ProfileReaderSkipUtf16Mark(ProfileReader *reader);

// One physical line into the line buffer from offset on (8-bit: CR LF read as
// LF, line feed kept; UTF-16: units up to U+000A, converted to the ANSI code
// page). Null at end of file, with the buffer unchanged.
char *ProfileReadLine(ProfileReader *reader, std::size_t offset, const ProfileFile *file);
// 1 with the next line in the buffer: the put-back line, or a physical line
// joined with its continuation lines when the file's switch is on; 0 at end.
std::int32_t ProfileReadLogicalLine(ProfileReader *reader, const ProfileFile *file);
// 1 with the next section and its entries; 0 with null when none is left.
std::int32_t ProfileReadSection(ProfileSection **section, ProfileReader *reader,
                                const ProfileFile *file);
// The entry of a name=value line (modified in place), or null; *stop becomes 1
// for an entry line whose name is empty, which ends its section.
ProfileEntry *ProfileParseEntry(char *line, std::int32_t *stop);
// Drops a line still put back, so that no load starts with another's line.
void ProfileClearLookAhead();

// --- Updates on the records ---
ProfileEntry *ProfileFindEntry(ProfileSection *section, const char *name);
ProfileSection *ProfileFindSectionIn(const ProfileFile *file, const char *name);
ProfileSection *ProfileFindOrAddSection(ProfileFile *file, const char *name);
ProfileSection *ProfileAddSection(ProfileFile *file, const char *name);
ProfileEntry *ProfileSetEntry(const ProfileFile *file, ProfileSection *section, const char *name,
                              const char *value);
std::int32_t ProfileDeleteSection(ProfileFile *file, const char *name);
