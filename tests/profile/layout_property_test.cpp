// Property test of keep-layout write-back, over generated files full of
// comments, blank lines, continuation, quotes, duplicates and odd line ends,
// and random updates: the written file reads back as the updated records,
// and every line that no update touched is there, unchanged and in order.
// Every case comes from a fixed seed, which each failure names.
#include "common/ansi_text.h"
#include "profile_fixture.h"
#include "record_model.h"

#include <string>
#include <vector>

namespace {

using namespace profile_model;

constexpr std::uint64_t SeedBase = 0x1A70u << 20;
constexpr int Cases = 240;
constexpr int UpdatesPerCase = 12;

// --- Generated files, as UTF-16 text (8-bit files hold it as bytes) ---

const char16_t *const atoms[] = {u"a",  u"B", u"key", u" ",  u"\t", u"\"",   u"'",
                                 u"\\", u"=", u"[",   u"]",  u";",  u"\x1A", u"\u00E9",
                                 u"\r", u"0", u"#",   u"\v", u"x y"};

std::u16string Text(Random &random, std::uint32_t most, bool equals = true) {
  std::u16string out;
  for (std::uint32_t count = random.Below(most + 1); count > 0; --count) {
    const std::u16string atom = random.Pick(atoms);
    out += !equals && atom == u"=" ? u"b" : atom;
  }
  return out;
}

std::u16string Blanks(Random &random) {
  static const char16_t *const blanks[] = {u"", u"", u" ", u"\t", u"  "};
  return random.Pick(blanks);
}

std::u16string Line(Random &random) {
  static const char16_t *const sections[] = {u"s", u"S", u"t", u" s ", u"a]b", u"\u00E9"};
  static const char16_t *const names[] = {u"a", u"A", u"b", u"key", u"KEY", u"k y"};
  switch (random.Below(14)) {
  case 0:
  case 1:
    return Blanks(random) + u"[" + std::u16string(random.Pick(sections)) + u"]" +
           (random.OneIn(4) ? Text(random, 2) : u"");
  case 2:
    return random.OneIn(2) ? std::u16string(u"[]") : u"[" + Text(random, 2, false); // no header
  case 3:
    return random.OneIn(2) ? std::u16string(u"; comment") : u"# " + Text(random, 3);
  case 4:
    return Blanks(random);
  case 5:
    return random.OneIn(3) ? u"=" + Text(random, 2) : Text(random, 4, false); // no entry
  default: {
    std::u16string value = Text(random, 4);
    if (random.OneIn(3)) {
      const char16_t *quote = random.OneIn(2) ? u"\"" : u"'";
      value = quote + value + (random.OneIn(5) ? u"\"" : quote);
    }
    const std::u16string name =
        random.OneIn(4) ? Text(random, 2, false) : std::u16string(random.Pick(names));
    return Blanks(random) + name + Blanks(random) + u"=" + Blanks(random) + value + Blanks(random);
  }
  }
}

std::u16string LineEnd(Random &random) {
  static const char16_t *const ends[] = {u"\n",   u"\r\n",   u"\n",     u"\r\n",
                                         u"\\\n", u"\\\r\n", u"\r\r\n", u"\r"};
  return random.Pick(ends);
}

std::u16string GeneratedText(Random &random, bool utf16) {
  std::u16string text;
  const std::uint32_t lines = random.Below(30);
  for (std::uint32_t i = 0; i < lines; ++i) {
    text += Line(random);
    if (utf16 && random.OneIn(30)) {
      text += u"\xDC00"; // an unpaired surrogate: reads as a space
    }
    if (i + 1 < lines || !random.OneIn(3)) {
      text += LineEnd(random);
    }
  }
  return text;
}

// The text's bytes: UTF-16 little-endian units, or 8-bit text that holds
// U+00E9 as the ANSI code page does.
std::string Encoded(const std::u16string &text, bool utf16) {
  std::string bytes;
  for (char16_t unit : text) {
    if (utf16) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    } else {
      bytes +=
          unit < 0x80 ? std::string(1, static_cast<char>(unit)) : Ansi(std::u16string(1, unit));
    }
  }
  return bytes;
}

std::string FileBytes(const std::u16string &text, bool utf16) {
  return (utf16 ? "\xFF\xFE" : "") + Encoded(text, utf16);
}

// --- The file's lines, read by the parser's rules written out again ---

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

bool IsBlank(char16_t unit) {
  return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\v' || unit == u'\f' ||
         unit == u'\r';
}

// What a logical line is, as the section reader sees it.
enum class Kind { Header, Blank, Bracket, Entry, EmptyName, Other };

Kind Classify(const std::u16string &text) {
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

FileLines SplitFile(const std::u16string &text, bool utf16, bool continuation) {
  FileLines file;
  std::vector<std::u16string> contents;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(u'\n', start);
    const bool lineEnd = end != std::u16string::npos;
    end = lineEnd ? end + 1 : text.size();
    std::u16string content = text.substr(start, end - start - (lineEnd ? 1 : 0));
    if (!utf16 && lineEnd && !content.empty() && content.back() == u'\r') {
      content.pop_back(); // CR LF reads as LF in 8-bit files
    }
    for (char16_t &unit : content) {
      if (unit >= 0xD800 && unit <= 0xDFFF) {
        unit = u' '; // the generator makes only unpaired ones
      }
    }
    file.lines.push_back({Encoded(text.substr(start, end - start), utf16), lineEnd});
    contents.push_back(content);
    start = end;
  }
  bool inSection = false;
  for (std::size_t line = 0; line < contents.size();) {
    const std::size_t first = line;
    std::u16string logical = contents[line];
    while (continuation && file.lines[line].lineEnd && !logical.empty() &&
           logical.back() == u'\\' && line + 1 < contents.size()) {
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

std::vector<PhysicalLine> WrittenLines(const std::string &bytes, bool utf16) {
  std::vector<PhysicalLine> lines;
  const std::size_t unit = utf16 ? 2 : 1;
  for (std::size_t start = utf16 ? 2 : 0; start < bytes.size();) {
    std::size_t end = start;
    bool lineEnd = false;
    while (end + unit <= bytes.size() && !lineEnd) {
      lineEnd = bytes[end] == '\n' && (!utf16 || bytes[end + 1] == '\0');
      end += unit;
    }
    lines.push_back({bytes.substr(start, end - start), lineEnd});
    start = end;
  }
  return lines;
}

// A line as written: the same bytes. The file's last line may also have
// got a line end, when it had none and lines were added behind it, and one
// space before that end, when under continuation its backslash would now
// join the added line to it.
bool SameLine(const PhysicalLine &original, const PhysicalLine &written, bool last,
              bool continuation, bool utf16) {
  if (written.bytes == original.bytes || !last) {
    return written.bytes == original.bytes;
  }
  const auto endsWith = [](const std::string &text, const std::string &end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
  };
  // The line's text as the reader sees it, and its line end.
  std::string text = original.bytes;
  std::string ending;
  if (original.lineEnd) {
    ending = Encoded(!utf16 && endsWith(text, "\r\n") ? u"\r\n" : u"\n", utf16);
    text.resize(text.size() - ending.size());
  }
  if (continuation && endsWith(text, Encoded(u"\\", utf16))) {
    text += Encoded(u" ", utf16);
  }
  if (original.lineEnd) {
    return written.bytes == text + ending;
  }
  return written.bytes == text + Encoded(u"\n", utf16) ||
         written.bytes == text + Encoded(u"\r\n", utf16);
}

// --- Updates ---

struct Touched {
  std::vector<bool> lines;   // by physical line of the original file
  std::size_t rewritten = 0; // changed entries: one line each
  std::size_t added = 0;     // new lines: headers and entries
};

// Which original lines the updates reach, as the records say after them.
Touched TouchedLines(const FileLines &file, const Records &read, const Records &now) {
  Touched touched;
  touched.lines.assign(file.lines.size(), false);
  std::vector<bool> kept(read.size(), false);
  for (const SectionRecord &section : now) {
    if (section.origin < 0) {
      touched.added += 1 + section.entries.size();
      continue;
    }
    kept[static_cast<std::size_t>(section.origin)] = true;
    const ReadSection &lines = file.sections[static_cast<std::size_t>(section.origin)];
    for (const EntryRecord &entry : section.entries) {
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

// A name the file has, now and then in other letter case, or a new one.
std::string SomeName(Random &random, const std::vector<std::string> &names) {
  if (names.empty() || random.OneIn(5)) {
    return UpdateText(random, true);
  }
  std::string name = names[random.Below(static_cast<std::uint32_t>(names.size()))];
  if (random.OneIn(4) && !name.empty() && name[0] >= 'a' && name[0] <= 'z') {
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
  }
  return name;
}

class ProfileLayoutProperty : public ProfileTest {
protected:
  static ProfileFile *Load(const std::string &path, std::uint32_t mode) {
    OpenInMode(path, mode);
    ProfileSetKeepLayout(path.c_str(), 1);
    ProfileFile *file = nullptr;
    EXPECT_EQ(ProfileOpen(path.c_str(), &file), 1);
    return file;
  }
};

TEST_F(ProfileLayoutProperty, WrittenFilesReadBackAsTheRecordsAndKeepEveryUntouchedLine) {
  const std::string path = Path("layout.ini");
  for (int index = 0; index < Cases; ++index) {
    const std::uint64_t seed = SeedBase + static_cast<std::uint64_t>(index);
    Random random(seed);
    const std::uint32_t mode = random.Below(2);
    const bool utf16 = random.OneIn(4);
    const std::u16string text = GeneratedText(random, utf16);
    const std::string bytes = FileBytes(text, utf16);
    SCOPED_TRACE("seed " + std::to_string(seed) + ", switches " + std::to_string(mode) +
                 (utf16 ? ", UTF-16" : "") + ", file: " + Visible(bytes));
    WriteBytes(path, bytes);
    ProfileFile *file = Load(path, mode);
    ASSERT_NE(file, nullptr);

    // The rules written out find the same sections and entries.
    const FileLines lines = SplitFile(text, utf16, mode != 0);
    Records read = Snapshot(file);
    ASSERT_EQ(read.size(), lines.sections.size());
    for (std::size_t s = 0; s < read.size(); ++s) {
      ASSERT_EQ(read[s].entries.size(), lines.sections[s].entries.size()) << "section " << s;
      read[s].origin = static_cast<int>(s);
      for (std::size_t e = 0; e < read[s].entries.size(); ++e) {
        read[s].entries[e].origin = static_cast<int>(e);
      }
    }

    Records model = read;
    for (int update = 0; update < UpdatesPerCase; ++update) {
      // Mostly sections with entries, so that many updates change read lines.
      std::vector<std::string> sectionNames;
      for (const SectionRecord &section : model) {
        if (!section.entries.empty() || random.OneIn(4)) {
          sectionNames.push_back(section.name);
        }
      }
      std::string section = SomeName(random, sectionNames);
      auto found = FindFirst(model, Trimmed(section));
      std::vector<std::string> entryNames;
      if (found != model.end()) {
        for (const EntryRecord &entry : found->entries) {
          entryNames.push_back(entry.name);
        }
      }
      std::string entry = random.OneIn(25) ? "" : SomeName(random, entryNames);
      std::string value = UpdateText(random, false);
      if (found != model.end() && random.OneIn(3)) {
        const auto existing = FindFirst(found->entries, Trimmed(entry));
        if (existing != found->entries.end()) {
          // The value it has, or had when read: nothing to write for it.
          const EntryRecord &same = existing->origin >= 0 && found->origin >= 0 && random.OneIn(2)
                                        ? read[static_cast<std::size_t>(found->origin)]
                                              .entries[static_cast<std::size_t>(existing->origin)]
                                        : *existing;
          value = same.quoted == 1 ? "'" + same.value + "'" : same.value;
        }
      }
      if (utf16) {
        // Text without UTF-16 form is refused there; the model knows nothing
        // of that.
        for (std::string *text : {&section, &entry, &value}) {
          for (std::size_t at = text->find('\xE9'); at != std::string::npos;
               at = text->find('\xE9', at + 1)) {
            text->replace(at, 1, "e");
          }
        }
      }
      SCOPED_TRACE("update " + std::to_string(update) + ": \"" + Visible(section) + "\" / \"" +
                   Visible(entry) + "\" = \"" + Visible(value) + "\"");
      std::string setSection;
      std::string setEntry;
      const std::int32_t expected =
          ApplyUpdate(model, section.c_str(), entry.c_str(), value.c_str(), &setSection, &setEntry);
      ASSERT_EQ(ProfileSetString(section.c_str(), entry.c_str(), value.c_str(), path.c_str()),
                expected);
    }
    ASSERT_EQ(Describe(Snapshot(file)), Describe(model));
    file->dirty = 1;
    ProfileRelease(path.c_str());
    const std::string written = ReadBytes(path);
    SCOPED_TRACE("written: " + Visible(written));
    if (utf16) {
      ASSERT_EQ(written.compare(0, 2, "\xFF\xFE"), 0);
    }

    // Read back, the file holds exactly the updated records.
    file = Load(path, mode);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(Describe(Snapshot(file)), Describe(model));
    ASSERT_TRUE(Snapshot(file) == model);
    ProfileRelease(path.c_str());

    // Every untouched line is there, in order; the rest are the rewritten
    // and the new lines, one each.
    const Touched touched = TouchedLines(lines, read, model);
    const std::vector<PhysicalLine> out = WrittenLines(written, utf16);
    std::size_t untouched = 0;
    std::size_t next = 0;
    for (std::size_t line = 0; line < lines.lines.size(); ++line) {
      if (touched.lines[line]) {
        continue;
      }
      ++untouched;
      const PhysicalLine &original = lines.lines[line];
      const bool last = line + 1 == lines.lines.size();
      while (next < out.size() && !SameLine(original, out[next], last, mode != 0, utf16)) {
        ++next;
      }
      ASSERT_LT(next, out.size()) << "line " << line << " is gone: " << Visible(original.bytes);
      ++next;
    }
    EXPECT_EQ(out.size(), untouched + touched.rewritten + touched.added);
  }
  std::remove(path.c_str());
}

} // namespace
