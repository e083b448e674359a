// The lines of a profile file as the section reader sees them, worked out
// again from the format's rules without the engine, and what a keep-layout
// write-back must keep of them: every line that no update touched, byte for
// byte and in order. Shared by the layout property test and the engine
// fuzzer, so it takes any bytes and needs no test framework.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace layout_lines {

struct PhysicalLine {
  std::string bytes; // as in the file, with its line end
  bool lineEnd;
};

struct ReadSection {
  std::size_t headerLine;                                   // its first physical line
  std::vector<std::pair<std::size_t, std::size_t>> entries; // first and last physical line
};

struct FileLines {
  std::vector<PhysicalLine> lines;
  std::vector<ReadSection> sections;
};

inline bool IsBlank(char16_t unit) {
  return unit == u' ' || (unit >= u'\t' && unit <= u'\r');
}

// What a logical line is, as the section reader sees it.
enum class Kind { Header, Blank, Bracket, Entry, EmptyName, Other };

inline Kind Classify(const std::u16string &text) {
  std::size_t first = 0;
  while (first < text.size() && IsBlank(text[first])) {
    ++first;
  }
  if (first == text.size()) {
    return Kind::Blank;
  }
  if (text[first] == u'[') {
    const std::size_t close = text.rfind(u']');
    return close != std::u16string::npos && close > first + 1 ? Kind::Header : Kind::Bracket;
  }
  const std::size_t equals = text.find(u'=');
  if (equals == std::u16string::npos) {
    return Kind::Other;
  }
  for (std::size_t i = 0; i < equals; ++i) {
    if (!IsBlank(text[i])) {
      return Kind::Entry;
    }
  }
  return Kind::EmptyName;
}

// Where a file's text ends: before half a unit at the end of a UTF-16 file,
// which is no character.
inline std::size_t TextEnd(const std::string &bytes, bool utf16) {
  return utf16 && bytes.size() >= 2 ? bytes.size() - (bytes.size() - 2) % 2 : bytes.size();
}

inline char16_t UnitAt(const std::string &bytes, std::size_t at, bool utf16) {
  const auto low = static_cast<unsigned char>(bytes[at]);
  return utf16 ? static_cast<char16_t>(low | static_cast<unsigned char>(bytes[at + 1]) << 8)
               : static_cast<char16_t>(low);
}

// A surrogate without its partner reads as one space.
inline void ReplaceUnpaired(std::u16string &text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
    const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      text[i] = u' ';
    }
  }
}

// The physical lines of a whole file (with its FF FE mark when utf16) and
// the sections and entries the reader finds in them. A line's text is its
// units (an 8-bit file's bytes, one unit each) up to its line feed, without
// a CR before it in an 8-bit file, and up to its first zero; a line cut
// short by a zero is never continued.
inline FileLines SplitFile(const std::string &bytes, bool utf16, bool continuation) {
  FileLines file;
  std::vector<std::u16string> contents;
  std::vector<bool> continues; // may go on in the next line
  const std::size_t unit = utf16 ? 2 : 1;
  const std::size_t end = TextEnd(bytes, utf16);
  for (std::size_t start = utf16 ? 2 : 0; start < end;) {
    std::u16string content;
    std::size_t at = start;
    bool lineEnd = false;
    while (at + unit <= end && !lineEnd) {
      const char16_t read = UnitAt(bytes, at, utf16);
      at += unit;
      lineEnd = read == u'\n';
      if (!lineEnd) {
        content += read;
      }
    }
    if (!utf16 && lineEnd && !content.empty() && content.back() == u'\r') {
      content.pop_back(); // CR LF reads as LF in 8-bit files
    }
    ReplaceUnpaired(content);
    bool goesOn = lineEnd;
    const std::size_t zero = content.find(u'\0');
    if (zero != std::u16string::npos) {
      content.resize(zero);
      goesOn = false;
    }
    file.lines.push_back({bytes.substr(start, at - start), lineEnd});
    contents.push_back(content);
    continues.push_back(goesOn);
    start = at;
  }
  bool inSection = false;
  for (std::size_t line = 0; line < contents.size();) {
    const std::size_t first = line;
    std::u16string logical = contents[line];
    while (continuation && continues[line] && !logical.empty() && logical.back() == u'\\' &&
           line + 1 < contents.size()) {
      logical.pop_back();
      logical += contents[++line];
    }
    const std::pair<std::size_t, std::size_t> span(first, line);
    ++line;
    Kind kind = Classify(logical);
    if (inSection && (kind == Kind::Header || kind == Kind::Bracket)) {
      inSection = false; // the line ends the section and is looked at again
    }
    if (!inSection) {
      if (kind == Kind::Header) {
        file.sections.push_back({first, {}});
        inSection = true;
      }
      continue;
    }
    if (kind == Kind::Entry) {
      file.sections.back().entries.push_back(span);
    } else if (kind == Kind::EmptyName) {
      inSection = false;
    }
  }
  return file;
}

// A written file's physical lines.
inline std::vector<PhysicalLine> WrittenLines(const std::string &bytes, bool utf16) {
  std::vector<PhysicalLine> lines;
  const std::size_t unit = utf16 ? 2 : 1;
  const std::size_t limit = TextEnd(bytes, utf16);
  for (std::size_t start = utf16 ? 2 : 0; start < limit;) {
    std::size_t end = start;
    bool lineEnd = false;
    while (end + unit <= limit && !lineEnd) {
      lineEnd = UnitAt(bytes, end, utf16) == u'\n';
      end += unit;
    }
    lines.push_back({bytes.substr(start, end - start), lineEnd});
    start = end;
  }
  return lines;
}

// ASCII text in the file's encoding.
inline std::string Units(const char *ascii, bool utf16) {
  std::string out;
  for (; *ascii != '\0'; ++ascii) {
    out += *ascii;
    if (utf16) {
      out += '\0';
    }
  }
  return out;
}

inline bool EndsWith(const std::string &text, const std::string &end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether a line's text holds a zero unit, which ends its text for the
// reader: such a line never goes on in the next one.
inline bool HoldsZero(const std::string &text, bool utf16) {
  const std::size_t unit = utf16 ? 2 : 1;
  for (std::size_t at = 0; at + unit <= text.size(); at += unit) {
    if (UnitAt(text, at, utf16) == 0) {
      return true;
    }
  }
  return false;
}

// A line as written: the same bytes. The file's last line may also have
// got a line end, when it had none and lines were added behind it, and one
// space before that end, when under continuation its backslash would now
// join the added line to it (unless a zero ends its text before that).
inline bool SameLine(const PhysicalLine &original, const PhysicalLine &written, bool last,
                     bool continuation, bool utf16) {
  if (written.bytes == original.bytes || !last) {
    return written.bytes == original.bytes;
  }
  // The line's text as the reader sees it, and its line end.
  std::string text = original.bytes;
  std::string ending;
  if (original.lineEnd) {
    ending = !utf16 && EndsWith(text, "\r\n") ? "\r\n" : Units("\n", utf16);
    text.resize(text.size() - ending.size());
  }
  if (continuation && EndsWith(text, Units("\\", utf16)) && !HoldsZero(text, utf16)) {
    text += Units(" ", utf16);
  }
  if (original.lineEnd) {
    return written.bytes == text + ending;
  }
  return written.bytes == text + Units("\n", utf16) || written.bytes == text + Units("\r\n", utf16);
}

struct Touched {
  std::vector<bool> lines;   // by physical line of the original file
  std::size_t rewritten = 0; // changed entries: one line each
  std::size_t added = 0;     // new lines: headers and entries
};

// Which original lines the updates reach, as the records say after them.
// Records are sections with a name, entries and an origin (their place
// among the sections read, -1 when added), entries likewise within their
// section; an entry counts as changed when it differs from the one read.
template <typename Records>
Touched TouchedLines(const FileLines &file, const Records &read, const Records &now) {
  Touched touched;
  touched.lines.assign(file.lines.size(), false);
  std::vector<bool> kept(read.size(), false);
  for (const auto &section : now) {
    if (section.origin < 0) {
      touched.added += 1 + section.entries.size();
      continue;
    }
    kept[static_cast<std::size_t>(section.origin)] = true;
    const ReadSection &lines = file.sections[static_cast<std::size_t>(section.origin)];
    for (const auto &entry : section.entries) {
      if (entry.origin < 0) {
        ++touched.added;
        continue;
      }
      const auto at = static_cast<std::size_t>(entry.origin);
      if (!(entry == read[static_cast<std::size_t>(section.origin)].entries[at])) {
        ++touched.rewritten;
        for (std::size_t line = lines.entries[at].first; line <= lines.entries[at].second; ++line) {
          touched.lines[line] = true;
        }
      }
    }
  }
  for (std::size_t s = 0; s < read.size(); ++s) {
    if (!kept[s]) {
      const std::size_t end =
          s + 1 < file.sections.size() ? file.sections[s + 1].headerLine : file.lines.size();
      for (std::size_t line = file.sections[s].headerLine; line < end; ++line) {
        touched.lines[line] = true;
      }
    }
  }
  return touched;
}

// Whether the sections and entries the rules find are those read, count
// for count.
template <typename Records> bool SameShape(const FileLines &file, const Records &read) {
  if (read.size() != file.sections.size()) {
    return false;
  }
  for (std::size_t s = 0; s < read.size(); ++s) {
    if (read[s].entries.size() != file.sections[s].entries.size()) {
      return false;
    }
  }
  return true;
}

// Checks a keep-layout write-back of a file whose lines were read as file
// and its records as read, written as now: every untouched line is there,
// in order, and the rest are the rewritten and the new lines, one each.
// Empty when that holds; otherwise what does not.
template <typename Records>
std::string KeptLinesProblem(const FileLines &file, const Records &read, const Records &now,
                             const std::string &written, bool utf16, bool continuation) {
  const Touched touched = TouchedLines(file, read, now);
  const std::vector<PhysicalLine> out = WrittenLines(written, utf16);
  std::size_t untouched = 0;
  std::size_t next = 0;
  for (std::size_t line = 0; line < file.lines.size(); ++line) {
    if (touched.lines[line]) {
      continue;
    }
    ++untouched;
    const bool last = line + 1 == file.lines.size();
    while (next < out.size() && !SameLine(file.lines[line], out[next], last, continuation, utf16)) {
      ++next;
    }
    if (next == out.size()) {
      return "untouched line " + std::to_string(line) + " is gone";
    }
    ++next;
  }
  const std::size_t expected = untouched + touched.rewritten + touched.added;
  if (out.size() != expected) {
    return std::to_string(out.size()) + " lines written, " + std::to_string(expected) +
           " expected (" + std::to_string(untouched) + " untouched)";
  }
  return std::string();
}

} // namespace layout_lines
