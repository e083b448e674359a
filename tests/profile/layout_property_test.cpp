// Property test of keep-layout write-back, over generated files full of
// comments, blank lines, continuation, quotes, duplicates and odd line ends,
// and random updates: the written file reads back as the updated records,
// and every line that no update touched is there, unchanged and in order.
// Every case comes from a fixed seed, which each failure names.
#include "common/ansi_text.h"
#include "layout_lines.h"
#include "profile_fixture.h"
#include "record_model.h"

#include <string>
#include <vector>

namespace {

using namespace profile_model;
using layout_lines::FileLines;

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
  if (utf16) {
    return Utf16Units(text);
  }
  std::string bytes;
  for (char16_t unit : text) {
    bytes += unit < 0x80 ? std::string(1, static_cast<char>(unit)) : Ansi(std::u16string(1, unit));
  }
  return bytes;
}

std::string FileBytes(const std::u16string &text, bool utf16) {
  return (utf16 ? "\xFF\xFE" : "") + Encoded(text, utf16);
}

// --- Updates ---

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
    const FileLines lines = layout_lines::SplitFile(bytes, utf16, mode != 0);
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
    EXPECT_EQ(layout_lines::KeptLinesProblem(lines, read, model, written, utf16, mode != 0), "");
  }
  std::remove(path.c_str());
}

} // namespace
