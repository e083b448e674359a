// A path far beyond what Linux accepts for a file name.
#include "../profile_fixture.h"

namespace {

class ProfileLongPath : public ProfileTest {};

// The path is kept and compared whole; no file of that name can exist, so
// it reads as empty, without a wait.
TEST_F(ProfileLongPath, APathOfTenThousandCharactersIsLookedUpWholeAndReadsAsEmpty) {
  const std::string path = Path(std::string(10000, 'p'));
  const std::string sibling = Path(std::string(9999, 'p') + "q");
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  EXPECT_EQ(record->sectionCount, 0u);
  EXPECT_EQ(std::string(record->path), path);
  ProfileFile *other = nullptr;
  ASSERT_EQ(ProfileOpen(sibling.c_str(), &other), 1);
  EXPECT_NE(other, record);
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  EXPECT_EQ(profileCache.count, 2u);
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  ProfileRelease(path.c_str());
  ProfileRelease(sibling.c_str());
  EXPECT_EQ(profileCache.count, 0u);
}

} // namespace
