// RegistryKey over the registry: paths and handles, the conversions between
// registry data and text, the unnamed value and the listings. The same file
// runs over the real registry (Windows) and the SQLite registry (Linux).
#include "common/ansi_text.h"
#include "common/scratch_registry_key.h"
#include "common/vtable_slot.h"
#include "settings/registry_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Shows the handles and names a key holds.
class InspectedKey : public RegistryKey {
public:
  using RegistryKey::RegistryKey;
  HKEY Root() const { return rootKey; }
  HKEY Base() const { return baseKey; }
  HKEY Section() const { return sectionKey; }
  const ByteString &CurrentSection() const { return section; }
  const ByteString &Path() const { return path; }
};

// Takes count by reference: it is read after the listing call has set it.
std::vector<std::string> Names(const ByteString *names, const std::uint32_t &count) {
  std::vector<std::string> list(names, names + count);
  delete[] names;
  return list;
}

LONG SetValue(HKEY key, const char *name, DWORD type, const void *data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size);
}

// A string with its NUL, as other programs store them.
LONG SetText(HKEY key, const char *name, const char *text, DWORD type = REG_SZ) {
  return SetValue(key, name, type, text, static_cast<DWORD>(std::strlen(text) + 1));
}

LONG SetDwordValue(HKEY key, const char *name, DWORD value) {
  return SetValue(key, name, REG_DWORD, &value, sizeof value);
}

class RegistryKeyTest : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS); }

  void TearDown() override {
    for (HKEY key : opened) {
      RegCloseKey(key);
    }
  }

  // The registry path of the scratch key, or of a key below it.
  ByteString KeyPath(const std::string &below = "") const {
    return ByteString("CU\\" + scratch.Path() + (below.empty() ? "" : "\\" + below));
  }

  // The subkey below the scratch key, made when missing.
  HKEY Subkey(const char *name) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(scratch.Handle(), name, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    opened.push_back(key);
    return key;
  }

  bool SubkeyExists(const char *name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(scratch.Handle(), name, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  ScratchRegistryKey scratch;

private:
  std::vector<HKEY> opened;
};

// RegistryKey overrides seven of the ten operations in their places; the
// destructor follows SetMode (two entries), then GetValue and SetDword.
TEST(RegistryKeyShape, OperationsKeepTheirSlotsAndTheTwoOwnOnesFollowTheDestructor) {
  EXPECT_EQ(VtableSlot(&RegistryKey::GetNumber), 0u);
  EXPECT_EQ(VtableSlot(&RegistryKey::GetHexNumber), 1u);
  EXPECT_EQ(VtableSlot(&RegistryKey::GetString), 2u);
  EXPECT_EQ(VtableSlot(&RegistryKey::EnumerateSections), 7u);
  EXPECT_EQ(VtableSlot(&RegistryKey::SetMode), 9u);
  EXPECT_EQ(VtableSlot(&RegistryKey::GetValue), 12u);
  EXPECT_EQ(VtableSlot(&RegistryKey::SetDword), 13u);
}

TEST(RegistryPath, MakeRegistryPathNamesTheFourRootsAndNoOther) {
  EXPECT_EQ(MakeRegistryPath(HKEY_CLASSES_ROOT, nullptr), "CR\\");
  EXPECT_EQ(MakeRegistryPath(HKEY_CURRENT_USER, "Software\\Suite"), "CU\\Software\\Suite");
  EXPECT_EQ(MakeRegistryPath(HKEY_LOCAL_MACHINE, ""), "LM\\");
  EXPECT_EQ(MakeRegistryPath(HKEY_USERS, nullptr), "US\\");
  EXPECT_EQ(MakeRegistryPath(HKEY_CURRENT_CONFIG, nullptr), "BAD\\");
  EXPECT_EQ(MakeRegistryPath(HKEY_CURRENT_CONFIG, "Software"), "BAD\\Software");
  EXPECT_EQ(MakeRegistryPath(nullptr, nullptr), "BAD\\");
}

TEST_F(RegistryKeyTest, RootNamesMatchInAnyCaseWithOrWithoutBackslash) {
  ScratchRegistryKey machine(HKEY_LOCAL_MACHINE);
  ASSERT_EQ(machine.CreateResult(), ERROR_SUCCESS);
  HKEY main = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(machine.Handle(), "Main", 0, nullptr, 0, KEY_WRITE, nullptr, &main, nullptr),
      ERROR_SUCCESS);
  ASSERT_EQ(SetDwordValue(main, "n", 7), ERROR_SUCCESS);
  RegCloseKey(main);
  for (const char *root : {"LM\\", "lm\\", "Lm\\", "lM\\", "LM"}) {
    // Without a backslash the path goes on right after the two letters.
    InspectedKey key(ByteString(root + machine.Path()), 0, 0);
    EXPECT_EQ(key.Root(), HKEY_LOCAL_MACHINE) << root;
    EXPECT_EQ(key.GetNumber("n", "Main", 1), 7u) << root;
  }
  // LM alone (or with its backslash) is HKEY_LOCAL_MACHINE itself.
  for (const char *path : {"LM", "LM\\"}) {
    InspectedKey key(path, 0, 0);
    EXPECT_NE(key.Base(), nullptr);
    std::uint32_t count = 0;
    const std::vector<std::string> sections = Names(key.EnumerateSections(count), count);
    EXPECT_NE(std::find(sections.begin(), sections.end(), "Software"), sections.end());
  }
}

TEST_F(RegistryKeyTest, PathsWithoutARootReadDefaultsAndWriteNothing) {
  Subkey("Main");
  for (const ByteString &path :
       {ByteString(""), ByteString("C"), ByteString("BA"), ByteString("BAD\\" + scratch.Path()),
        MakeRegistryPath(HKEY_CURRENT_CONFIG, scratch.Path().c_str())}) {
    InspectedKey key(path, 0, 0);
    EXPECT_EQ(key.Root(), nullptr);
    EXPECT_EQ(key.Base(), nullptr);
    EXPECT_TRUE(key.Path().empty());
    ByteString out = "old";
    EXPECT_EQ(key.GetNumber("n", "Main", 9), 9u);
    EXPECT_EQ(key.GetString(out, "fallback", "n", "Main"), 8);
    EXPECT_EQ(out, "fallback");
    EXPECT_EQ(key.SetString("v", "n", "Main"), 0);
    EXPECT_EQ(key.SetNumber(1, "n", "Main"), 0);
    EXPECT_EQ(key.SetDword(1, "n", "Main"), 0);
    EXPECT_EQ(key.CreateKeys(), 0);
    std::uint32_t count = 7;
    EXPECT_EQ(key.EnumerateSections(count), nullptr);
    EXPECT_EQ(count, 0u);
  }
}

// Open takes a new path for baseKey only: a section opened under the old
// path stays open until a section is named again. A path without a root
// forgets the root and nothing else.
TEST_F(RegistryKeyTest, OpenReplacesTheBaseKeyAndLeavesTheSectionKeyAlone) {
  ASSERT_EQ(SetDwordValue(Subkey("First\\Main"), "n", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDwordValue(Subkey("Second\\Main"), "n", 2), ERROR_SUCCESS);
  Subkey("Second\\Extra");
  InspectedKey key(KeyPath("First"), 0, 0);
  EXPECT_EQ(key.GetNumber("n", "Main", 0), 1u);
  const HKEY section = key.Section();
  ASSERT_NE(section, nullptr);

  key.Open(KeyPath("Second"));
  EXPECT_EQ(key.Root(), HKEY_CURRENT_USER);
  EXPECT_EQ(key.Path(), KeyPath("Second"));
  EXPECT_EQ(key.Section(), section);
  EXPECT_EQ(key.CurrentSection(), "Main");
  EXPECT_EQ(key.GetNumber("", "", 0), 1u);
  std::uint32_t count = 0;
  EXPECT_EQ(Names(key.EnumerateSections(count), count),
            (std::vector<std::string>{"Extra", "Main"}));
  EXPECT_EQ(key.GetNumber("", "Main", 0), 2u);

  const HKEY base = key.Base();
  ASSERT_NE(base, nullptr);
  key.Open("X");
  EXPECT_EQ(key.Root(), nullptr);
  EXPECT_EQ(key.Path(), KeyPath("Second"));
  EXPECT_EQ(key.Base(), base);
  EXPECT_EQ(key.GetNumber("", "Main", 0), 2u);
}

// The key's path is what follows the two letters, without one backslash;
// a second backslash stays and names no key.
TEST_F(RegistryKeyTest, CreateKeysTakesThePathBehindTheRootName) {
  RegistryKey joined(ByteString("CU" + scratch.Path() + "\\Joined"), 0, 0);
  EXPECT_EQ(joined.SetDword(1, "v", "Main"), 5);
  EXPECT_TRUE(SubkeyExists("Joined\\Main"));
  RegistryKey separated(KeyPath("Separated"), 0, 0);
  EXPECT_EQ(separated.SetDword(1, "v", "Main"), 5);
  EXPECT_TRUE(SubkeyExists("Separated\\Main"));
  RegistryKey doubled(ByteString("CU\\\\" + scratch.Path() + "\\Doubled"), 0, 0);
  EXPECT_EQ(doubled.SetDword(1, "v", "Main"), 0);
  EXPECT_FALSE(SubkeyExists("Doubled"));
}

TEST_F(RegistryKeyTest, WritesAnswerTheBytesWrittenPlusOne) {
  RegistryKey key(KeyPath(), 0, 0);
  EXPECT_EQ(key.SetString("abc", "text", "Main"), 4);
  EXPECT_EQ(key.SetString("", "empty", ""), 1);
  EXPECT_EQ(key.SetDword(7, "dword", ""), 5);
  EXPECT_EQ(key.SetNumber(0xFFFFFFFFu, "number", ""), 3);
  HKEY main = Subkey("Main");
  DWORD type = 0;
  DWORD size = 99;
  EXPECT_EQ(RegQueryValueExA(main, "empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(RegQueryValueExA(main, "dword", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegQueryValueExA(main, "number", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);

  ByteString out = "old";
  EXPECT_EQ(key.GetString(out, "fallback", "text", ""), 3);
  EXPECT_EQ(out, "abc");
  EXPECT_EQ(key.GetString(out, "fallback", "empty", ""), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(key.GetString(out, "", "number", ""), 2);
  EXPECT_EQ(out, "-1");
  EXPECT_EQ(key.GetNumber("dword", "", 0), 7u);
  EXPECT_EQ(key.GetNumber("number", "", 0), 0xFFFFFFFFu);
}

TEST_F(RegistryKeyTest, GetNumberReadsStoredTextAsHexadecimal) {
  HKEY main = Subkey("Main");
  const std::vector<std::pair<const char *, std::uint32_t>> texts = {{"10", 16u},
                                                                     {"0x1F", 31u},
                                                                     {"zz", 0u},
                                                                     {"  -1", 0xFFFFFFFF},
                                                                     {"+7fz", 0x7Fu},
                                                                     {"80000000", 0x7FFFFFFFu},
                                                                     {"-80000001", 0x80000000u},
                                                                     {"-80000000", 0x80000000u}};
  for (const auto &[text, number] : texts) {
    ASSERT_EQ(SetText(main, text, text), ERROR_SUCCESS);
  }
  ASSERT_EQ(SetValue(main, "no bytes", REG_SZ, "", 0), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(main, "after nul", REG_SZ, "1f\0ff", 6), ERROR_SUCCESS);
  ASSERT_EQ(SetText(main, "expand", "10", REG_EXPAND_SZ), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(main, "binary", REG_BINARY, "\x01\x02", 2), ERROR_SUCCESS);
  ASSERT_EQ(SetDwordValue(main, "dword", 0xCAFE), ERROR_SUCCESS);

  RegistryKey key(KeyPath(), 0, 0);
  for (const auto &[text, number] : texts) {
    EXPECT_EQ(key.GetNumber(text, "Main", 5), number) << text;
  }
  EXPECT_EQ(key.GetNumber("no bytes", "", 5), 0u);
  EXPECT_EQ(key.GetNumber("after nul", "", 5), 0x1Fu);
  EXPECT_EQ(key.GetNumber("expand", "", 5), 5u);
  EXPECT_EQ(key.GetNumber("binary", "", 5), 5u);
  EXPECT_EQ(key.GetNumber("dword", "", 5), 0xCAFEu);
  EXPECT_EQ(key.GetNumber("missing", "", 5), 5u);
  EXPECT_EQ(key.GetNumber("dword", "Missing", 5), 5u);
}

TEST_F(RegistryKeyTest, GetStringGivesTextDecimalNumbersOrTheDefault) {
  HKEY main = Subkey("Main");
  ASSERT_EQ(SetDwordValue(main, "largest", 0xFFFFFFFF), ERROR_SUCCESS);
  ASSERT_EQ(SetText(main, "expand", "%PATH%\\bin", REG_EXPAND_SZ), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(main, "two", REG_SZ, "ab\0cd", 6), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(main, "binary", REG_BINARY, "xy", 2), ERROR_SUCCESS);
  RegistryKey key(KeyPath(), 0, 0);
  ByteString out = "previous text";
  EXPECT_EQ(key.GetString(out, "", "largest", "Main"), 10);
  EXPECT_EQ(out, "4294967295");
  EXPECT_EQ(key.GetString(out, "", "expand", ""), 10);
  EXPECT_EQ(out, "%PATH%\\bin");
  EXPECT_EQ(key.GetString(out, "", "two", ""), 2);
  EXPECT_EQ(out, "ab");
  EXPECT_EQ(key.GetString(out, "fallback", "binary", ""), 8);
  EXPECT_EQ(out, "fallback");
  const ByteString longDefault(std::string(600, 'd'));
  EXPECT_EQ(key.GetString(out, longDefault, "missing", ""), 600);
  EXPECT_EQ(out, longDefault);
}

TEST_F(RegistryKeyTest, GetValueGivesTextForNumbersAndRawBytesForTheRest) {
  HKEY main = Subkey("Main");
  const unsigned long long largest = 18446744073709551615ULL;
  ASSERT_EQ(SetValue(main, "qword", REG_QWORD, &largest, 8), ERROR_SUCCESS);
  ASSERT_EQ(SetDwordValue(main, "dword", 4000000000u), ERROR_SUCCESS);
  ASSERT_EQ(SetText(main, "text", "words"), ERROR_SUCCESS);
  RegistryKey key(KeyPath(), 0, 0);
  ByteString text = "kept";
  unsigned char *data = nullptr;
  std::uint32_t size = 0;
  EXPECT_EQ(key.GetValue(text, &data, &size, "qword", "Main"), 20);
  EXPECT_EQ(text, "18446744073709551615");
  EXPECT_EQ(key.GetValue(text, &data, &size, "dword", ""), 10);
  EXPECT_EQ(text, "4000000000");
  EXPECT_EQ(key.GetValue(text, nullptr, nullptr, "text", ""), 5);
  EXPECT_EQ(text, "words");
  EXPECT_EQ(data, nullptr);
  text = "kept";
  EXPECT_EQ(key.GetValue(text, &data, &size, "missing", ""), 4);
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(data, nullptr);
}

TEST_F(RegistryKeyTest, GetValueHandsBinaryAndMultiStringDataOver) {
  HKEY main = Subkey("Main");
  unsigned char bytes[16];
  for (int i = 0; i < 16; ++i) {
    bytes[i] = static_cast<unsigned char>(0xF0 + i);
  }
  ASSERT_EQ(SetValue(main, "binary", REG_BINARY, bytes, 16), ERROR_SUCCESS);
  ASSERT_EQ(SetValue(main, "multi", REG_MULTI_SZ, "a\0bc\0", 6), ERROR_SUCCESS);
  RegistryKey key(KeyPath(), 0, 0);
  ByteString text = "kept";
  unsigned char *data = nullptr;
  std::uint32_t size = 0;
  EXPECT_EQ(key.GetValue(text, &data, &size, "binary", "Main"), 17);
  EXPECT_EQ(size, 16u);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::memcmp(data, bytes, 16), 0);
  EXPECT_EQ(text, "kept");
  delete[] data;

  data = nullptr;
  EXPECT_EQ(key.GetValue(text, &data, &size, "multi", ""), 7);
  EXPECT_EQ(size, 6u);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 6), std::string("a\0bc\0\0", 6));
  delete[] data;

  // Only the size: it is the buffer that would be made.
  EXPECT_EQ(key.GetValue(text, nullptr, &size, "binary", ""), 17);
  EXPECT_EQ(size, 17u);
  // Only the data pointer: the buffer is still filled.
  data = nullptr;
  EXPECT_EQ(key.GetValue(text, &data, nullptr, "binary", ""), 17);
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(std::memcmp(data, bytes, 16), 0);
  EXPECT_EQ(data[16], 0);
  delete[] data;
  EXPECT_EQ(key.GetValue(text, nullptr, nullptr, "binary", ""), 17);
  EXPECT_EQ(text, "kept");
}

TEST_F(RegistryKeyTest, DefaultNamesTheUnnamedValueForStringsOnly) {
  RegistryKey key(KeyPath(), 0, 0);
  EXPECT_EQ(key.SetString("unnamed", "(Default)", "Main"), 8);
  HKEY main = Subkey("Main");
  char text[16] = {};
  DWORD size = sizeof text;
  ASSERT_EQ(
      RegQueryValueExA(main, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(text), &size),
      ERROR_SUCCESS);
  EXPECT_STREQ(text, "unnamed");
  ByteString out;
  EXPECT_EQ(key.GetString(out, "", "(Default)", ""), 7);
  EXPECT_EQ(out, "unnamed");
  ASSERT_EQ(SetDwordValue(main, nullptr, 12), ERROR_SUCCESS);
  EXPECT_EQ(key.GetString(out, "", "(Default)", ""), 2);
  EXPECT_EQ(out, "12");
  EXPECT_EQ(key.GetValue(out, nullptr, nullptr, "(Default)", ""), 2);

  // The number writes and GetNumber take "(Default)" as a name like any other.
  EXPECT_EQ(key.SetNumber(0x15, "(Default)", ""), 3);
  EXPECT_EQ(key.GetNumber("(Default)", "", 0), 0x21u);
  EXPECT_EQ(key.SetDword(6, "(Default)", "Other"), 5);
  EXPECT_EQ(key.GetNumber("(Default)", "Other", 0), 6u);
  std::uint32_t count = 0;
  EXPECT_EQ(Names(key.EnumerateValueNames(count, "Main"), count),
            (std::vector<std::string>{"", "(Default)"}));
  // Only the exact spelling names the unnamed value.
  EXPECT_EQ(key.SetString("lower", "(default)", ""), 6);
  EXPECT_EQ(key.GetString(out, "", "(Default)", ""), 2);
}

TEST_F(RegistryKeyTest, NamesStayCurrentUntilReplaced) {
  ASSERT_EQ(SetDwordValue(Subkey("Main"), "Count", 12), ERROR_SUCCESS);
  ASSERT_EQ(SetDwordValue(Subkey("Other"), "Count", 13), ERROR_SUCCESS);
  RegistryKey key(KeyPath(), 0, 0);
  EXPECT_EQ(key.GetNumber("", "", 5), 5u);
  EXPECT_EQ(key.GetNumber("Count", "Main", 0), 12u);
  EXPECT_EQ(key.GetNumber("", "", 0), 12u);
  EXPECT_EQ(key.GetNumber("", "Other", 0), 13u);
  // A failed read keeps the names too.
  EXPECT_EQ(key.GetNumber("Missing", "Gone", 4), 4u);
  EXPECT_EQ(key.GetNumber("Count", "", 4), 4u);
  EXPECT_EQ(key.GetNumber("", "Main", 4), 12u);
}

TEST_F(RegistryKeyTest, ReadOnlyKeyRefusesWritesAndKeepsItsSection) {
  ASSERT_EQ(SetText(Subkey("Main"), "v", "main text"), ERROR_SUCCESS);
  InspectedKey key(KeyPath(), 1, 0);
  ByteString out;
  EXPECT_EQ(key.GetString(out, "", "v", "Main"), 9);
  EXPECT_EQ(key.SetString("x", "w", "Other"), 0);
  EXPECT_EQ(key.SetNumber(1, "w", "Other"), 0);
  EXPECT_EQ(key.SetDword(1, "w", "Other"), 0);
  EXPECT_EQ(key.CurrentSection(), "Main");
  EXPECT_EQ(key.GetString(out, "fallback", "", ""), 9);
  EXPECT_EQ(out, "main text");
  EXPECT_FALSE(SubkeyExists("Other"));
  // Its handles are opened for reading only, and it creates nothing.
  EXPECT_EQ(SetDwordValue(key.Base(), "w", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetDwordValue(key.Section(), "w", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(key.GetNumber("v", "Missing", 3), 3u);
  EXPECT_EQ(key.CreateKeys(), 0);
  EXPECT_FALSE(SubkeyExists("Missing"));

  InspectedKey writable(KeyPath(), 0, 0);
  EXPECT_EQ(writable.GetNumber("v", "Main", 0), 0u);
  EXPECT_EQ(SetDwordValue(writable.Section(), "w", 1), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, AccessFlagsTakeEffectAtTheNextOpen) {
  Subkey("Main");
  InspectedKey key("", 1, 0);
  EXPECT_EQ(key.Root(), nullptr);
  EXPECT_EQ(key.SetAccessFlags(KEY_WOW64_64KEY), static_cast<std::uint32_t>(KEY_WOW64_64KEY));
  key.Open(KeyPath());
  EXPECT_EQ(key.Path(), KeyPath());
  EXPECT_NE(key.Base(), nullptr);
  EXPECT_EQ(key.GetNumber("v", "Main", 2), 2u);
  ASSERT_NE(key.Section(), nullptr);
  // Flags are ORed into the mask: here they add a right the key lacked.
  key.SetAccessFlags(KEY_SET_VALUE);
  EXPECT_EQ(SetDwordValue(key.Section(), "w", 1), ERROR_ACCESS_DENIED);
  key.OpenSection("Main");
  EXPECT_EQ(SetDwordValue(key.Section(), "w", 1), ERROR_SUCCESS);
}

TEST_F(RegistryKeyTest, GetValueNamesFillsTheBufferAsFarAsNamesFitWhole) {
  HKEY main = Subkey("Main");
  ASSERT_EQ(SetDwordValue(main, "a", 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDwordValue(main, "bc", 2), ERROR_SUCCESS);
  RegistryKey key(KeyPath(), 0, 0);
  struct Case {
    std::uint32_t size;
    std::uint32_t result;
    std::string bytes;
  };
  const std::vector<Case> cases = {{10, 5, std::string("a\0bc\0\0\0\0\0\0", 10)},
                                   {5, 4, std::string("a\0bc\0", 5)},
                                   {4, 3, std::string("a\0b\0", 4)},
                                   {2, 1, std::string("a\0", 2)},
                                   {0, 0, ""}};
  for (const Case &c : cases) {
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(key.GetValueNames(buffer, c.size, "Main"), c.result) << c.size;
    EXPECT_EQ(std::string(buffer, c.size), c.bytes) << c.size;
    EXPECT_EQ(buffer[c.size], '#') << c.size;
  }
  char buffer[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(key.GetValueNames(buffer, 4, "Missing"), 0u);
  EXPECT_EQ(std::string(buffer, 4), std::string(4, '\0'));
  EXPECT_EQ(key.GetValueNames(nullptr, 10, "Main"), 0u);
  // A size above 2147483647 counts as negative: nothing is written.
  EXPECT_EQ(key.GetValueNames(buffer, 0x80000000u, "Main"), 0u);
}

TEST_F(RegistryKeyTest, NamesLongerThan1023CharactersDoNotEndTheListings) {
  HKEY main = Subkey("Main");
  const std::string longName(2000, 'b');
  for (const std::string &name : {std::string("a"), longName, std::string("c")}) {
    ASSERT_EQ(SetDwordValue(main, name.c_str(), 1), ERROR_SUCCESS);
  }
  RegistryKey key(KeyPath(), 0, 0);
  std::uint32_t count = 0;
  const std::vector<std::string> expected = {"a", longName, "c"};
  EXPECT_TRUE(Names(key.EnumerateValueNames(count, "Main"), count) == expected);
  std::vector<char> buffer(2100);
  EXPECT_EQ(key.GetValueNames(buffer.data(), 2100, ""), 2u + 2001u + 2u);
  EXPECT_EQ(std::string(buffer.data() + 2003), "c");
}

TEST_F(RegistryKeyTest, EmptyAndMissingSectionsListNothing) {
  Subkey("Empty");
  RegistryKey key(KeyPath(), 0, 0);
  std::uint32_t count = 9;
  EXPECT_EQ(key.EnumerateValueNames(count, "Empty"), nullptr);
  EXPECT_EQ(count, 0u);
  count = 9;
  EXPECT_EQ(key.EnumerateValueNames(count, "Missing"), nullptr);
  EXPECT_EQ(count, 0u);
  count = 9;
  RegistryKey nowhere(KeyPath("Nowhere"), 0, 0);
  EXPECT_EQ(nowhere.EnumerateSections(count), nullptr);
  EXPECT_EQ(count, 0u);
}

TEST_F(RegistryKeyTest, EnumerateSectionsListsTheKeysSubkeysWhateverTheSection) {
  Subkey("Beta\\Inner");
  Subkey("alpha");
  RegistryKey key(KeyPath(), 0, 0);
  EXPECT_EQ(key.GetNumber("v", "Beta", 0), 0u);
  std::uint32_t count = 0;
  EXPECT_EQ(Names(key.EnumerateSections(count), count),
            (std::vector<std::string>{"alpha", "Beta"}));
  EXPECT_EQ(count, 2u);
}

// Value and section names beyond ASCII match their other case, as the
// registry compares them: one value, one section.
TEST_F(RegistryKeyTest, NamesBeyondAsciiMatchTheirOtherCase) {
  const std::string upper = Ansi(u"\u00C4");
  const std::string lower = Ansi(u"\u00E4");
  RegistryKey key(KeyPath(), 0, 0);
  ASSERT_EQ(key.SetString("v", upper, "S"), 2);
  ByteString out;
  EXPECT_EQ(key.GetString(out, "dflt", lower, "S"), 1);
  EXPECT_EQ(out, "v");
  EXPECT_EQ(key.SetString("1", "n", upper), 2);
  EXPECT_EQ(key.SetString("2", "n", lower), 2);
  std::uint32_t count = 0;
  EXPECT_EQ(Names(key.EnumerateSections(count), count), (std::vector<std::string>{"S", upper}));
  EXPECT_EQ(key.GetString(out, "dflt", "n", upper), 1);
  EXPECT_EQ(out, "2");
  EXPECT_EQ(Names(key.EnumerateValueNames(count, lower), count), std::vector<std::string>{"n"});
}

TEST_F(RegistryKeyTest, CreateKeysMakesTheKeyAndTheSectionOnce) {
  InspectedKey key(KeyPath("New\\Deeper"), 0, 0);
  EXPECT_EQ(key.Base(), nullptr);
  EXPECT_EQ(key.GetNumber("v", "Section", 3), 3u);
  EXPECT_EQ(key.Section(), nullptr);
  EXPECT_EQ(key.CreateKeys(), 1);
  const HKEY base = key.Base();
  const HKEY section = key.Section();
  EXPECT_NE(base, nullptr);
  EXPECT_NE(section, nullptr);
  EXPECT_TRUE(SubkeyExists("New\\Deeper\\Section"));
  EXPECT_EQ(key.CreateKeys(), 1);
  EXPECT_EQ(key.Base(), base);
  EXPECT_EQ(key.Section(), section);
  EXPECT_EQ(key.SetDword(8, "", ""), 5);
  RegistryKey reader(KeyPath("New\\Deeper"), 1, 0);
  EXPECT_EQ(reader.GetNumber("v", "Section", 0), 8u);
}

TEST_F(RegistryKeyTest, ASectionWithALeadingBackslashIsWrittenAndReadBack) {
  RegistryKey writer(KeyPath(), 0, 0);
  EXPECT_EQ(writer.SetString("value", "v", "\\Sub"), 6);
  EXPECT_TRUE(SubkeyExists("Sub"));
  RegistryKey reader(KeyPath(), 1, 0);
  ByteString out;
  EXPECT_EQ(reader.GetString(out, "fallback", "v", "\\Sub"), 5);
  EXPECT_EQ(out, "value");
  std::uint32_t count = 0;
  EXPECT_EQ(Names(reader.EnumerateValueNames(count, "\\Sub"), count),
            std::vector<std::string>{"v"});
  // Only one backslash is dropped.
  EXPECT_EQ(writer.SetString("value", "v", "\\\\Sub"), 0);
}

} // namespace
