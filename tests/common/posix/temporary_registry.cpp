// On Linux every test program keeps its registry in a database of its own, in
// a fresh temporary folder that is removed at the end: tests never touch the
// user's registry. Child processes that tests start inherit it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class TemporaryRegistry : public testing::Environment {
public:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "settingsstore-registry-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    setenv("SETTINGSSTORE_REGISTRY", (folder / "registry.db").c_str(), 1);
  }

  void TearDown() override {
    std::error_code error;
    std::filesystem::remove_all(folder, error);
  }

private:
  std::filesystem::path folder;
};

testing::Environment *const temporaryRegistry =
    testing::AddGlobalTestEnvironment(new TemporaryRegistry);

} // namespace
