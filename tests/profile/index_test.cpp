// What the lists alone would not show: the name indexes, the listing
// cursor and the two kinds of value storage stay right through every update.
// The lists themselves are the reference; each step compares with them.
#include "profile_fixture.h"

#include <cstring>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

class ProfileIndex : public ProfileTest {};

// A small generator of our own, so that every build draws the same cases.
class Random {
public:
  explicit Random(std::uint64_t seed) : state(seed) {}
  std::uint32_t Below(std::uint32_t n) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) % n);
  }

private:
  std::uint64_t state;
};

bool SameIgnoringAsciiCase(const char *left, const char *right) {
  return _stricmp(left, right) == 0;
}

// The first section of that name by walking the list.
const ProfileSection *FirstSectionInList(const ProfileFile *file, const std::string &name) {
  for (const ProfileSection *s = file->firstSection; s != nullptr; s = s->next) {
    if (SameIgnoringAsciiCase(s->name, name.c_str())) {
      return s;
    }
  }
  return nullptr;
}

const ProfileEntry *FirstEntryInList(const ProfileSection *section, const std::string &name) {
  for (const ProfileEntry *e = section->firstEntry; e != nullptr; e = e->next) {
    if (SameIgnoringAsciiCase(e->name, name.c_str())) {
      return e;
    }
  }
  return nullptr;
}

// A name from a small pool, in a random letter case, so that duplicates and
// case variants are common.
std::string PoolName(Random &random, const char *const *pool, std::uint32_t poolSize) {
  std::string name = pool[random.Below(poolSize)];
  for (char &c : name) {
    if (random.Below(2) == 0 && c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return name;
}

// Names compare as _stricmp does (ASCII letters folded, every other byte as
// it is, the bytes around the letters included), hash alike when they
// compare alike, and hash the same read whole-word from a padded text.
TEST_F(ProfileIndex, NamesCompareAndHashWithOnlyAsciiLettersFolded) {
  static const unsigned char edges[] = {'@',  'A', 'Z',  '[',         '`',        'a',
                                        'z',  '{', 0xC1, 0xE1,        0x80,       0xFF,
                                        0x01, ' ', '0',  0x41 | 0x80, 0x5A | 0x80};
  Random random(3);
  for (int round = 0; round < 20000; ++round) {
    const std::uint32_t length = 1 + random.Below(24);
    std::string left;
    for (std::uint32_t i = 0; i < length; ++i) {
      left += static_cast<char>(edges[random.Below(sizeof edges)]);
    }
    std::string right = left;
    // Sometimes a letter in the other case, sometimes another byte.
    const std::uint32_t at = random.Below(length);
    const char c = right[at];
    if (random.Below(2) == 0 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
      right[at] = static_cast<char>(c ^ 0x20);
    } else if (random.Below(2) == 0) {
      right[at] = static_cast<char>(edges[random.Below(sizeof edges)]);
    }
    const bool same = _stricmp(left.c_str(), right.c_str()) == 0;
    ASSERT_EQ(ProfileSameName(left.data(), right.data(), length), same) << left << " / " << right;
    if (same) {
      ASSERT_EQ(ProfileHashName(left.data(), length), ProfileHashName(right.data(), length));
    }
    const std::string padded = left + std::string(ProfileTextPadding, '\x5A');
    ASSERT_EQ(ProfileHashTextName(padded.data(), length), ProfileHashName(left.data(), length));
  }
}

// A lookup key folded once answers as the names compare, over lengths that
// cross the folded words it keeps (and the bytes beyond them), and hashes as
// the name does; the record's name is read from a padded text.
TEST_F(ProfileIndex, FoldedKeysMatchAsTheNamesCompare) {
  static const char edges[] = {'@', 'A', 'Z', '[', '`', 'a', 'z', '{', '\xC1', '\xE1', '\x01', '0'};
  Random random(5);
  for (int round = 0; round < 20000; ++round) {
    const std::uint32_t length = random.Below(8 * ProfileKeyWords + 17);
    std::string name;
    for (std::uint32_t i = 0; i < length; ++i) {
      name += edges[random.Below(sizeof edges)];
    }
    std::string key = name;
    if (length > 0) {
      const std::uint32_t at = random.Below(length);
      const char c = key[at];
      if (random.Below(2) == 0 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
        key[at] = static_cast<char>(c ^ 0x20);
      } else if (random.Below(2) == 0) {
        key[at] = edges[random.Below(sizeof edges)];
      }
    }
    // Some keys one byte longer or shorter.
    if (random.Below(8) == 0) {
      key = length > 0 && random.Below(2) == 0 ? key.substr(0, length - 1) : key + "a";
    }
    const bool same = _stricmp(name.c_str(), key.c_str()) == 0;
    const ProfileKeyName folded = ProfileFoldKey(key.data(), key.size());
    ASSERT_EQ(folded.hash, ProfileHashName(key.data(), key.size()));
    const std::string padded = name + std::string(ProfileTextPadding, '\x5A');
    ASSERT_EQ(ProfileNameIs(padded.data(), length, folded), same) << name << " / " << key;
  }
}

TEST_F(ProfileIndex, DeletingTheFirstOfDuplicateSectionsLetsTheNextOneTakeItsPlace) {
  const std::string file =
      MakeFile("dup.ini", "[A]\nk=1\n[b]\nx=1\n[a]\nk=2\n[B]\nx=2\n[A]\nk=3\n");
  const char *path = file.c_str();
  EXPECT_EQ(Get(file, "a", "k"), "1");
  ASSERT_EQ(ProfileSetString("a", nullptr, nullptr, path), 1);
  EXPECT_EQ(Get(file, "A", "k"), "2");
  EXPECT_EQ(Get(file, "B", "x"), "1");
  ASSERT_EQ(ProfileSetString("A", "", "", path), 1);
  EXPECT_EQ(Get(file, "a", "k"), "3");
  EXPECT_EQ(SectionNames(file), "b\0B\0A\0"s);
  ASSERT_EQ(ProfileSetString("a", "", "", path), 1);
  EXPECT_EQ(Get(file, "a", "k"), "<default>");
  // The name is free again: an update adds a new section at the end.
  ASSERT_EQ(ProfileSetString("a", "k", "4", path), 1);
  EXPECT_EQ(SectionNames(file), "b\0B\0a\0"s);
  EXPECT_EQ(Get(file, "A", "k"), "4");
}

// Random deletions and additions over many sections with duplicate and
// case-variant names; after every step each name finds what the list says.
TEST_F(ProfileIndex, EveryNameFindsTheFirstOfItsNameThroughRandomUpdates) {
  static const char *const sections[] = {"alpha", "beta", "gamma", "delta", "s", "t", "long name "};
  static const char *const entries[] = {"k", "key", "value", "x", "y", "z", "name-of-some-length"};
  constexpr std::uint32_t sectionPool = 7;
  constexpr std::uint32_t entryPool = 7;
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Random random(seed);
    std::string text;
    for (int i = 0; i < 120; ++i) {
      text += "[" + PoolName(random, sections, sectionPool) + "]\n";
      for (std::uint32_t j = random.Below(6); j > 0; --j) {
        text += PoolName(random, entries, entryPool) + "=" + std::to_string(i) + "\n";
      }
    }
    const std::string file = MakeFile("random.ini", text);
    const char *path = file.c_str();
    ProfileFile *record = nullptr;
    ASSERT_EQ(ProfileOpen(path, &record), 1);
    for (int step = 0; step < 300; ++step) {
      const std::string section = PoolName(random, sections, sectionPool);
      const std::string entry = PoolName(random, entries, entryPool);
      if (random.Below(4) == 0) {
        ASSERT_EQ(ProfileSetString(section.c_str(), "", "", path), 1);
      } else {
        ASSERT_EQ(ProfileSetString(section.c_str(), entry.c_str(), "v", path), 1);
      }
      for (std::uint32_t i = 0; i < sectionPool; ++i) {
        const ProfileSection *first = FirstSectionInList(record, sections[i]);
        ASSERT_EQ(ProfileFindSection(sections[i], path), first) << sections[i];
        for (std::uint32_t j = 0; first != nullptr && j < entryPool; ++j) {
          ASSERT_EQ(Entry(file, sections[i], entries[j]), FirstEntryInList(first, entries[j]))
              << sections[i] << "/" << entries[j];
        }
      }
    }
    ProfileRelease(path);
  }
}

// Listing by index, sequential or not, with updates between the calls,
// answers what walking the lists answers.
TEST_F(ProfileIndex, ListingsByIndexStayRightWhenUpdatesComeBetweenTheCalls) {
  const std::string file = MakeFile("list.ini", "[a]\nk1=1\nk2=2\n[b]\n[c]\nk=3\n[d]\n");
  const char *path = file.c_str();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path, &record), 1);
  char name[64];
  const auto sectionAt = [&](std::uint32_t index) {
    const std::uint32_t length = ProfileGetSectionName(index, name, sizeof name, path);
    return std::string(name, length);
  };
  const auto walked = [&](std::uint32_t index) {
    const ProfileSection *s = record->firstSection;
    for (; s != nullptr && index > 0; --index) {
      s = s->next;
    }
    return s == nullptr ? std::string() : std::string(s->name);
  };
  EXPECT_EQ(sectionAt(0), "a");
  EXPECT_EQ(sectionAt(1), "b");
  ASSERT_EQ(ProfileSetString("a", "", "", path), 1); // the first one goes
  EXPECT_EQ(sectionAt(1), "c");
  EXPECT_EQ(sectionAt(2), "d");
  ASSERT_EQ(ProfileSetString("e", "k", "v", path), 1); // one comes at the end
  EXPECT_EQ(sectionAt(3), "e");
  EXPECT_EQ(sectionAt(4), "");

  ProfileSection *section = ProfileFindSection("c", path);
  ASSERT_NE(section, nullptr);
  const auto entryAt = [&](std::uint32_t index) {
    const std::uint32_t length = ProfileGetEntryName(index, name, sizeof name, section);
    return std::string(name, length);
  };
  EXPECT_EQ(entryAt(0), "k");
  ASSERT_EQ(ProfileSetString("c", "added", "v", path), 1);
  ASSERT_EQ(ProfileSetString("c", "K", "replaced", path), 1);
  EXPECT_EQ(entryAt(1), "added");
  EXPECT_EQ(entryAt(0), "k");
  EXPECT_EQ(entryAt(2), "");

  Random random(7);
  for (int step = 0; step < 400; ++step) {
    const std::string letter(1, static_cast<char>('a' + random.Below(8)));
    switch (random.Below(3)) {
    case 0:
      ASSERT_EQ(ProfileSetString(letter.c_str(), "", "", path), 1);
      break;
    case 1:
      ASSERT_EQ(ProfileSetString(letter.c_str(), "k", "v", path), 1);
      break;
    default:
      break;
    }
    const std::uint32_t index = random.Below(2) == 0 ? random.Below(10) : record->cursorIndex + 1;
    ASSERT_EQ(sectionAt(index), walked(index)) << "step " << step << ", index " << index;
  }
}

// The values read stay in the file's text, those set are allocated alone;
// releasing frees both kinds, and nothing twice (the sanitizers watch).
TEST_F(ProfileIndex, ReadAndReplacedValuesAreFreedTogether) {
  const std::string eightBit = "[s]\r\na=1\r\nb = \"two\"\r\nc=3\\\r\n d\r\n[t]\r\nx=1\r\n";
  const std::pair<std::string, std::string> files[] = {
      {"eight.ini", eightBit},
      {"wide.ini", Utf16File(u"[s]\r\na=1\r\nb = \"two\"\r\nc=3\r\n[t]\r\nx=1\r\n")}};
  for (const auto &[name, bytes] : files) {
    for (const std::uint32_t keepLayout : {0u, 1u}) {
      for (const std::uint32_t mode : {0u, 1u}) {
        SCOPED_TRACE(name + ", keep-layout " + std::to_string(keepLayout) + ", switches " +
                     std::to_string(mode));
        const std::string file = MakeFile(name, bytes);
        const char *path = file.c_str();
        ProfileRegister(path);
        ProfileSetSwitches(path, mode);
        ProfileSetKeepLayout(path, keepLayout);
        ProfileFile *record = nullptr;
        ASSERT_EQ(ProfileOpen(path, &record), 1);
        const ProfileEntry *a = Entry(file, "s", "a");
        ASSERT_NE(a, nullptr);
        EXPECT_TRUE(ProfileIsFileText(record, a->value));
        ASSERT_EQ(ProfileSetString("s", "a", "first", path), 1);
        ASSERT_EQ(ProfileSetString("s", "a", "second", path), 1); // replaced twice
        EXPECT_FALSE(ProfileIsFileText(record, a->value));
        ASSERT_EQ(ProfileSetString("s", "new", "added", path), 1);
        ASSERT_EQ(ProfileSetString("t", "x", "gone with its section", path), 1);
        ASSERT_EQ(ProfileSetString("t", "", "", path), 1);
        EXPECT_EQ(Get(file, "s", "a"), "second");
        EXPECT_EQ(Get(file, "s", "b"), mode == 0 ? "two" : "\"two\"");
        EXPECT_EQ(Get(file, "s", "new"), "added");
        ProfileRelease(path);
        // Kept in its layout, a UTF-16 file stays UTF-16.
        const std::string written = keepLayout != 0 && name == "wide.ini"
                                        ? Utf16File(u"[s]\r\na=second\r\n")
                                        : "[s]\r\na=second\r\n";
        EXPECT_EQ(ReadBytes(file).substr(0, written.size()), written);
      }
    }
  }
}

} // namespace
