// Registry names on Linux are UTF-8: letters fold as the registry folds the
// same text in UTF-16, unit by unit, and names list in the order of their
// folded UTF-16 units. Bytes that are not UTF-8 compare as they are.
#include "common/scratch_registry_key.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr REGSAM readWrite = KEY_READ | KEY_WRITE;

LONG SetDword(HKEY key, const std::string &name, DWORD value) {
  return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value),
                        sizeof value);
}

LONG Query(HKEY key, const std::string &name) {
  return RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
}

// Creates name below parent; the disposition, or 0 when it failed.
DWORD CreateSubkey(HKEY parent, const std::string &name) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, readWrite, nullptr, &key,
                      &disposition) != ERROR_SUCCESS) {
    return 0;
  }
  RegCloseKey(key);
  return disposition;
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

class RegistryNames : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS); }
  ScratchRegistryKey scratch;
};

// Each pair: the second name finds the first (value and subkey) or not.
TEST_F(RegistryNames, OnlyTwoWayCasePairsOfTheBmpFold) {
  const struct {
    const char *first, *second;
    bool same;
  } pairs[] = {
      {"\u0100", "\u0101", true},          // a run of pairs one apart
      {"\u012E", "\u012F", true},          // its last pair
      {"\u0130", "i", false},              // dotted I lowers to i, but i uppers to I
      {"\u0130", "I", false},              //
      {"\u0131", "I", false},              // dotless i
      {"\u212A", "k", false},              // Kelvin sign
      {"\u1E9E", "\u00DF", false},         // capital sharp s
      {"\u01C4", "\u01C6", true},          // DZ with caron and its lower case
      {"\u01C5", "\u01C6", false},         // its title case
      {"\u03A3", "\u03C3", true},          // sigma
      {"\u03C2", "\u03C3", false},         // final sigma
      {"\u13A0", "\uAB70", true},          // Cherokee: the lower case lies above
      {"\u1C90", "\u10D0", true},          // Georgian: the lower case lies below
      {"\uFF3A", "\uFF5A", true},          // the last fullwidth letter
      {"\uFF3B", "\uFF5B", false},         // brackets
      {"\U00010400", "\U00010428", false}, // beyond the BMP: not folded
      {"\xC4", "\xE4", false},             // not UTF-8: bytes as they are
      {"\xC4X", "\xC4x", true},            // ... but ASCII letters fold
      {"\xC1\x81", "a", false},            // an overlong A is no A
      {"\xED\xB3\x84", "\xC4", false},     // an encoded surrogate is three bytes
  };
  int index = 0;
  for (const auto &pair : pairs) {
    HKEY key = nullptr;
    const std::string path = "Pair" + std::to_string(index++);
    ASSERT_EQ(RegCreateKeyExA(scratch.Handle(), path.c_str(), 0, nullptr, 0, readWrite, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, pair.first, 1), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, pair.second), pair.same ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND) << path;
    EXPECT_EQ(CreateSubkey(key, pair.first), REG_CREATED_NEW_KEY);
    EXPECT_EQ(CreateSubkey(key, pair.second),
              pair.same ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY)
        << path;
    RegCloseKey(key);
  }
}

// UTF-16 order: a character beyond the BMP (a surrogate pair) before U+E000,
// as the registry lists them; bytes that are not UTF-8 between the two.
TEST_F(RegistryNames, NamesListInTheOrderOfTheirFoldedUtf16Units) {
  for (const char *name : {"\uFF21", "\uE000", "\xFF", "\U00010400", "z", "\u00E9"}) {
    ASSERT_EQ(SetDword(scratch.Handle(), name, 1), ERROR_SUCCESS);
  }
  EXPECT_EQ(ValueNames(scratch.Handle()),
            (std::vector<std::string>{"z", "\u00E9", "\U00010400", "\xFF", "\uE000", "\uFF21"}));
}

} // namespace
