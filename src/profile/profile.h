// The profile-file engine: parsed INI-style files kept in a process-wide
// cache of at most five files, answered from memory and written back whole
// when a file leaves the cache. Plain functions over malloc'ed records; one
// thread at a time.
#pragma once

#include <cstdint>

struct ProfileEntry {
  char *name;  // trimmed
  char *value; // trimmed, enclosing quotes removed; never null
  std::uint32_t nameLength;
  std::int32_t quoted; // 1 when the value stood in matching quotes
  ProfileEntry *next;
};

struct ProfileSection {
  char *name; // never empty
  std::uint32_t nameLength;
  ProfileEntry *firstEntry;
  ProfileEntry *lastEntry;
  std::uint32_t entryCount;
  ProfileSection *next;
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
