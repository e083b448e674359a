// Reading only regular files, and replacing a file whole or not at all.
#include "platform/file_access.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

class PlatformFileAccess : public ::testing::Test {
protected:
  void SetUp() override {
    // One folder per case: natively every case runs as its own process, in parallel.
    folder = std::string("platform_file_access_") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    target = folder + "/target.ini";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    WriteFile(target, "old");
  }
  void TearDown() override { std::filesystem::remove_all(folder); }

  static void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                  std::filesystem::directory_iterator()));
  }

  std::string folder;
  std::string target;
};

TEST_F(PlatformFileAccess, OnlyRegularFilesOpenForReading) {
  std::FILE *stream = nullptr;
  ASSERT_EQ(OpenRegularFileForReading(target.c_str(), &stream), ReadOpenResult::Opened);
  char bytes[8] = {};
  EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, stream), 3u);
  EXPECT_EQ(std::string(bytes), "old");
  std::fclose(stream);
  EXPECT_EQ(OpenRegularFileForReading(folder.c_str(), &stream), ReadOpenResult::NotRegular);
  EXPECT_EQ(stream, nullptr);
  const std::string missing = folder + "/missing.ini";
  EXPECT_EQ(OpenRegularFileForReading(missing.c_str(), &stream), ReadOpenResult::Missing);
  const std::string underMissing = folder + "/missing/x.ini";
  EXPECT_EQ(OpenRegularFileForReading(underMissing.c_str(), &stream), ReadOpenResult::Missing);
}

TEST_F(PlatformFileAccess, AReplacementTakesEffectOnlyWhenCommitted) {
  // A named temporary file, so that its removal shows.
  AllowUnnamedTemporaryFiles(false);
  FileReplacement *abandoned = BeginFileReplacement(target.c_str());
  AllowUnnamedTemporaryFiles(true);
  ASSERT_NE(abandoned, nullptr);
  EXPECT_TRUE(WriteFileReplacement(abandoned, "half", 4));
  EXPECT_EQ(FileCount(), 2u);
  EXPECT_TRUE(FinishFileReplacementWrite(abandoned));
  EndFileReplacement(abandoned);
  EXPECT_EQ(ReadFile(target), "old");
  EXPECT_EQ(FileCount(), 1u);

  FileReplacement *replacement = BeginFileReplacement(target.c_str());
  ASSERT_NE(replacement, nullptr);
  EXPECT_TRUE(WriteFileReplacement(replacement, "ne", 2));
  EXPECT_TRUE(WriteFileReplacement(replacement, "w\r\n", 3));
  EXPECT_TRUE(FinishFileReplacementWrite(replacement));
  EXPECT_TRUE(CommitFileReplacement(replacement));
  EndFileReplacement(replacement);
  EXPECT_EQ(ReadFile(target), "new\r\n");
  EXPECT_EQ(FileCount(), 1u);

  const std::string fresh = folder + "/fresh.ini";
  replacement = BeginFileReplacement(fresh.c_str());
  ASSERT_NE(replacement, nullptr);
  EXPECT_TRUE(FinishFileReplacementWrite(replacement));
  EXPECT_TRUE(CommitFileReplacement(replacement));
  EndFileReplacement(replacement);
  EXPECT_TRUE(std::filesystem::exists(fresh));
  EXPECT_EQ(ReadFile(fresh), "");
}

TEST_F(PlatformFileAccess, NothingIsCreatedWhereTheFolderIsMissingOrTheTargetIsAFolder) {
  const std::string underMissing = folder + "/missing/x.ini";
  // Neither can another process mend: no further attempt is worth making.
  for (const std::string &path : {underMissing, folder}) {
    bool retryable = true;
    EXPECT_EQ(BeginFileReplacement(path.c_str(), &retryable), nullptr) << path;
    EXPECT_FALSE(retryable) << path;
  }
  EXPECT_EQ(FileCount(), 1u);
}

} // namespace
