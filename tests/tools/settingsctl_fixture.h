// The end-to-end tests run the built settingsctl as a person would, in a
// folder of their own below the build folder, with a registry key of their
// own; both are removed afterwards.
#pragma once

#include "../common/scratch_registry_key.h"
#include "run_program.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class SettingsctlTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = std::string("settingsctl_") + test->test_suite_name() + "_" + test->name();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directory(folder);
    ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS);
  }

  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }

  std::string Path(const std::string &name) const { return folder + "/" + name; }

  // The scratch key in the library's path form.
  std::string RegistryPath() const { return "CU\\" + scratch.Path(); }

  static ProgramResult Run(const std::vector<std::string> &arguments, bool unprivileged = false) {
    std::vector<std::string> command = {SETTINGSCTL_PROGRAM};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return RunProgram(command, unprivileged);
  }

  static void WriteBytes(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  static std::string ReadBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // A file shipped with the tests (tests/tools/data).
  static std::string DataFile(const std::string &name) {
    return ReadBytes(std::string(SETTINGSCTL_TEST_DATA) + "/" + name);
  }

  std::string folder;
  ScratchRegistryKey scratch;
};
