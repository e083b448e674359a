// Property tests over generated files and updates: random files biased
// towards the format's tricky corners are read, written back and read again;
// random updates are checked against the update rules after a write-back.
// Every case comes from a fixed seed, which each failure names.
#include "profile_fixture.h"
#include "record_model.h"

#include <cstring>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

using namespace profile_model;

// The file the writer makes of records, with every line feed as CR LF. With
// continuation on, an unquoted value ending in a backslash gets one trailing
// space, so that reading it back does not join the next line to it.
std::string Rendered(const Records &records, std::uint32_t mode) {
  std::string out;
  for (const SectionRecord &section : records) {
    out += "[" + section.name + "]\r\n";
    for (const EntryRecord &entry : section.entries) {
      const std::string quote = entry.quoted == 1 ? "\"" : "";
      out += entry.name + "=" + quote + entry.value + quote;
      if (mode != 0 && entry.quoted == 0 && !entry.value.empty()) {
        const char *begin = entry.value.c_str();
        if (*CharPrevA(begin, begin + entry.value.size()) == '\\') {
          out += " ";
        }
      }
      out += "\r\n";
    }
    out += "\r\n";
  }
  return out;
}

// --- Generated files ---

const char *const textAtoms[] = {
    "a",    "B",    "key", "x",  " ",  "\t",   "\"",           "'",
    "\\",   "=",    "[",   "]",  ";",  "\x1A", "\xE9",         "\xC3\xA9",
    "\x80", "\xFF", "\r",  "\v", "\f", "0",    "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};

std::string Text(Random &random, std::uint32_t maxAtoms, bool withEquals = true,
                 bool withBracketFirst = true) {
  std::string out;
  const std::uint32_t count = random.Below(maxAtoms + 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string atom = random.Pick(textAtoms);
    if ((!withEquals && atom == "=") || (!withBracketFirst && out.empty() && atom == "[")) {
      atom = "b";
    }
    out += atom;
    if (random.OneIn(300)) {
      out += '\0'; // a zero byte ends the text of its line
    }
  }
  return out;
}

std::string LongText(Random &random) {
  std::string out;
  const std::size_t length = 32769 + random.Below(40000);
  while (out.size() < length) {
    const std::string atom = random.Pick(textAtoms);
    out += atom == "\r" ? "r" : atom;
  }
  return out;
}

std::string SectionName(Random &random) {
  static const char *const names[] = {"s", "S", "t", " s ", "a]b", "Main", "\xC3\xA9t\xC3\xA9"};
  return random.OneIn(3) ? Text(random, 4, true) : std::string(random.Pick(names));
}

std::string EntryName(Random &random) {
  static const char *const names[] = {"a", "A", "b", "key", "KEY", "k y", ";c", "\"q\""};
  return random.OneIn(3) ? Text(random, 4, false, false) : std::string(random.Pick(names));
}

std::string Value(Random &random) {
  std::string inner = Text(random, 6);
  switch (random.Below(8)) {
  case 0:
    return "\"" + inner + "\"";
  case 1:
    return "'" + inner + "'";
  case 2:
    return "\"" + inner + "'";
  case 3:
    return random.OneIn(2) ? "\"" + inner : inner + "'";
  case 4:
    return inner + "\\";
  default:
    return inner;
  }
}

std::string FileLine(Random &random) {
  const std::string lead = random.Pick(spaces);
  const std::string tail = random.Pick(spaces);
  switch (random.Below(16)) {
  case 0:
  case 1:
  case 2:
    return lead + "[" + SectionName(random) + "]" + (random.OneIn(4) ? Text(random, 3) : "");
  case 3:
    return lead + "[]" + tail;
  case 4:
    return lead + "[" + Text(random, 3, true) + tail; // may lack its ']'
  case 5:
    return lead + "[a]b]" + tail;
  case 6:
    return lead + "=" + Text(random, 3);
  case 7:
    return lead + Text(random, 5, false);
  case 8:
    return lead; // blank or white space only
  default:
    return lead + EntryName(random) + random.Pick(spaces) + "=" + random.Pick(spaces) +
           Value(random) + tail;
  }
}

std::string LineEnd(Random &random) {
  switch (random.Below(20)) {
  case 0:
    return "\r"; // a lone CR ends no line
  case 1:
  case 2:
    return "\\\n";
  case 3:
    return "\\\r\n";
  case 4:
    return "\r\r\n";
  default:
    return random.OneIn(2) ? "\r\n" : "\n";
  }
}

std::string GeneratedText(Random &random, bool allowLong) {
  std::string text;
  if (random.OneIn(20)) {
    // Now and then plain noise: any bytes at all.
    const std::uint32_t length = random.Below(400);
    for (std::uint32_t i = 0; i < length; ++i) {
      text += static_cast<char>(random.Below(256));
    }
    return text;
  }
  const std::uint32_t lines = random.Below(24);
  for (std::uint32_t i = 0; i < lines; ++i) {
    std::string line = FileLine(random);
    if (allowLong && random.OneIn(70)) {
      switch (random.Below(4)) {
      case 0:
        line = EntryName(random) + "=" + LongText(random);
        break;
      case 1:
        line = "[" + LongText(random) + "]";
        break;
      case 2:
        line = " [" + LongText(random); // ends its section, put back whole
        break;
      default: {
        // Hundreds of short lines joined by continuation into one long one.
        const std::string joined = LongText(random);
        line = EntryName(random) + "=";
        for (std::size_t at = 0; at < joined.size(); at += 100) {
          line += joined.substr(at, 100) + (random.OneIn(2) ? "\\\r\n" : "\\\n");
        }
        line += "end";
        break;
      }
      }
    }
    text += line;
    if (i + 1 < lines || !random.OneIn(4)) {
      text += LineEnd(random);
    }
  }
  return text;
}

// The same text as UTF-16 units: ASCII stays, each high byte becomes a unit
// from a list of awkward ones (units holding 0A or 1A, unpaired surrogates,
// a pair, characters outside every 8-bit code page).
std::u16string Utf16Text(const std::string &text) {
  static const std::u16string units[] = {u"\u010A", u"\u011A",       u"\u00E9", u"\u4E2D",
                                         u"\xD83D", u"\xDE00",       u"\u0A0D", u"\u00A0",
                                         u"\u3000", u"\xD83D\xDE00", u"\u5B5C", u"\u0085"};
  std::u16string wide;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      wide += static_cast<char16_t>(byte);
    } else {
      wide += units[byte % std::size(units)];
    }
  }
  return wide;
}

// A UTF-16 file of those units with its FF FE mark; sometimes one stray byte
// ends it.
std::string Utf16Bytes(Random &random, const std::u16string &wide) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  if (random.OneIn(8)) {
    bytes += "A";
  }
  return bytes;
}

// The 8-bit text the units stand for in the ANSI code page: a surrogate
// without its partner is one space, and so is what the code page cannot
// represent.
std::string AnsiText(const std::u16string &wide) {
  std::vector<WCHAR> units(wide.begin(), wide.end());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      units[i] = 0x0020;
    }
  }
  if (units.empty()) {
    return "";
  }
  const int count = static_cast<int>(units.size());
  std::string out(static_cast<std::size_t>(count) * 4, '\0');
  const int outSize = static_cast<int>(out.size());
  int produced =
      WideCharToMultiByte(CP_ACP, 0, units.data(), count, out.data(), outSize, " ", nullptr);
  if (produced == 0) {
    produced =
        WideCharToMultiByte(CP_ACP, 0, units.data(), count, out.data(), outSize, nullptr, nullptr);
  }
  EXPECT_GT(produced, 0);
  out.resize(static_cast<std::size_t>(produced > 0 ? produced : 0));
  return out;
}

// --- Checks of the name getters on random buffer sizes ---

constexpr char Guard = '\x5A';
constexpr std::size_t GuardBytes = 8;

// What a name list of the given size must hold, and the answer.
std::string ExpectedNameList(const std::vector<std::string> &names, std::uint32_t size,
                             std::uint32_t *answer) {
  std::string out(size, '\0');
  std::uint32_t room = size - 1;
  std::size_t at = 0;
  for (const std::string &name : names) {
    const auto length = static_cast<std::uint32_t>(name.size());
    if (length >= room) {
      out.replace(at, room, name.substr(0, room));
      break;
    }
    out.replace(at, length, name);
    at += length + 1;
    room -= length + 1;
  }
  *answer = size - 1 - room;
  return out;
}

// A section list (section null) or the entry list of a section.
void CheckNameList(Random &random, const std::string &path, const char *section,
                   const std::vector<std::string> &names) {
  std::uint32_t whole = 1;
  for (const std::string &name : names) {
    whole += static_cast<std::uint32_t>(name.size()) + 1;
  }
  for (int round = 0; round < 4; ++round) {
    const std::uint32_t size = round == 0 ? whole : random.Below(whole + 4);
    SCOPED_TRACE("name list of size " + std::to_string(size));
    std::vector<char> buffer(size + GuardBytes, Guard);
    const std::uint32_t answer =
        ProfileGetString(section, nullptr, "<default>", buffer.data(), size, path.c_str());
    for (std::size_t i = size; i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], Guard) << "written beyond the size at " << i;
    }
    if (size == 0) {
      EXPECT_EQ(answer, 0u);
      continue;
    }
    std::uint32_t expectedAnswer = 0;
    const std::string expected = ExpectedNameList(names, size, &expectedAnswer);
    EXPECT_EQ(answer, expectedAnswer);
    EXPECT_EQ(buffer[size - 1], '\0');
    EXPECT_EQ(Visible(std::string(buffer.data(), size)), Visible(expected));
  }
  EXPECT_EQ(ProfileGetString(section, nullptr, "<default>", nullptr, 7, path.c_str()), 0u);
}

// One name through ProfileGetSectionName or ProfileGetEntryName: at most
// size bytes, no terminating zero, the whole length answered.
template <typename Getter>
void CheckNameGetter(Random &random, const std::string &name, Getter get) {
  const auto length = static_cast<std::uint32_t>(name.size());
  for (int round = 0; round < 2; ++round) {
    const std::uint32_t size = random.Below(length + 3);
    std::vector<char> buffer(size + GuardBytes, Guard);
    EXPECT_EQ(get(buffer.data(), size), length);
    const std::uint32_t copied = size < length ? size : length;
    EXPECT_EQ(std::string(buffer.data(), copied), name.substr(0, copied));
    for (std::size_t i = copied; i < buffer.size(); ++i) {
      ASSERT_EQ(buffer[i], Guard) << "written beyond the name at " << i << " of size " << size;
    }
  }
  EXPECT_EQ(get(nullptr, 0), length);
}

// A value through ProfileGetString with a random size: at most size - 1 bytes
// and a zero byte, nothing beyond.
void CheckValueGetter(Random &random, const std::string &path, const std::string &section,
                      const std::string &entry, const std::string &expected) {
  const auto length = static_cast<std::uint32_t>(expected.size());
  EXPECT_EQ(ProfileGetString(section.c_str(), entry.c_str(), "<default>", nullptr, 0, path.c_str()),
            length);
  const std::uint32_t size = random.Below(length + 3);
  std::vector<char> buffer(size + GuardBytes, Guard);
  const std::uint32_t answer = ProfileGetString(section.c_str(), entry.c_str(), "<default>",
                                                buffer.data(), size, path.c_str());
  if (size == 0) {
    EXPECT_EQ(answer, length);
  } else {
    const std::uint32_t stored = size - 1 < length ? size - 1 : length;
    EXPECT_EQ(answer, stored);
    EXPECT_EQ(std::string(buffer.data(), stored), expected.substr(0, stored));
    EXPECT_EQ(buffer[stored], '\0');
  }
  const std::size_t untouched = size == 0 ? 0 : (size - 1 < length ? size : length + 1);
  for (std::size_t i = untouched; i < buffer.size(); ++i) {
    ASSERT_EQ(buffer[i], Guard) << "written beyond the text at " << i << " of size " << size;
  }
}

class ProfileStability : public ProfileTest {
protected:
  // The record of path, read now under mode.
  static ProfileFile *Load(const std::string &path, std::uint32_t mode) {
    OpenInMode(path, mode);
    ProfileFile *file = nullptr;
    EXPECT_EQ(ProfileOpen(path.c_str(), &file), 1);
    return file;
  }

  // Marks the record dirty, releases it, and answers the bytes written.
  static std::string WriteBack(const std::string &path, ProfileFile *file) {
    file->dirty = 1;
    ProfileRelease(path.c_str());
    // One read of the whole file: byte by byte takes long under the
    // sanitizers, and some of these files are large.
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
  }
};

// --- Property 1: any file, read, written, read again and written again ---

constexpr std::uint64_t FileSeedBase = 0x51AB1E0000u;
constexpr int FileCases = 120;

TEST_F(ProfileStability, GeneratedFilesWriteBackStablyAndReadBackAlike) {
  const std::string path = Path("generated.ini");
  const std::string eightBit = Path("eight-bit.ini");
  for (int index = 0; index < FileCases; ++index) {
    const std::uint64_t seed = FileSeedBase + static_cast<std::uint64_t>(index);
    Random random(seed);
    const std::string text = GeneratedText(random, true);
    const bool utf16 = random.OneIn(6);
    const std::u16string wide = Utf16Text(text);
    const std::string bytes = utf16 ? Utf16Bytes(random, wide) : text;
    for (std::uint32_t mode = 0; mode < 2; ++mode) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", switches " + std::to_string(mode) +
                   (utf16 ? ", UTF-16" : "") + ", file: " + Visible(bytes));
      WriteBytes(path, bytes);
      ProfileFile *file = Load(path, mode);
      ASSERT_NE(file, nullptr);
      const Records first = Snapshot(file);
      if (utf16) {
        // The UTF-16 file reads as its text in the ANSI code page would read
        // from an 8-bit file; but there CR LF is one line end, so a backslash
        // before it joins lines, while in UTF-16 the CR stands in between.
        const std::string ansi = AnsiText(wide);
        if (mode == 0 || ansi.find("\\\r\n") == std::string::npos) {
          WriteBytes(eightBit, ansi);
          ProfileFile *same = Load(eightBit, mode);
          ASSERT_NE(same, nullptr);
          const Records eightBitRecords = Snapshot(same);
          ASSERT_EQ(Describe(eightBitRecords), Describe(first)) << "8-bit: " << Visible(ansi);
          ASSERT_TRUE(eightBitRecords == first);
          ProfileRelease(eightBit.c_str());
        }
      }
      const std::string written = WriteBack(path, file);
      // The writer's layout, exactly.
      ASSERT_EQ(Visible(written, 4000), Visible(Rendered(first, mode), 4000));
      ASSERT_TRUE(written == Rendered(first, mode));

      file = Load(path, mode);
      ASSERT_NE(file, nullptr);
      const Records again = Snapshot(file);
      // Whatever the first reading dropped (lines before the first header,
      // lines without '=', the rest of a section after "=x", "[]" and
      // unclosed headers with what follows them, joined line ends) is gone
      // from the written file too, so the records read from it are the same.
      ASSERT_EQ(Describe(again), Describe(first));
      ASSERT_TRUE(again == first);
      const std::string rewritten = WriteBack(path, file);
      ASSERT_EQ(Visible(rewritten, 4000), Visible(written, 4000));
      ASSERT_TRUE(rewritten == written);
    }
  }
  std::remove(path.c_str());
  std::remove(eightBit.c_str());
}

// --- Property 1b: read under keep-layout, a file gives the same records ---

// Keep-layout reading leaves the file's bytes as they were and copies the
// names and values out of them; the records must be those of the usual,
// in-place reading, and the bytes kept must be the file's.
TEST_F(ProfileStability, KeepLayoutReadingGivesTheSameRecordsAndKeepsTheBytes) {
  const std::string path = Path("kept.ini");
  for (int index = 0; index < FileCases; ++index) {
    const std::uint64_t seed = FileSeedBase + static_cast<std::uint64_t>(index);
    Random random(seed);
    const std::string text = GeneratedText(random, true);
    const bool utf16 = random.OneIn(6);
    const std::string bytes = utf16 ? Utf16Bytes(random, Utf16Text(text)) : text;
    WriteBytes(path, bytes);
    for (std::uint32_t mode = 0; mode < 2; ++mode) {
      SCOPED_TRACE("seed " + std::to_string(seed) + ", switches " + std::to_string(mode) +
                   (utf16 ? ", UTF-16" : "") + ", file: " + Visible(bytes));
      ProfileFile *usual = Load(path, mode);
      ASSERT_NE(usual, nullptr);
      const Records expected = Snapshot(usual);
      OpenInMode(path, mode);
      ProfileSetKeepLayout(path.c_str(), 1);
      ProfileFile *kept = nullptr;
      ASSERT_EQ(ProfileOpen(path.c_str(), &kept), 1);
      const Records records = Snapshot(kept);
      ASSERT_EQ(Describe(records), Describe(expected));
      ASSERT_TRUE(records == expected);
      ASSERT_TRUE(KeptBytes(kept) == bytes);
      ASSERT_TRUE(Snapshot(kept) == expected); // ended again as they were
      ProfileRelease(path.c_str());
    }
  }
  std::remove(path.c_str());
}

// --- Property 2: random updates read back as the update rules say ---

constexpr std::uint64_t UpdateSeedBase = 0x0DA7E50000u;
constexpr int UpdateCases = 100;
constexpr int UpdatesPerCase = 14;

TEST_F(ProfileStability, RandomUpdatesReadBackAsTheUpdateRulesSay) {
  const std::string path = Path("updated.ini");
  for (int index = 0; index < UpdateCases; ++index) {
    const std::uint64_t seed = UpdateSeedBase + static_cast<std::uint64_t>(index);
    Random random(seed);
    const std::uint32_t mode = static_cast<std::uint32_t>(index % 2);
    const std::string text = random.OneIn(4) ? "" : GeneratedText(random, false);
    std::string trace = "seed " + std::to_string(seed) + ", switches " + std::to_string(mode) +
                        ", file: " + Visible(text);
    SCOPED_TRACE(trace);
    std::remove(path.c_str());
    if (!random.OneIn(5)) {
      WriteBytes(path, text);
    }
    ProfileFile *file = Load(path, mode);
    ASSERT_NE(file, nullptr);
    Records model = Snapshot(file);
    std::vector<std::pair<std::string, std::string>> setNames;

    for (int update = 0; update < UpdatesPerCase; ++update) {
      std::string section = random.OneIn(3) ? SectionName(random) : UpdateText(random, true);
      std::string entry = random.OneIn(3) ? EntryName(random) : UpdateText(random, true);
      const std::string value = UpdateText(random, false);
      const bool deletion = random.OneIn(12);
      const char *sectionArgument = random.OneIn(30) ? nullptr : section.c_str();
      const char *entryArgument = deletion ? (random.OneIn(2) ? nullptr : "") : entry.c_str();
      const char *valueArgument = random.OneIn(20) ? nullptr : value.c_str();
      SCOPED_TRACE("update " + std::to_string(update) + ": section \"" +
                   Visible(sectionArgument != nullptr ? sectionArgument : "<null>") +
                   "\", entry \"" + Visible(entryArgument != nullptr ? entryArgument : "<null>") +
                   "\", value \"" + Visible(valueArgument != nullptr ? valueArgument : "<null>") +
                   "\"");
      const std::int32_t dirtyBefore = file->dirty;
      std::string setSection;
      std::string setEntry;
      const std::int32_t expected =
          ApplyUpdate(model, sectionArgument, entryArgument, valueArgument, &setSection, &setEntry);
      ASSERT_EQ(ProfileSetString(sectionArgument, entryArgument, valueArgument, path.c_str()),
                expected);
      ASSERT_EQ(file->dirty, expected == 1 ? 1 : dirtyBefore);
      ASSERT_EQ(Describe(Snapshot(file)), Describe(model));
      if (!setSection.empty()) {
        setNames.emplace_back(setSection, setEntry);
      }
    }

    const std::string written = WriteBack(path, file);
    file = Load(path, mode);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(Describe(Snapshot(file)), Describe(model)) << "written: " << Visible(written);

    // Every value set reads back as the rules made it, quotes shown under
    // the switches; sections deleted later give the default.
    for (const auto &[section, entry] : setNames) {
      SCOPED_TRACE("reading \"" + Visible(section) + "\" / \"" + Visible(entry) + "\"");
      auto foundSection = FindFirst(model, section);
      std::string expected = "<default>";
      if (foundSection != model.end()) {
        auto foundEntry = FindFirst(foundSection->entries, entry);
        if (foundEntry != foundSection->entries.end()) {
          expected = mode != 0 && foundEntry->quoted == 1 ? "\"" + foundEntry->value + "\""
                                                          : foundEntry->value;
          CheckValueGetter(random, path, section, entry, expected);
        }
      }
      EXPECT_EQ(Visible(Get(path, section.c_str(), entry.c_str())), Visible(expected));
    }

    // The name lists and the single-name getters, on random sizes.
    std::vector<std::string> sectionNames;
    for (const SectionRecord &section : model) {
      sectionNames.push_back(section.name);
    }
    CheckNameList(random, path, nullptr, sectionNames);
    for (std::uint32_t position = 0; position < model.size(); ++position) {
      const SectionRecord &section = model[position];
      CheckNameGetter(random, section.name, [&](char *buffer, std::uint32_t size) {
        return ProfileGetSectionName(position, buffer, size, path.c_str());
      });
      // Lookups by name see the first section of that name.
      const SectionRecord &first = *FindFirst(model, section.name);
      std::vector<std::string> entryNames;
      for (const EntryRecord &entry : first.entries) {
        entryNames.push_back(entry.name);
      }
      CheckNameList(random, path, section.name.c_str(), entryNames);
      ProfileSection *found = ProfileFindSection(section.name.c_str(), path.c_str());
      ASSERT_NE(found, nullptr);
      for (std::uint32_t entry = 0; entry < first.entries.size(); ++entry) {
        CheckNameGetter(random, first.entries[entry].name, [&](char *buffer, std::uint32_t size) {
          return ProfileGetEntryName(entry, buffer, size, found);
        });
      }
      char untouched[4] = {Guard, Guard, Guard, Guard};
      EXPECT_EQ(ProfileGetEntryName(static_cast<std::uint32_t>(first.entries.size()), untouched,
                                    sizeof untouched, found),
                0u);
      EXPECT_EQ(std::string(untouched, 4), std::string(4, Guard));
    }
    char untouched[4] = {Guard, Guard, Guard, Guard};
    EXPECT_EQ(ProfileGetSectionName(static_cast<std::uint32_t>(model.size()), untouched,
                                    sizeof untouched, path.c_str()),
              0u);
    EXPECT_EQ(std::string(untouched, 4), std::string(4, Guard));
    ProfileRelease(path.c_str());
  }
  std::remove(path.c_str());
}

} // namespace

// --- Line ends at the edges of the reader's buffers ---

// A CR LF pair, and a backslash before it, read alike wherever they fall in a
// long file: around the line buffer's starting size and around the edges of
// the blocks the file is read in.
TEST_F(ProfileStability, LineEndsReadAlikeWhereverTheyFall) {
  const std::string path = Path("edges.ini");
  const std::size_t header = std::strlen("[s]\r\na=");
  for (const std::size_t edge : {std::size_t{32768}, std::size_t{65536}, std::size_t{131072}}) {
    for (std::size_t at = edge - 3; at <= edge + 1; ++at) {
      SCOPED_TRACE("backslash at offset " + std::to_string(at));
      const std::string filler(at - header, 'f');
      WriteBytes(path, "[s]\r\na=" + filler + "\\\r\nb\r\nc=1\r\n");
      OpenInMode(path, 1);
      const ProfileEntry *joined = Entry(path, "s", "a");
      ASSERT_NE(joined, nullptr);
      EXPECT_TRUE(joined->value == filler + "b")
          << Visible(std::string(joined->value).substr(at - header - 2));
      EXPECT_EQ(Get(path, "s", "c"), "1");
      OpenInMode(path, 0);
      EXPECT_TRUE(Get(path, "s", "a") == filler + "\\");
      EXPECT_EQ(EntryNames(path, "s"), "a\0c\0"s);
      ProfileRelease(path.c_str());
    }
  }
  std::remove(path.c_str());
}
