// The engine's records as plain values and the text rules they follow,
// written out independently of the engine: shared by the property tests'
// model and the engine's fuzz target, so nothing here may need a test
// framework.
#pragma once

#include <cstdint>
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

} // namespace profile_model
