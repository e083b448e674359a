// Nothing is torn down at unload: a profile file changed inside the library
// and still in its cache when the library is unloaded stays as it was on
// disk. The change is made through the test copy of the library, which has
// entry points for it; the shipped library has none.
#include "platform/platform.h"
#include "profile/profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

using SetProfileString = ProfileFile *(STDAPICALLTYPE *)(const char *, const char *, const char *,
                                                         const char *);
using ReleaseProfile = void(STDAPICALLTYPE *)(const char *);

template <typename Function> Function Lookup(HMODULE module, const char *name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

std::string ReadFile(const std::filesystem::path &file) {
  std::ifstream stream(file, std::ios::binary);
  std::ostringstream contents;
  contents << stream.rdbuf();
  return contents.str();
}

// The unloaded library leaves the record of the unwritten file allocated;
// held here, leak checkers see where it went.
const ProfileFile *recordLeftInTheCache = nullptr;

class LibraryUnload : public ::testing::Test {
protected:
  void SetUp() override {
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    for (const char *name : {"kept.ini", "released.ini"}) {
      std::ofstream(folder / name, std::ios::binary) << original;
    }
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  const std::filesystem::path folder = "library_unload_folder";
  const std::string original = "[s]\r\nk=old\r\n";
};

TEST_F(LibraryUnload, AChangedFileStillCachedAtUnloadIsNotWritten) {
  const std::string kept = (folder / "kept.ini").string();
  const std::string released = (folder / "released.ini").string();
  HMODULE module = LoadLibraryA(SETTINGSSTORE_TEST_LIBRARY_PATH);
  ASSERT_NE(module, nullptr) << SETTINGSSTORE_TEST_LIBRARY_PATH;
  auto setString = Lookup<SetProfileString>(module, "SettingsstoreTestSetProfileString");
  auto release = Lookup<ReleaseProfile>(module, "SettingsstoreTestReleaseProfile");
  ASSERT_NE(setString, nullptr);
  ASSERT_NE(release, nullptr);
  // The same change, released, reaches its file.
  ASSERT_NE(setString(released.c_str(), "s", "k", "new"), nullptr);
  release(released.c_str());
  recordLeftInTheCache = setString(kept.c_str(), "s", "k", "new");
  ASSERT_NE(recordLeftInTheCache, nullptr);
  EXPECT_EQ(recordLeftInTheCache->dirty, 1);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA(SETTINGSSTORE_TEST_LIBRARY_PATH), nullptr) << "still loaded";
  EXPECT_EQ(ReadFile(released), "[s]\r\nk=new\r\n\r\n");
  EXPECT_EQ(ReadFile(kept), original);
  std::set<std::string> names;
  for (const auto &item : std::filesystem::directory_iterator(folder)) {
    names.insert(item.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"kept.ini", "released.ini"}));
}

} // namespace
