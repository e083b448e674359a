// Host-program view of the loadable library: it loads, answers its two
// self-registration entry points with 0 and unloads, leaving nothing behind.
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <thread>

namespace {

using EntryPoint = HRESULT(STDAPICALLTYPE *)();

std::set<std::string> ListFolder(const std::filesystem::path &folder) {
  std::set<std::string> names;
  for (const auto &item : std::filesystem::recursive_directory_iterator(folder)) {
    names.insert(item.path().generic_string());
  }
  return names;
}

EntryPoint Lookup(HMODULE module, const char *name) {
  return reinterpret_cast<EntryPoint>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Runs in a folder of its own, since other tests make files in the shared one.
class LibraryLoadInEmptyFolder : public ::testing::Test {
protected:
  void SetUp() override {
    previous = std::filesystem::current_path();
    folder = previous / "library_load_folder";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    std::filesystem::current_path(folder);
  }
  void TearDown() override {
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
  }
  std::filesystem::path previous, folder;
};

TEST_F(LibraryLoadInEmptyFolder, EntryPointsAnswerZeroInAnyOrderAndLeaveNoFile) {
  const auto before = ListFolder(folder);
  ASSERT_TRUE(before.empty());

  for (int round = 0; round < 3; ++round) {
    HMODULE module = LoadLibraryA(SETTINGSSTORE_LIBRARY_PATH);
    ASSERT_NE(module, nullptr) << SETTINGSSTORE_LIBRARY_PATH;
    EntryPoint registerServer = Lookup(module, "DllRegisterServer");
    EntryPoint unregisterServer = Lookup(module, "DllUnregisterServer");
    ASSERT_NE(registerServer, nullptr);
    ASSERT_NE(unregisterServer, nullptr);
    // Register first in even rounds, unregister first in odd ones.
    EntryPoint first = (round % 2 == 0) ? registerServer : unregisterServer;
    EntryPoint second = (round % 2 == 0) ? unregisterServer : registerServer;
    for (int call = 0; call < 3; ++call) {
      EXPECT_EQ(first(), 0);
      EXPECT_EQ(second(), 0);
    }
    EXPECT_EQ(unregisterServer(), 0);
    EXPECT_EQ(unregisterServer(), 0);
    EXPECT_EQ(registerServer(), 0);
    EXPECT_TRUE(FreeLibrary(module));
  }

  EXPECT_EQ(ListFolder(folder), before);
}

TEST(LibraryLoad, ThreadsStartingAndEndingWhileLoadedAreHarmless) {
  HMODULE module = LoadLibraryA(SETTINGSSTORE_LIBRARY_PATH);
  ASSERT_NE(module, nullptr);
  EntryPoint registerServer = Lookup(module, "DllRegisterServer");
  ASSERT_NE(registerServer, nullptr);
  HRESULT fromThread = -1;
  std::thread worker([&] { fromThread = registerServer(); });
  worker.join();
  EXPECT_EQ(fromThread, 0);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(LibraryLoad, OnlyTheTwoEntryPointsAreVisible) {
  HMODULE module = LoadLibraryA(SETTINGSSTORE_LIBRARY_PATH);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "DllMain"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "ProfileOpen"), nullptr);
  EXPECT_EQ(GetProcAddress(module, "DllCanUnloadNow"), nullptr);
  EXPECT_TRUE(FreeLibrary(module));
}

} // namespace
