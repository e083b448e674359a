// A path far beyond what Linux accepts for a file name.
#include "../profile_fixture.h"

namespace {

class ProfileLongPath : public ProfileTest {};

// No file of that name can exist and no retry would change that: refused at
// once, nothing cached, nothing written.
TEST_F(ProfileLongPath, APathOfTenThousandCharactersIsRefusedAtOnce) {
  const std::string path = Path(std::string(10000, 'p'));
  const std::uint64_t waitsBefore = ProfileRetryWaitsTaken();
  ProfileFile *record = nullptr;
  EXPECT_EQ(ProfileOpen(path.c_str(), &record), 0);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(ProfileSetString("s", "k", "v", path.c_str()), 0);
  EXPECT_EQ(Get(path, "s", "k"), "<default>");
  EXPECT_EQ(profileCache.count, 0u);
  EXPECT_EQ(ProfileRetryWaitsTaken(), waitsBefore);
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

} // namespace
