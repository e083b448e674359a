// A model of the engine's records as plain values, the update rules written
// out independently of the engine, and a generator of our own, shared by the
// property tests.
#pragma once

#include "profile/profile_internal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace profile_model {

// A small generator of our own, so that every build draws the same cases.
class Random {
public:
  explicit Random(std::uint64_t seed) : state(seed) {}

  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
  bool OneIn(std::uint32_t n) { return Below(n) == 0; }
  template <typename T, std::size_t N> const T &Pick(const T (&items)[N]) {
    return items[Below(static_cast<std::uint32_t>(N))];
  }

private:
  std::uint64_t state;
};

// --- What a record holds, as plain values ---

// origin is where a record was read: its position among the file's sections,
// or among its section's entries; -1 for one that an update added. It is no
// part of what a record holds, so equality leaves it out.
struct EntryRecord {
  std::string name;
  std::string value;
  std::int32_t quoted;
  int origin = -1;
  bool operator==(const EntryRecord &other) const {
    return name == other.name && value == other.value && quoted == other.quoted;
  }
};

struct SectionRecord {
  std::string name;
  std::vector<EntryRecord> entries;
  int origin = -1;
  bool operator==(const SectionRecord &other) const {
    return name == other.name && entries == other.entries;
  }
};

using Records = std::vector<SectionRecord>;

// Bytes as C escapes, cut after limit bytes, for failure messages.
inline std::string Visible(const std::string &bytes, std::size_t limit = 600) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      static const char digits[] = "0123456789ABCDEF";
      out += "\\x";
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
  if (bytes.size() > limit) {
    out += "...(" + std::to_string(bytes.size()) + " bytes)";
  }
  return out;
}

inline std::string Describe(const Records &records) {
  std::string out;
  for (const SectionRecord &section : records) {
    out += "[" + Visible(section.name, 80) + "]\n";
    for (const EntryRecord &entry : section.entries) {
      out += "  " + Visible(entry.name, 80) + " = " + Visible(entry.value, 80) +
             (entry.quoted == 1 ? " (quoted)" : "") + "\n";
    }
  }
  return out;
}

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

// --- The rules, written out independently of the engine ---

inline bool IsWhite(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline std::string Trimmed(const std::string &text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsWhite(text[begin])) {
    ++begin;
  }
  while (end > begin && IsWhite(text[end - 1])) {
    --end;
  }
  return text.substr(begin, end - begin);
}

// Trimmed, and one enclosing pair of matching quotes removed.
inline EntryRecord PreparedValue(const std::string &name, const std::string &text) {
  std::string value = Trimmed(text);
  if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
    return {name, value.substr(1, value.size() - 2), 1};
  }
  return {name, value, 0};
}

inline char FoldAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool SameName(const std::string &left, const std::string &right) {
  if (left.size() != right.size()) {
    return false;
  }
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (FoldAscii(left[i]) != FoldAscii(right[i])) {
      return false;
    }
  }
  return true;
}

template <typename List> auto FindFirst(List &list, const std::string &name) {
  auto it = list.begin();
  while (it != list.end() && !SameName(it->name, name)) {
    ++it;
  }
  return it;
}

inline bool HoldsLineBreak(const std::string &text) {
  return text.find_first_of("\r\n") != std::string::npos;
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
