// The input language shared by the fuzz targets, chosen so that seeds are
// readable text and mutations stay meaningful: the input is a sequence of
// lines (LF-separated); a line is one operation, a letter and then fields
// separated by '|'. A target may end its script at the first empty line and
// take every byte after it as data of its own (a whole file, for instance).
//
// Within a field, "\n", "\r", "\0" and "\\" stand for LF, CR, NUL and one
// backslash (any other backslash is kept as it is), and a field that reads
// "*N:c" (N decimal, up to MaxRepeat) stands for the byte c repeated N times,
// so that long names and lines are a few bytes of input away.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

constexpr std::size_t MaxRepeat = 1100000;

inline std::string DecodeField(std::string_view raw) {
  if (raw.size() >= 4 && raw[0] == '*') {
    const std::size_t colon = raw.find(':');
    if (colon != std::string_view::npos && colon > 1 && colon + 2 == raw.size() &&
        raw.substr(1, colon - 1).find_first_not_of("0123456789") == std::string_view::npos &&
        colon - 1 <= 7) {
      const std::size_t count =
          std::strtoul(std::string(raw.substr(1, colon - 1)).c_str(), nullptr, 10);
      if (count <= MaxRepeat) {
        return std::string(count, raw[colon + 1]);
      }
    }
  }
  std::string text;
  text.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) {
      const char next = raw[i + 1];
      const char *escaped = next == 'n' ? "\n" : next == 'r' ? "\r" : next == '\\' ? "\\" : nullptr;
      if (next == '0') {
        text += '\0';
        ++i;
        continue;
      }
      if (escaped != nullptr) {
        text += escaped;
        ++i;
        continue;
      }
    }
    text += raw[i];
  }
  return text;
}

// One operation: its letter and its fields, raw (undecoded).
struct Operation {
  char letter = 0;
  std::vector<std::string_view> fields;

  // Field i decoded; empty when there is no such field.
  std::string Text(std::size_t i) const {
    return i < fields.size() ? DecodeField(fields[i]) : std::string();
  }
  // Field i is present and reads "~": the caller passes a null pointer.
  bool IsNull(std::size_t i) const { return i < fields.size() && fields[i] == "~"; }
  // Field i as a number (decimal, an optional minus sign, at most 18
  // digits); fallback when it is missing or not a number.
  std::int64_t Number(std::size_t i, std::int64_t fallback = 0) const {
    if (i >= fields.size()) {
      return fallback;
    }
    std::string_view digits = fields[i];
    const bool negative = !digits.empty() && digits[0] == '-';
    if (negative) {
      digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return fallback;
    }
    const auto value =
        static_cast<std::int64_t>(std::strtoull(std::string(digits).c_str(), nullptr, 10));
    return negative ? -value : value;
  }
};

struct Script {
  std::vector<Operation> operations;
  std::string_view data; // the bytes after the first empty line, if asked for
};

// Splits input into operations; with takeData, the first empty line ends the
// script and everything after it is data.
inline Script ParseScript(std::string_view input, bool takeData, std::size_t maxOperations = 200) {
  Script script;
  while (!input.empty()) {
    const std::size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    if (line.empty()) {
      if (takeData) {
        script.data = input;
        break;
      }
      continue;
    }
    if (script.operations.size() == maxOperations) {
      continue;
    }
    Operation operation;
    operation.letter = line[0];
    std::string_view rest = line.substr(1);
    // Fields are separated by '|'; the letter may be followed directly by
    // the first field or by a space.
    if (!rest.empty() && rest[0] == ' ') {
      rest.remove_prefix(1);
    }
    while (true) {
      const std::size_t bar = rest.find('|');
      operation.fields.push_back(rest.substr(0, bar));
      if (bar == std::string_view::npos) {
        break;
      }
      rest.remove_prefix(bar + 1);
    }
    script.operations.push_back(std::move(operation));
  }
  return script;
}

} // namespace fuzz
