// One row of the registry's key-name and key-path limits: a key made and
// opened below parent by path, the deepest name listed whole, and the tree
// removed again.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

struct KeyPathRow {
  const char *what;
  std::string path;
  LONG answer; // of both the create and the open
};

// A key path of exactly length characters, of names of at most 200.
inline std::string KeyPathOfLength(std::size_t length) {
  std::string path;
  while (path.size() + 201 < length) {
    path += std::string(200, static_cast<char>('a' + path.size() / 201 % 26)) + "\\";
  }
  path += std::string(length - path.size(), 'z');
  return path;
}

inline void CheckKeyPathRow(HKEY parent, const KeyPathRow &row) {
  SCOPED_TRACE(row.what);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(parent, row.path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &key, nullptr),
            row.answer);
  HKEY opened = nullptr;
  EXPECT_EQ(RegOpenKeyExA(parent, row.path.c_str(), 0, KEY_READ, &opened), row.answer);
  if (row.answer == ERROR_SUCCESS) {
    RegCloseKey(key);
    RegCloseKey(opened);
    const std::size_t cut = row.path.rfind('\\');
    const std::string above = cut == std::string::npos ? "" : row.path.substr(0, cut);
    HKEY holder = nullptr;
    ASSERT_EQ(RegOpenKeyExA(parent, above.c_str(), 0, KEY_READ, &holder), ERROR_SUCCESS);
    char name[300] = {};
    EXPECT_EQ(RegEnumKeyA(holder, 0, name, sizeof name), ERROR_SUCCESS);
    EXPECT_EQ(name, cut == std::string::npos ? row.path : row.path.substr(cut + 1));
    RegCloseKey(holder);
    const std::string top = row.path.substr(0, row.path.find('\\'));
    EXPECT_EQ(RegDeleteTreeA(parent, top.c_str()), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(parent, top.c_str(), 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  }
}
