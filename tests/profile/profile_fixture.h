// Shared pieces of the engine's tests: every test works in a folder of its
// own and leaves nothing behind, neither files nor cached records.
#pragma once

#include "profile/profile_internal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// Text as UTF-16 little-endian units, without a mark.
inline std::string Utf16Units(const std::u16string &text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class ProfileTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::string("profile_") + test->test_suite_name() + "_" + test->name();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(profileCache.count, 0u) << "a record was left cached by an earlier test";
  }

  void TearDown() override {
    while (profileCache.first != nullptr) {
      ProfileRelease(profileCache.first->path);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  std::string Path(const std::string &name) const { return folder + "/" + name; }

  // A file with the given bytes; its path.
  std::string MakeFile(const std::string &name, const std::string &bytes) const {
    const std::string path = Path(name);
    WriteBytes(path, bytes);
    return path;
  }

  static void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  // Read in blocks: byte by byte takes long for files of megabytes in debug builds.
  static std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes;
    char block[65536];
    while (in.read(block, sizeof block) || in.gcount() > 0) {
      bytes.append(block, static_cast<std::size_t>(in.gcount()));
    }
    return bytes;
  }

  // The names in the test's folder, sorted.
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto &item : std::filesystem::directory_iterator(folder)) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  // The bytes of a UTF-16 little-endian file with its FF FE mark.
  static std::string Utf16File(const std::u16string &text) { return "\xFF\xFE" + Utf16Units(text); }

  // A value the way the settings key asks for it: length first, then text.
  static std::string Get(const std::string &path, const char *section, const char *entry,
                         const char *defaultText = "<default>") {
    const std::uint32_t length =
        ProfileGetString(section, entry, defaultText, nullptr, 0, path.c_str());
    std::string text(length + 1, '\x7F');
    const std::uint32_t stored =
        ProfileGetString(section, entry, defaultText, text.data(), length + 1, path.c_str());
    EXPECT_EQ(stored, length);
    EXPECT_EQ(text[stored], '\0');
    return text.substr(0, stored);
  }

  // The record of a cached path's entry, or null.
  static const ProfileEntry *Entry(const std::string &path, const char *section,
                                   const char *entry) {
    return ProfileFindEntry(ProfileFindSection(section, path.c_str()), entry);
  }

  // All section names of a file, each followed by its zero byte.
  static std::string SectionNames(const std::string &path) {
    char buffer[4096];
    const std::uint32_t length =
        ProfileGetString(nullptr, nullptr, "", buffer, sizeof buffer, path.c_str());
    return std::string(buffer, length);
  }

  // The entry names of a section, each followed by its zero byte.
  static std::string EntryNames(const std::string &path, const char *section) {
    char buffer[4096];
    const std::uint32_t length =
        ProfileGetString(section, nullptr, "", buffer, sizeof buffer, path.c_str());
    return std::string(buffer, length);
  }

  // The bytes a record read under keep-layout keeps, with what the zero
  // bytes ending its names and values took the place of put back, as the
  // writer puts it back: the file's bytes as read.
  static std::string KeptBytes(ProfileFile *file) {
    ProfileRestoreFileBytes(file);
    std::string bytes(file->bytes, file->byteCount);
    ProfileTerminateFileText(file);
    return bytes;
  }

  // Reads path anew at its next use, with both switches set to mode.
  static void OpenInMode(const std::string &path, std::uint32_t mode) {
    ProfileRelease(path.c_str());
    ProfileRegister(path.c_str());
    ProfileSetSwitches(path.c_str(), mode);
  }

  std::string folder;
};
