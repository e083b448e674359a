// The property tests' model: the engine's records read into plain values,
// and the update rules and generated update texts, written out
// independently of the engine.
#pragma once

#include "profile/profile_internal.h"
#include "record_values.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace profile_model {

// The record's lists as values; also checks that the counts, lengths and
// last pointers agree with the lists.
inline Records Snapshot(const ProfileFile *file) {
  Records records;
  const ProfileSection *lastSection = nullptr;
  for (const ProfileSection *section = file->firstSection; section != nullptr;
       section = section->next) {
    EXPECT_EQ(section->nameLength, std::strlen(section->name));
    SectionRecord out{std::string(section->name), {}};
    const ProfileEntry *lastEntry = nullptr;
    for (const ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
      EXPECT_EQ(entry->nameLength, std::strlen(entry->name));
      out.entries.push_back({entry->name, entry->value, entry->quoted});
      lastEntry = entry;
    }
    EXPECT_EQ(section->lastEntry, lastEntry);
    EXPECT_EQ(section->entryCount, out.entries.size());
    records.push_back(out);
    lastSection = section;
  }
  EXPECT_EQ(file->lastSection, lastSection);
  EXPECT_EQ(file->sectionCount, records.size());
  return records;
}

// White space to put around generated text.
inline const char *const spaces[] = {"", "", "", " ", "  ", "\t", " \t ", "\v", "\f"};

// A name or value for an update: letters, white space, quotes, backslashes,
// '=', brackets and now and then a line break (which the engine refuses).
inline std::string UpdateText(Random &random, bool name) {
  static const char *const awkward[] = {" ", "\t", "\v", "\"",   "'", "\\", "=",    "[",
                                        "]", "\r", "\n", "\r\n", "a", "B",  "\xE9", "\x1A"};
  std::string out = random.Pick(spaces);
  const std::uint32_t count = random.Below(5);
  for (std::uint32_t i = 0; i < count; ++i) {
    if (random.OneIn(3)) {
      const char *atom = random.Pick(awkward);
      // Keep line breaks rare enough that most updates are not refused.
      out += (std::strchr(atom, '\r') != nullptr || std::strchr(atom, '\n') != nullptr) &&
                     !random.OneIn(6)
                 ? "c"
                 : atom;
    } else {
      out += name ? (random.OneIn(2) ? "a" : "K") : "v";
    }
  }
  out += random.Pick(spaces);
  if (!name && random.OneIn(3)) {
    const char quote = random.OneIn(2) ? '"' : '\'';
    out = std::string(random.Pick(spaces)) + quote + out +
          (random.OneIn(4) ? (quote == '"' ? '\'' : '"') : quote) + random.Pick(spaces);
  }
  return out;
}

// Applies ProfileSetString's rules to the records; answers the expected
// result, and where a value was set, its section and entry names.
inline std::int32_t ApplyUpdate(Records &records, const char *sectionArgument,
                                const char *entryArgument, const char *valueArgument,
                                std::string *setSection, std::string *setEntry) {
  const std::string section = sectionArgument != nullptr ? sectionArgument : "";
  const std::string entry = entryArgument != nullptr ? entryArgument : "";
  const std::string value = valueArgument != nullptr ? valueArgument : "";
  if (section.empty() || HoldsLineBreak(section) || HoldsLineBreak(entry) ||
      HoldsLineBreak(value)) {
    return 0;
  }
  if (entry.empty()) {
    auto found = FindFirst(records, section);
    if (found != records.end()) {
      records.erase(found);
    }
    return 1;
  }
  const std::string name = Trimmed(entry);
  if (name.empty() || name[0] == '[' || name.find('=') != std::string::npos) {
    return 0;
  }
  const std::string trimmedSection = Trimmed(section);
  if (trimmedSection.empty()) {
    return 0;
  }
  auto found = FindFirst(records, trimmedSection);
  if (found == records.end()) {
    records.push_back({trimmedSection, {}});
    found = records.end() - 1;
  }
  auto existing = FindFirst(found->entries, name);
  if (existing == found->entries.end()) {
    found->entries.push_back(PreparedValue(name, value));
  } else {
    const EntryRecord prepared = PreparedValue(existing->name, value);
    existing->value = prepared.value;
    existing->quoted = prepared.quoted;
  }
  *setSection = trimmedSection;
  *setEntry = name;
  return 1;
}

} // namespace profile_model
