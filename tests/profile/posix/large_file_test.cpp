// Loading a large file: the peak resident memory it takes, measured in a
// process of its own (profile_load_memory), stays within four times the
// file's size, in the standard reading and under keep-layout.
//
// SETTINGSSTORE_LARGE_FILE_MB sets the file's size (16 MB by default; the
// figure reported for the library comes from a file of 200 MB).
#include "../profile_fixture.h"

#include <cstdlib>

namespace {

class ProfileLargeFile : public ProfileTest {
protected:
  // Writes a file of at least size bytes, in sections of 1000 entries;
  // the number of sections.
  static std::uint32_t WriteLargeFile(const std::string &path, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::size_t written = 0;
    std::uint32_t sections = 0;
    while (written < size) {
      std::string block = "[section " + std::to_string(sections++) + "]\r\n";
      for (int entry = 0; entry < 1000; ++entry) {
        block += "entry" + std::to_string(entry) + " = value of entry " + std::to_string(entry) +
                 " in a large file, padded to a line of some length\r\n";
      }
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      written += block.size();
    }
    EXPECT_TRUE(out.good());
    return sections;
  }
};

TEST_F(ProfileLargeFile, LoadingPeaksWithinFourTimesTheFileSize) {
  const char *wanted = std::getenv("SETTINGSSTORE_LARGE_FILE_MB");
  const std::size_t megabytes = wanted != nullptr && std::atoi(wanted) > 0 ? std::atoi(wanted) : 16;
  const std::string path = Path("large.ini");
  const std::uint32_t sections = WriteLargeFile(path, megabytes << 20);
  const auto size = static_cast<long>(std::filesystem::file_size(path));
  for (const int keepLayout : {0, 1}) {
    const std::string command =
        std::string(LOAD_MEMORY_PROGRAM) + " " + path + " " + std::to_string(keepLayout);
    std::FILE *child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    long before = 0;
    long after = 0;
    std::uint32_t read = 0;
    const int fields = std::fscanf(child, "%ld %ld %u", &before, &after, &read);
    EXPECT_EQ(pclose(child), 0);
    ASSERT_EQ(fields, 3) << "keep-layout " << keepLayout;
    EXPECT_EQ(read, sections);
    const long grown = (after - before) * 1024;
    EXPECT_GT(grown, size / 2) << "the measure missed the file's own bytes";
    EXPECT_LE(grown, 4 * size) << "keep-layout " << keepLayout;
    RecordProperty(keepLayout != 0 ? "keepLayoutPeakKilobytes" : "peakKilobytes",
                   static_cast<int>(after - before));
    std::printf("%s: a file of %ld bytes (%u sections) took a peak of %ld kB more, %.2f times "
                "its size\n",
                keepLayout != 0 ? "keep-layout" : "standard", size, sections, after - before,
                static_cast<double>(grown) / static_cast<double>(size));
  }
  std::filesystem::remove(path);
}

} // namespace
