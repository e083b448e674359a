// ProfileKey over real files: the keep-current rule, the conversions, the
// listings and the write-back when the last word on a file is spoken.
#include "common/vtable_slot.h"
#include "profile/profile.h"
#include "settings/profile_key.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

class ProfileKeyTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / (std::string("settingsstore-key-") + info->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
    file = (folder / "app.ini").string();
  }
  void TearDown() override { fs::remove_all(folder); }

  void WriteFile(const std::string &bytes) const {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string ReadFile() const {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path folder;
  std::string file;
};

TEST(ProfileKeyShape, DestructorIsVirtualSoDerivedKeysCanBeDeletedThroughTheBase) {
  EXPECT_TRUE(std::has_virtual_destructor_v<ProfileKey>);
}

// The ten operations come first, in their fixed order; the destructor follows
// SetMode, so that RegistryKey's own operations come after it.
TEST(ProfileKeyShape, OperationsTakeTheFirstTenSlotsInOrder) {
  EXPECT_EQ(VtableSlot(&ProfileKey::GetNumber), 0u);
  EXPECT_EQ(VtableSlot(&ProfileKey::GetHexNumber), 1u);
  EXPECT_EQ(VtableSlot(&ProfileKey::GetString), 2u);
  EXPECT_EQ(VtableSlot(&ProfileKey::SetNumber), 3u);
  EXPECT_EQ(VtableSlot(&ProfileKey::SetString), 4u);
  EXPECT_EQ(VtableSlot(&ProfileKey::GetValueNames), 5u);
  EXPECT_EQ(VtableSlot(&ProfileKey::EnumerateValueNames), 6u);
  EXPECT_EQ(VtableSlot(&ProfileKey::EnumerateSections), 7u);
  EXPECT_EQ(VtableSlot(&ProfileKey::GetMode), 8u);
  EXPECT_EQ(VtableSlot(&ProfileKey::SetMode), 9u);
}

TEST_F(ProfileKeyTest, NewKeyHasModeZeroAndNoLocation) {
  WriteFile("[Main]\r\nCount=12\r\n");
  ProfileKey key(file.c_str());
  EXPECT_EQ(key.GetMode(), 0u);
  EXPECT_EQ(key.GetNumber("", "", 77), 77u);
  EXPECT_EQ(key.GetNumber("Count", "", 77), 77u); // still no section
}

TEST_F(ProfileKeyTest, LocationIsKeptFromCallToCall) {
  WriteFile("[Main]\r\nCount=12\r\nOther=5\r\n[Next]\r\nCount=3\r\n");
  ProfileKey key(file.c_str());
  EXPECT_EQ(key.GetNumber("Count", "Main", 0), 12u);
  EXPECT_EQ(key.GetNumber("", "", 0), 12u);
  EXPECT_EQ(key.GetNumber("Other", "", 0), 5u);
  EXPECT_EQ(key.GetNumber("", "Next", 99), 99u); // Other is not in Next
  EXPECT_EQ(key.GetNumber("Count", "", 0), 3u);
}

TEST_F(ProfileKeyTest, NumberTextsConvertLikeStrtoul) {
  WriteFile("[N]\r\na=abc\r\nb=-1\r\nc=+7\r\nd=12xyz\r\ne=0x1F\r\nf=1f\r\ng=\r\n");
  ProfileKey key(file.c_str());
  EXPECT_EQ(key.GetNumber("a", "N", 5), 0u);
  EXPECT_EQ(key.GetNumber("b", "", 5), 4294967295u);
  EXPECT_EQ(key.GetNumber("c", "", 5), 7u);
  EXPECT_EQ(key.GetNumber("d", "", 5), 12u);
  EXPECT_EQ(key.GetNumber("missing", "", 5), 5u);
  EXPECT_EQ(key.GetNumber("g", "", 5), 0u);
  EXPECT_EQ(key.GetHexNumber("e", "", 5), 31u);
  EXPECT_EQ(key.GetHexNumber("f", "", 5), 31u);
  EXPECT_EQ(key.GetHexNumber("f", "Missing", 5), 5u);
}

TEST_F(ProfileKeyTest, LargestNumberIsWrittenAsMinusOneAndReadBack) {
  {
    ProfileKey key(file.c_str());
    EXPECT_EQ(key.SetNumber(4294967295u, "Big", "Numbers"), 1);
    EXPECT_EQ(key.SetNumber(2147483648u, "Half", ""), 1);
    EXPECT_EQ(key.GetNumber("Big", "", 0), 4294967295u);
    EXPECT_EQ(key.GetNumber("Half", "", 0), 2147483648u);
  }
  EXPECT_EQ(ReadFile(), "[Numbers]\r\nBig=-1\r\nHalf=-2147483648\r\n\r\n");
  ProfileKey again(file.c_str());
  EXPECT_EQ(again.GetNumber("Big", "Numbers", 0), 4294967295u);
}

TEST_F(ProfileKeyTest, EmptyValueNameRemovesTheWholeSection) {
  WriteFile("[Keep]\r\na=1\r\n[Drop]\r\nb=2\r\nc=3\r\n");
  {
    ProfileKey key(file.c_str());
    EXPECT_EQ(key.SetString("ignored", "", "Drop"), 1);
    ByteString out;
    EXPECT_EQ(key.GetString(out, "gone", "b", ""), 4);
    EXPECT_EQ(out, "gone");
  }
  EXPECT_EQ(ReadFile(), "[Keep]\r\na=1\r\n\r\n");
}

TEST_F(ProfileKeyTest, MissingValueDeliversTheWholeDefault) {
  WriteFile("[S]\r\nx=1\r\n");
  ProfileKey key(file.c_str());
  const std::string longDefault(700, 'd');
  ByteString out("previous contents");
  EXPECT_EQ(key.GetString(out, longDefault.c_str(), "missing", "S"), 700);
  EXPECT_EQ(out, longDefault);
  EXPECT_EQ(key.GetString(out, "dflt", "x", ""), 1);
  EXPECT_EQ(out, "1");
}

TEST_F(ProfileKeyTest, ModeOneDeliversQuotedValuesInQuotes) {
  WriteFile("[S]\r\nq='quoted text'\r\np=plain\r\n");
  ProfileKey key(file.c_str());
  ByteString out;
  EXPECT_EQ(key.GetString(out, "", "q", "S"), 11);
  EXPECT_EQ(out, "quoted text");
  key.SetMode(1);
  EXPECT_EQ(key.GetMode(), 1u);
  EXPECT_EQ(key.GetString(out, "", "q", ""), 13);
  EXPECT_EQ(out, "\"quoted text\"");
  EXPECT_EQ(key.GetString(out, "", "p", ""), 5);
  EXPECT_EQ(out, "plain");
  key.SetMode(0);
  EXPECT_EQ(key.GetString(out, "", "q", ""), 11);
  EXPECT_EQ(out, "quoted text");
}

TEST_F(ProfileKeyTest, SetModeWritesPendingChangesBackFirst) {
  ProfileKey key(file.c_str());
  EXPECT_EQ(key.SetString("v", "a", "S"), 1);
  key.SetMode(1);
  EXPECT_EQ(ReadFile(), "[S]\r\na=v\r\n\r\n");
}

TEST_F(ProfileKeyTest, NoSectionYetListsInsteadOfDeliveringTheDefault) {
  WriteFile("[S]\r\nx=1\r\n");
  ProfileKey key(file.c_str());
  ByteString out("before");
  EXPECT_EQ(key.GetString(out, "default", "x", ""), 0);
  EXPECT_EQ(out, "");
  ProfileKey noPath("");
  EXPECT_EQ(noPath.GetString(out, "default", "x", "S"), 7);
  EXPECT_EQ(out, "default");
}

TEST_F(ProfileKeyTest, EmptyValueIsStoredWithNothingBehindTheEqualsSign) {
  {
    ProfileKey key(file.c_str());
    EXPECT_EQ(key.SetString("", "empty", "S"), 1);
    ByteString out;
    EXPECT_EQ(key.GetString(out, "default", "", ""), 0);
    EXPECT_EQ(out, "");
  }
  EXPECT_EQ(ReadFile(), "[S]\r\nempty=\r\n\r\n");
}

TEST_F(ProfileKeyTest, ValueNameListIsCutInsideTheBufferAndNeverBeyond) {
  WriteFile("[S]\r\na=1\r\nbc=2\r\n");
  ProfileKey key(file.c_str());
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(key.GetValueNames(buffer, 10, "S"), 5u);
  EXPECT_EQ(std::string(buffer, 11), std::string("a\0bc\0\0\0\0\0\0#", 11));
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(key.GetValueNames(buffer, 4, ""), 2u);
  EXPECT_EQ(std::string(buffer, 5), std::string("a\0b\0#", 5));
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(key.GetValueNames(buffer, 0, ""), 0u);
  EXPECT_EQ(buffer[0], '#');
}

TEST_F(ProfileKeyTest, ValueNameListOfTheFileListsSectionsWhileNoSectionIsSet) {
  WriteFile("[One]\r\na=1\r\n[Two]\r\n");
  ProfileKey key(file.c_str());
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(key.GetValueNames(buffer, sizeof buffer, ""), 8u);
  EXPECT_EQ(std::string(buffer, 10), std::string("One\0Two\0\0\0", 10));
  EXPECT_EQ(key.GetValueNames(buffer, sizeof buffer, "Missing"), 0u);
  EXPECT_EQ(buffer[0], '\0');
}

TEST_F(ProfileKeyTest, EnumerationsListNamesInFileOrder) {
  WriteFile("[First]\r\nalpha=1\r\nBeta=2\r\ngamma3=3\r\n[Second]\r\n[Third]\r\nz=1\r\n");
  ProfileKey key(file.c_str());
  std::uint32_t count = 99;
  std::unique_ptr<ByteString[]> names(key.EnumerateValueNames(count, "First"));
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(names[0], "alpha");
  EXPECT_EQ(names[1], "Beta");
  EXPECT_EQ(names[2], "gamma3");
  names.reset(key.EnumerateValueNames(count, "")); // the current section
  EXPECT_EQ(count, 3u);
  names.reset(key.EnumerateValueNames(count, "Second"));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(names, nullptr);
  names.reset(key.EnumerateSections(count));
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(names[0], "First");
  EXPECT_EQ(names[1], "Second");
  EXPECT_EQ(names[2], "Third");
}

TEST_F(ProfileKeyTest, EnumerationsOfAMissingFileAreEmpty) {
  ProfileKey key((folder / "absent.ini").string().c_str());
  std::uint32_t count = 99;
  EXPECT_EQ(key.EnumerateSections(count), nullptr);
  EXPECT_EQ(count, 0u);
  count = 99;
  EXPECT_EQ(key.EnumerateValueNames(count, "S"), nullptr);
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(fs::exists(folder / "absent.ini"));
}

TEST_F(ProfileKeyTest, KeysOnOnePathShareTheCachedFile) {
  WriteFile("[S]\r\nv=disk\r\n");
  auto first = std::make_unique<ProfileKey>(file.c_str());
  ProfileKey second(file.c_str());
  ByteString out;
  EXPECT_EQ(first->SetString("memory", "v", "S"), 1);
  EXPECT_EQ(second.GetString(out, "", "v", "S"), 6);
  EXPECT_EQ(out, "memory");
  first.reset(); // writes the file and drops it from the cache
  EXPECT_EQ(ReadFile(), "[S]\r\nv=memory\r\n\r\n");
  WriteFile("[S]\r\nv=changed on disk\r\n");
  EXPECT_EQ(second.GetString(out, "", "", ""), 15);
  EXPECT_EQ(out, "changed on disk");
}

TEST_F(ProfileKeyTest, ValuesThatWouldBreakTheFileAreRefused) {
  WriteFile("[S]\r\nv=1\r\n");
  {
    ProfileKey key(file.c_str());
    EXPECT_EQ(key.SetString("two\nlines", "v", "S"), 0);
    EXPECT_EQ(key.SetString("x", "bad\rname", ""), 0);
    EXPECT_EQ(key.SetString("x", "w", "new\nsection"), 0);
    ByteString out;
    EXPECT_EQ(key.GetString(out, "", "v", "S"), 1);
    EXPECT_EQ(out, "1");
  }
  EXPECT_EQ(ReadFile(), "[S]\r\nv=1\r\n"); // never rewritten: nothing changed
}

TEST_F(ProfileKeyTest, EmptyPathReadsDefaultsAndRefusesWrites) {
  ProfileKey key("");
  EXPECT_EQ(key.GetNumber("a", "S", 42), 42u);
  EXPECT_EQ(key.SetString("v", "a", "S"), 0);
  EXPECT_EQ(key.SetNumber(1, "a", "S"), 0);
  std::uint32_t count = 7;
  EXPECT_EQ(key.EnumerateSections(count), nullptr);
  EXPECT_EQ(count, 0u);
}

// SetKeepLayout and SetMode each read the file anew with both of the key's
// choices, whichever comes first; a key starts with keep-layout off.
TEST_F(ProfileKeyTest, KeepLayoutAndModeComposeInEitherOrder) {
  WriteFile("[S]\r\nv=1\r\n");
  const auto record = [this] {
    ProfileFile *found = nullptr;
    EXPECT_EQ(ProfileOpen(file.c_str(), &found), 1);
    return found;
  };
  for (const bool keepFirst : {true, false}) {
    ProfileKey key(file.c_str());
    EXPECT_EQ(key.GetKeepLayout(), 0u);
    if (keepFirst) {
      key.SetKeepLayout(1);
      key.SetMode(1);
    } else {
      key.SetMode(1);
      key.SetKeepLayout(1);
    }
    EXPECT_EQ(key.GetKeepLayout(), 1u);
    EXPECT_EQ(record()->keepLayout, 1);
    EXPECT_EQ(record()->continuation, 1);
    key.SetMode(0);
    EXPECT_EQ(record()->keepLayout, 1);
    EXPECT_EQ(record()->continuation, 0);
    key.SetKeepLayout(0);
    EXPECT_EQ(record()->keepLayout, 0);
    EXPECT_EQ(key.GetKeepLayout(), 0u);
  }
  // A record loaded afresh for any other reason has it off.
  ProfileKey plain(file.c_str());
  EXPECT_EQ(record()->keepLayout, 0);
}

// Through the key, keep-layout write-back under either order of the two
// choices: the file is read with continuation, and only the changed entry's
// two lines become one; with the mode set back to 0 the layout is still kept.
TEST_F(ProfileKeyTest, KeepLayoutWithModeWritesOnlyTheChangedLines) {
  const std::string original = "; kept by hand\n[S]\npath = C:\\dir\\\n    sub\n\n; end\n";
  for (const bool keepFirst : {true, false}) {
    WriteFile(original);
    {
      ProfileKey key(file.c_str());
      if (keepFirst) {
        key.SetKeepLayout(1);
        key.SetMode(1);
      } else {
        key.SetMode(1);
        key.SetKeepLayout(1);
      }
      ByteString out;
      EXPECT_EQ(key.GetString(out, "", "path", "S"), 13);
      EXPECT_EQ(out, "C:\\dir    sub");
      EXPECT_EQ(key.SetString("D:\\", "path", "S"), 1);
    }
    EXPECT_EQ(ReadFile(), "; kept by hand\n[S]\npath = D:\\ \n\n; end\n");
    {
      ProfileKey key(file.c_str());
      key.SetKeepLayout(1);
      key.SetMode(1);
      key.SetMode(0);
      EXPECT_EQ(key.SetString("1", "n", "S"), 1);
    }
    EXPECT_EQ(ReadFile(), "; kept by hand\n[S]\npath = D:\\ \nn=1\n\n; end\n");
  }
}

TEST_F(ProfileKeyTest, FlushWritesTheChangeBeforeTheKeyIsDestroyed) {
  WriteFile("[S]\r\nv=1\r\n");
  ProfileKey key(file.c_str());
  EXPECT_EQ(key.Flush(), 1); // nothing to write
  EXPECT_EQ(key.SetString("2", "v", "S"), 1);
  EXPECT_EQ(key.Flush(), 1);
  EXPECT_EQ(ReadFile(), "[S]\r\nv=2\r\n\r\n");
}

} // namespace

namespace {

// What a caller sizing the text exactly gets from the engine: the length,
// then the text fetched into a buffer of that length and its terminator.
std::pair<std::string, std::uint32_t> SizedFetch(const std::string &section,
                                                 const std::string &name,
                                                 const std::string &defaultText,
                                                 const std::string &path) {
  const std::uint32_t length = ProfileGetString(section.c_str(), name.c_str(), defaultText.c_str(),
                                                nullptr, 0, path.c_str());
  std::string text(length + 1, '\0');
  const std::uint32_t delivered = ProfileGetString(
      section.c_str(), name.c_str(), defaultText.c_str(), text.data(), length + 1, path.c_str());
  text.resize(std::strlen(text.c_str()));
  return {text, delivered};
}

} // namespace

// Values, quoted or not, and defaults of every length around the sizes where
// the key's own buffer ends answer as the sized fetch does, in both modes.
TEST_F(ProfileKeyTest, GetStringAnswersAsTheSizedFetchAtEveryLength) {
  std::vector<std::size_t> lengths = {0, 1, 2, 15, 16, 17, 1000, 1500};
  for (std::size_t length = 250; length < 262; ++length) {
    lengths.push_back(length);
  }
  for (std::size_t length = 504; length < 520; ++length) {
    lengths.push_back(length);
  }
  std::string text = "[s]\r\n";
  for (std::size_t i = 0; i < lengths.size(); ++i) {
    const std::string value(lengths[i], static_cast<char>('a' + i % 26));
    text += "plain" + std::to_string(i) + "=" + value + "\r\n";
    text += "quoted" + std::to_string(i) + "=\"" + value + "\"\r\n";
  }
  WriteFile(text);
  for (std::uint32_t mode = 0; mode < 2; ++mode) {
    ProfileKey key{ByteString(file)};
    key.SetMode(mode);
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      const std::string defaultText(lengths[i], 'd');
      for (const std::string name : {"plain", "quoted", "missing"}) {
        for (const std::string section : {"s", "absent"}) {
          const std::string entry = name + std::to_string(i);
          const auto expected = SizedFetch(section, entry, defaultText, file);
          ByteString out("stale");
          const std::int32_t delivered =
              key.GetString(out, ByteString(defaultText), ByteString(entry), ByteString(section));
          ASSERT_EQ(out, expected.first) << mode << " " << section << " " << entry;
          ASSERT_EQ(static_cast<std::uint32_t>(delivered), expected.second);
        }
      }
    }
  }
}
