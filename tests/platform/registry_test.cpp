// The registry functions as the library relies on them. The same expectations
// hold for the real registry (Windows, Wine) and the SQLite registry (Linux).
#include "common/ansi_text.h"
#include "common/scratch_registry_key.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr REGSAM readWrite = KEY_READ | KEY_WRITE;
constexpr BYTE untouched = 0xEE;

class Registry : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS); }

  void TearDown() override {
    for (HKEY key : opened) {
      RegCloseKey(key);
    }
  }

  HKEY Base() const { return scratch.Handle(); }

  // Creates (or opens) path below the scratch key; closed at the end.
  HKEY Create(const char *path, REGSAM access = readWrite) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(Base(), path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS)
        << path;
    opened.push_back(key);
    return key;
  }

  LONG Open(const char *path, REGSAM access, HKEY parent = nullptr) {
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(parent ? parent : Base(), path, 0, access, &key);
    if (result == ERROR_SUCCESS) {
      opened.push_back(key);
      lastOpened = key;
    }
    return result;
  }

  HKEY lastOpened = nullptr;

private:
  ScratchRegistryKey scratch;
  std::vector<HKEY> opened;
};

LONG SetBytes(HKEY key, const char *name, DWORD type, const void *bytes, DWORD size) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(bytes), size);
}

LONG SetDword(HKEY key, const char *name, DWORD value) {
  return SetBytes(key, name, REG_DWORD, &value, sizeof value);
}

// One RegQueryValueExA into a buffer of capacity bytes (null for none), with
// guard bytes behind it to show what was written.
struct Query {
  LONG result = -1;
  DWORD type = 0;
  DWORD size = 0;
  std::vector<BYTE> bytes;

  std::string Text(std::size_t count) const {
    return std::string(bytes.begin(), bytes.begin() + count);
  }
};

Query QueryValue(HKEY key, const char *name, DWORD capacity, bool withBuffer = true) {
  Query query;
  query.bytes.assign(capacity + 4, untouched);
  query.size = capacity;
  query.result = RegQueryValueExA(key, name, nullptr, &query.type,
                                  withBuffer ? query.bytes.data() : nullptr, &query.size);
  return query;
}

std::vector<std::string> ValueNames(HKEY key) {
  std::vector<std::string> names;
  char name[64];
  DWORD size = sizeof name;
  for (DWORD index = 0;
       RegEnumValueA(key, index, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++index, size = sizeof name) {
    names.emplace_back(name, size);
  }
  return names;
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[300];
  for (DWORD index = 0; RegEnumKeyA(key, index, name, sizeof name) == ERROR_SUCCESS; ++index) {
    names.emplace_back(name);
  }
  return names;
}

TEST_F(Registry, PathsOfSeveralLevelsOpenWithoutRegardToCase) {
  HKEY deep = Create("Alpha\\Beta\\Gamma");
  ASSERT_EQ(SetDword(deep, "n", 7), ERROR_SUCCESS);
  EXPECT_EQ(Open("alpha\\BETA\\gamma", KEY_READ), ERROR_SUCCESS);
  Query query = QueryValue(lastOpened, "N", 4);
  EXPECT_EQ(query.result, ERROR_SUCCESS);
  EXPECT_EQ(query.type, REG_DWORD);
  EXPECT_EQ(query.size, 4u);
  EXPECT_EQ(query.bytes[0], 7);
  // Doubled and trailing backslashes are skipped; a leading one is refused.
  EXPECT_EQ(Open("Alpha\\\\Beta\\", KEY_READ), ERROR_SUCCESS);
  EXPECT_EQ(Open("\\Alpha", KEY_READ), ERROR_BAD_PATHNAME);
  HKEY refused = nullptr;
  EXPECT_EQ(RegCreateKeyExA(Base(), "\\Lead", 0, nullptr, 0, readWrite, nullptr, &refused, nullptr),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(Open("Lead", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open("Missing", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open("Missing\\Gamma", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open("Alpha\\Gamma", KEY_READ), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, EmptyOrNullSubkeyPathGivesANewHandleToTheParent) {
  HKEY key = Create("Self");
  ASSERT_EQ(Open("", readWrite, key), ERROR_SUCCESS);
  HKEY same = lastOpened;
  EXPECT_NE(same, key);
  ASSERT_EQ(SetDword(same, "x", 1), ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(key, "x", 4).result, ERROR_SUCCESS);
  ASSERT_EQ(Open(nullptr, KEY_READ, key), ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(lastOpened, "x", 4).result, ERROR_SUCCESS);
  EXPECT_EQ(SubkeyNames(Base()), std::vector<std::string>{"Self"});
}

TEST_F(Registry, CreateReportsNewAndExistingKeysAndKeepsTheFirstSpelling) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(Base(), "Sub", 0, nullptr, 0, readWrite, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
  ASSERT_EQ(RegCreateKeyExA(Base(), "SUB", 0, nullptr, 0, readWrite, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(SubkeyNames(Base()), std::vector<std::string>{"Sub"});
  Create(std::string(255, 'k').c_str());
  EXPECT_EQ(SubkeyNames(Base()).size(), 2u);
}

TEST_F(Registry, PredefinedRootsOpenAndNeverClose) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                    HKEY_CURRENT_CONFIG}) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(root), ERROR_SUCCESS);
  }
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE);
  // The view flags are accepted.
  EXPECT_EQ(Open("", KEY_READ | KEY_WOW64_64KEY), ERROR_SUCCESS);
  EXPECT_EQ(Open("", KEY_READ | KEY_WOW64_32KEY), ERROR_SUCCESS);
}

TEST_F(Registry, StringSizeCountsTheNulOnlyWhenStored) {
  HKEY key = Create("Strings");
  ASSERT_EQ(SetBytes(key, "terminated", REG_SZ, "abc", 4), ERROR_SUCCESS);
  // Strings given without their NUL are followed by a non-NUL byte: Windows
  // stores the byte behind the given size too when it is a NUL.
  ASSERT_EQ(SetBytes(key, "bare", REG_SZ, "abcd", 3), ERROR_SUCCESS);
  Query probe = QueryValue(key, "terminated", 0, false);
  EXPECT_EQ(probe.result, ERROR_SUCCESS);
  EXPECT_EQ(probe.type, REG_SZ);
  EXPECT_EQ(probe.size, 4u);
  probe = QueryValue(key, "bare", 0, false);
  EXPECT_EQ(probe.size, 3u);
  // With room to spare a NUL follows the bytes, but the size does not count it.
  Query roomy = QueryValue(key, "bare", 5);
  EXPECT_EQ(roomy.result, ERROR_SUCCESS);
  EXPECT_EQ(roomy.size, 3u);
  EXPECT_EQ(roomy.Text(4), std::string("abc\0", 4));
  EXPECT_EQ(roomy.bytes[4], untouched);
  Query exact = QueryValue(key, "bare", 3);
  EXPECT_EQ(exact.result, ERROR_SUCCESS);
  EXPECT_EQ(exact.Text(3), "abc");
  EXPECT_EQ(exact.bytes[3], untouched);
  Query small = QueryValue(key, "terminated", 3);
  EXPECT_EQ(small.result, ERROR_MORE_DATA);
  EXPECT_EQ(small.size, 4u);
  EXPECT_EQ(small.bytes[0], untouched);
}

TEST_F(Registry, EmptyAndExpandableStrings) {
  HKEY key = Create("Strings");
  ASSERT_EQ(SetBytes(key, "empty", REG_SZ, "", 0), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(key, "expand", REG_EXPAND_SZ, "%P%xZ", 4), ERROR_SUCCESS);
  Query empty = QueryValue(key, "empty", 1);
  EXPECT_EQ(empty.result, ERROR_SUCCESS);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.bytes[0], untouched);
  Query expand = QueryValue(key, "expand", 8);
  EXPECT_EQ(expand.type, REG_EXPAND_SZ);
  EXPECT_EQ(expand.size, 4u);
  EXPECT_EQ(expand.Text(5), std::string("%P%x\0", 5));
}

TEST_F(Registry, BinaryNumbersAndMultiStringsArriveRaw) {
  HKEY key = Create("Raw");
  const BYTE binary[3] = {'a', 'b', 'c'};
  ASSERT_EQ(SetBytes(key, "binary", REG_BINARY, binary, 3), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(key, "multi", REG_MULTI_SZ, "ab\0c\0", 6), ERROR_SUCCESS);
  const unsigned long long big = 0x0102030405060708ULL;
  ASSERT_EQ(SetBytes(key, "qword", REG_QWORD, &big, 8), ERROR_SUCCESS);
  ASSERT_EQ(SetBytes(key, "nothing", REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  Query query = QueryValue(key, "binary", 8);
  EXPECT_EQ(query.type, REG_BINARY);
  EXPECT_EQ(query.size, 3u);
  EXPECT_EQ(query.bytes[3], untouched);
  query = QueryValue(key, "multi", 8);
  EXPECT_EQ(query.type, REG_MULTI_SZ);
  EXPECT_EQ(query.size, 6u);
  EXPECT_EQ(query.Text(6), std::string("ab\0c\0\0", 6));
  query = QueryValue(key, "qword", 8);
  EXPECT_EQ(query.type, REG_QWORD);
  EXPECT_EQ(query.size, 8u);
  EXPECT_EQ(query.bytes[0], 0x08);
  EXPECT_EQ(query.bytes[7], 0x01);
  query = QueryValue(key, "nothing", 4);
  EXPECT_EQ(query.result, ERROR_SUCCESS);
  EXPECT_EQ(query.size, 0u);
}

TEST_F(Registry, QueryFailuresLeaveTheSizeAlone) {
  HKEY key = Create("Values");
  Query missing = QueryValue(key, "missing", 9);
  EXPECT_EQ(missing.result, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing.size, 9u);
  ASSERT_EQ(SetDword(key, "d", 5), ERROR_SUCCESS);
  BYTE data[4];
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "d", nullptr, &type, data, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegQueryValueExA(key, "d", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(SetBytes(key, "bad", REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  EXPECT_EQ(QueryValue(key, "bad", 4).result, ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, UnnamedValueIsReachedByNullAndEmptyNames) {
  HKEY key = Create("Unnamed");
  EXPECT_EQ(QueryValue(key, nullptr, 4).result, ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(SetBytes(key, "", REG_SZ, "u", 2), ERROR_SUCCESS);
  Query query = QueryValue(key, nullptr, 4);
  EXPECT_EQ(query.result, ERROR_SUCCESS);
  EXPECT_EQ(query.size, 2u);
  ASSERT_EQ(SetDword(key, nullptr, 9), ERROR_SUCCESS);
  query = QueryValue(key, "", 4);
  EXPECT_EQ(query.type, REG_DWORD);
  EXPECT_EQ(query.bytes[0], 9);
  ASSERT_EQ(SetDword(key, "named", 1), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"", "named"}));
  EXPECT_EQ(RegDeleteValueA(key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), std::vector<std::string>{"named"});
}

TEST_F(Registry, ValueNamesMatchWithoutRegardToCaseAndKeepTheFirstSpelling) {
  HKEY key = Create("Case");
  ASSERT_EQ(SetDword(key, "Abc", 1), ERROR_SUCCESS);
  const BYTE two[2] = {2, 0};
  ASSERT_EQ(SetBytes(key, "ABC", REG_BINARY, two, 2), ERROR_SUCCESS);
  EXPECT_EQ(ValueNames(key), std::vector<std::string>{"Abc"});
  Query query = QueryValue(key, "abc", 4);
  EXPECT_EQ(query.type, REG_BINARY);
  EXPECT_EQ(query.size, 2u);
  EXPECT_EQ(RegDeleteValueA(key, "aBC"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "aBC"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, ValuesAndSubkeysEnumerateInCaseFoldedOrder) {
  HKEY key = Create("Order");
  const std::vector<std::string> written = {"b", "_x", "A", "c", "[", "a1", "B2", "Z", "zz", "~"};
  for (const std::string &name : written) {
    ASSERT_EQ(SetDword(key, name.c_str(), 1), ERROR_SUCCESS);
    Create(("Order\\" + name).c_str());
  }
  // Letters fold to lower case, so '[' and '_' come before them.
  const std::vector<std::string> expected = {"[", "_x", "A", "a1", "b", "B2", "c", "Z", "zz", "~"};
  EXPECT_EQ(ValueNames(key), expected);
  EXPECT_EQ(SubkeyNames(key), expected);
  char name[8];
  DWORD size = sizeof name;
  EXPECT_EQ(RegEnumValueA(key, 10, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumKeyA(key, 10, name, sizeof name), ERROR_NO_MORE_ITEMS);
}

// Letters beyond ASCII fold as the registry folds their UTF-16 text; pairs
// that lie 0x20 apart without being upper and lower case stay apart.
TEST_F(Registry, NonAsciiNamesMatchTheirOtherCaseOnly) {
  const struct {
    std::u16string first, second;
    bool same;
  } pairs[] = {{u"\u00C4", u"\u00E4", true},  {u"\u00DE", u"\u00FE", true},
               {u"\u0178", u"\u00FF", true},  {u"\u0160", u"\u0161", true},
               {u"\u0152", u"\u0153", true},  {u"x\u00C9z", u"X\u00E9Z", true},
               {u"\u00D7", u"\u00F7", false}, {u"\u00DF", u"\u00FF", false},
               {u"\u00C4", u"A", false}};
  int index = 0;
  for (const auto &pair : pairs) {
    const std::string first = Ansi(pair.first);
    const std::string second = Ansi(pair.second);
    HKEY key = Create(("Pairs\\" + std::to_string(index++)).c_str());
    ASSERT_EQ(SetDword(key, first.c_str(), 1), ERROR_SUCCESS);
    EXPECT_EQ(QueryValue(key, second.c_str(), 4).result,
              pair.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND)
        << first << " " << second;
    HKEY subkey = nullptr;
    DWORD disposition = 0;
    for (const std::string &name : {first, second}) {
      ASSERT_EQ(RegCreateKeyExA(key, name.c_str(), 0, nullptr, 0, readWrite, nullptr, &subkey,
                                &disposition),
                ERROR_SUCCESS);
      RegCloseKey(subkey);
    }
    EXPECT_EQ(disposition, pair.same ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY) << first;
    EXPECT_EQ(ValueNames(key), std::vector<std::string>{first});
    EXPECT_EQ(SubkeyNames(key).size(), pair.same ? 1u : 2u) << first;
  }
}

// Names list by their lower-case UTF-16 units: Ä and ä side by side, the
// micro sign (which has no lower case of its own) at its own place, a letter
// beyond Latin-1 behind all of Latin-1.
TEST_F(Registry, NonAsciiNamesListInTheOrderOfTheirLowerCase) {
  HKEY key = Create("NonAsciiOrder");
  const std::vector<std::u16string> written = {u"\u017D", u"\u00E9", u"\u00B5",  u"\u00F7",
                                               u"\u0178", u"\u00DF", u"\u00C4b", u"\u00E4a",
                                               u"Z",      u"\u00D7", u"\u0192",  u"\u0160"};
  for (const std::u16string &name : written) {
    ASSERT_EQ(SetDword(key, Ansi(name).c_str(), 1), ERROR_SUCCESS);
    Create(("NonAsciiOrder\\" + Ansi(name)).c_str());
  }
  std::vector<std::string> expected;
  for (const char16_t *name : {u"Z", u"\u00B5", u"\u00D7", u"\u00DF", u"\u00E4a", u"\u00C4b",
                               u"\u00E9", u"\u00F7", u"\u0178", u"\u0160", u"\u017D", u"\u0192"}) {
    expected.push_back(Ansi(name));
  }
  EXPECT_EQ(ValueNames(key), expected);
  EXPECT_EQ(SubkeyNames(key), expected);
}

TEST_F(Registry, EnumeratedNamesNeedRoomForTheirNul) {
  HKEY key = Create("Names");
  ASSERT_EQ(SetDword(key, "ab", 1), ERROR_SUCCESS);
  Create("Names\\ab");
  char name[4] = {'#', '#', '#', '#'};
  DWORD size = 2;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 2u);
  size = 3;
  DWORD type = 0;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_STREQ(name, "ab");
  EXPECT_EQ(RegEnumKeyA(key, 0, name, 2), ERROR_MORE_DATA);
  EXPECT_EQ(RegEnumKeyA(key, 0, name, 3), ERROR_SUCCESS);
  EXPECT_STREQ(name, "ab");
}

TEST_F(Registry, EnumeratedValuesBringTheirData) {
  HKEY key = Create("Data");
  ASSERT_EQ(SetBytes(key, "s", REG_SZ, "xyzw", 3), ERROR_SUCCESS);
  char name[4];
  DWORD nameSize = sizeof name;
  DWORD type = 0;
  BYTE data[8];
  std::memset(data, untouched, sizeof data);
  DWORD dataSize = 2;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize),
            ERROR_MORE_DATA);
  EXPECT_EQ(dataSize, 3u);
  nameSize = sizeof name;
  dataSize = sizeof data;
  EXPECT_EQ(RegEnumValueA(key, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
  EXPECT_EQ(dataSize, 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 4), std::string("xyz\0", 4));
}

TEST_F(Registry, LongValueNamesAreListedPastTheNameBuffer) {
  HKEY key = Create("Long");
  const std::string longest(16383, 'v');
  const std::string fits(1023, 'f');
  const std::string tooLong(1024, 'g');
  ASSERT_EQ(SetDword(key, longest.c_str(), 1), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, fits.c_str(), 2), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, tooLong.c_str(), 3), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "z", 4), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(key, std::string(16384, 'w').c_str(), 5), ERROR_INVALID_PARAMETER);
  std::vector<char> name(16384);
  std::vector<LONG> results;
  std::vector<DWORD> sizes;
  for (DWORD index = 0; index < 5; ++index) {
    DWORD size = 1024;
    results.push_back(
        RegEnumValueA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr));
    sizes.push_back(size);
  }
  // A name too long for the buffer fails alone; the listing goes on behind it.
  EXPECT_EQ(results, (std::vector<LONG>{ERROR_SUCCESS, ERROR_MORE_DATA, ERROR_MORE_DATA,
                                        ERROR_SUCCESS, ERROR_NO_MORE_ITEMS}));
  EXPECT_EQ(sizes, (std::vector<DWORD>{1023, 1024, 1024, 1, 1024}));
  DWORD size = 16384;
  EXPECT_EQ(RegEnumValueA(key, 2, name.data(), &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(size, 16383u);
}

TEST_F(Registry, HandlesKeepTheirAccess) {
  Create("Guarded");
  ASSERT_EQ(Open("Guarded", KEY_READ), ERROR_SUCCESS);
  HKEY readOnly = lastOpened;
  EXPECT_EQ(SetDword(readOnly, "w", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(readOnly, "w"), ERROR_ACCESS_DENIED);
  ASSERT_EQ(Open("Guarded", KEY_WRITE), ERROR_SUCCESS);
  HKEY writeOnly = lastOpened;
  EXPECT_EQ(SetDword(writeOnly, "w", 1), ERROR_SUCCESS);
  EXPECT_EQ(QueryValue(writeOnly, "w", 4).result, ERROR_ACCESS_DENIED);
  char name[8];
  EXPECT_EQ(RegEnumKeyA(writeOnly, 0, name, sizeof name), ERROR_ACCESS_DENIED);
  EXPECT_EQ(QueryValue(readOnly, "w", 4).result, ERROR_SUCCESS);
}

TEST_F(Registry, HandlesOfADeletedKeyReportIt) {
  HKEY doomed = Create("Doomed\\Inner");
  ASSERT_EQ(RegDeleteTreeA(Base(), "doomed"), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(doomed, "w", 1), ERROR_KEY_DELETED);
  EXPECT_EQ(QueryValue(doomed, "w", 4).result, ERROR_KEY_DELETED);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(doomed, "x", 0, nullptr, 0, readWrite, nullptr, &key, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(Open("Doomed", KEY_READ), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteTreeA(Base(), "Doomed"), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, DeleteTreeWithoutSubkeyEmptiesTheKey) {
  HKEY key = Create("Full");
  Create("Full\\A\\B");
  ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteTreeA(key, nullptr), ERROR_SUCCESS);
  EXPECT_TRUE(ValueNames(key).empty());
  EXPECT_TRUE(SubkeyNames(key).empty());
  EXPECT_EQ(SetDword(key, "again", 1), ERROR_SUCCESS);
}

} // namespace
