// Every step of loading and of writing back a profile file fails in turn.
// Each time the failure must show in the answer and nothing stored may be
// lost: the file on disk stays as it was, no temporary file is left, and the
// next attempt succeeds.
#include "../profile/profile_fixture.h"
#include "fault_walk.h"
#include "platform/file_access.h"

#include <algorithm>
#include <random>
#include <vector>

// How many folder syncs one write-back makes on this build (tests/faults/<platform>/).
std::uint64_t FolderSyncsPerWriteBack();

namespace {

constexpr char ChangedSection[] = "section7";
constexpr char ChangedEntry[] = "entry3";
constexpr char ChangedValue[] = "changed";

// About 220 KB in the form the writer gives, with one value as generated or
// changed; several of the writer's blocks, several of the reader's chunks.
std::string GeneratedProfile(bool changed) {
  std::mt19937 random(1301);
  std::string text;
  for (int s = 0; s < 40; ++s) {
    const std::string section = "section" + std::to_string(s);
    text += "[" + section + "]\r\n";
    for (int e = 0; e < 80; ++e) {
      const std::string entry = "entry" + std::to_string(e);
      const std::size_t length = 20 + random() % 80;
      const char letter = static_cast<char>('a' + random() % 26);
      const bool isChanged = changed && section == ChangedSection && entry == ChangedEntry;
      text += entry + "=" + (isChanged ? std::string(ChangedValue) : std::string(length, letter));
      text += "\r\n";
    }
    text += "\r\n";
  }
  return text;
}

const std::vector<FaultError> NonRetryableErrors = {FaultError::DeviceError, FaultError::DiskFull};

class FaultWalk : public ProfileTest {
protected:
  void SetUp() override {
    ProfileTest::SetUp();
    DisarmFaults();
    path = Path("walk.ini");
    oldBytes = GeneratedProfile(false);
    newBytes = GeneratedProfile(true);
  }

  void TearDown() override {
    DisarmFaults();
    ProfileTest::TearDown();
  }

  // The old file on disk, its record cached and changed in memory.
  void PrepareChange() {
    ProfileRelease(path.c_str());
    WriteBytes(path, oldBytes);
    ASSERT_EQ(ProfileSetString(ChangedSection, ChangedEntry, ChangedValue, path.c_str()), 1);
  }

  std::int32_t FlushQuietly(std::string *printed = nullptr) {
    ::testing::internal::CaptureStdout();
    const std::int32_t flushed = ProfileFlush(path.c_str());
    const std::string output = ::testing::internal::GetCapturedStdout();
    if (printed != nullptr) {
      *printed = output;
    }
    return flushed;
  }

  bool RecordIsDirty() {
    ProfileFile *record = nullptr;
    return ProfileOpen(path.c_str(), &record) == 1 && record->dirty == 1;
  }

  void ExpectOnlyTheTarget() { EXPECT_EQ(FolderNames(), std::vector<std::string>{"walk.ini"}); }

  // The write-back's call of kind number n fails with error.
  void FailOneStep(FaultKind kind, std::uint64_t n, FaultError error) {
    SCOPED_TRACE(std::string(FaultKindName(kind)) + " #" + std::to_string(n) + ", " +
                 FaultErrorName(error));
    PrepareChange();
    const std::uint64_t waits = ProfileRetryWaitsTaken();
    ArmFault(kind, n, error);
    std::string printed;
    const std::int32_t flushed = FlushQuietly(&printed);
    EXPECT_EQ(FaultsStruck(), 1u);
    DisarmFaults();
    EXPECT_EQ(flushed, 0);
    // The one message: the file could not be opened, or not put in its place.
    const bool placing =
        kind == FaultKind::Open || kind == FaultKind::Replace || kind == FaultKind::FolderSync;
    EXPECT_EQ(printed, placing ? "COULDN'T OPEN FILE\n" : "");
    EXPECT_EQ(ProfileRetryWaitsTaken(), waits) << "no wait for what no other process can end";
    // Once renamed, the new file cannot be taken back: it is whole, but the
    // failure still shows, and the record stays changed to be written again.
    const std::string &expected = kind == FaultKind::FolderSync ? newBytes : oldBytes;
    EXPECT_TRUE(ReadBytes(path) == expected) << "the file on disk is neither whole nor the old one";
    ExpectOnlyTheTarget();
    EXPECT_TRUE(RecordIsDirty());
    EXPECT_EQ(Get(path, ChangedSection, ChangedEntry), ChangedValue);

    EXPECT_EQ(FlushQuietly(), 1);
    EXPECT_FALSE(RecordIsDirty());
    EXPECT_TRUE(ReadBytes(path) == newBytes) << "the next write-back did not write the change";
    ExpectOnlyTheTarget();
  }

  std::string path;
  std::string oldBytes;
  std::string newBytes;
};

TEST_F(FaultWalk, EveryStepOfAWriteBackFailsInTurnAndLosesNothing) {
  PrepareChange();
  DisarmFaults();
  ASSERT_EQ(ProfileFlush(path.c_str()), 1);
  const FaultCensus census = FaultCensus::Take();
  ASSERT_TRUE(ReadBytes(path) == newBytes);

  // Every step of a write-back, and nothing else.
  EXPECT_EQ(census[FaultKind::Open], 1u) << "creating the temporary file";
  EXPECT_EQ(census[FaultKind::Allocation], 1u) << "the writer's buffer";
  EXPECT_GE(census[FaultKind::Write], 3u) << "a file of several blocks";
  EXPECT_EQ(census[FaultKind::Flush], 1u);
  EXPECT_EQ(census[FaultKind::Close], 1u);
  EXPECT_EQ(census[FaultKind::Replace], 1u);
  EXPECT_EQ(census[FaultKind::FolderSync], FolderSyncsPerWriteBack());
  EXPECT_EQ(census[FaultKind::Read], 0u);
  EXPECT_EQ(census[FaultKind::SqliteStep], 0u);

  std::uint64_t steps = 0;
  std::uint64_t failures = 0;
  for (std::size_t i = 0; i < FaultKindCount; ++i) {
    for (std::uint64_t n = 1; n <= census[FaultKindAt(i)]; ++n) {
      for (FaultError error : NonRetryableErrors) {
        FailOneStep(FaultKindAt(i), n, error);
        ++failures;
      }
      ++steps;
    }
  }
  EXPECT_EQ(steps, census.Total());
  EXPECT_EQ(failures, 2 * steps);
  EXPECT_GE(steps, 8u);
  ReportWalk("write-back", steps, census);
}

TEST_F(FaultWalk, AFullDiskWhileWritingLeavesTheOldFileAndAnswersFailure) {
  PrepareChange();
  ProfileFile *record = nullptr;
  ASSERT_EQ(ProfileOpen(path.c_str(), &record), 1);
  const std::uint64_t waits = ProfileRetryWaitsTaken();
  ArmFault(FaultKind::Write, 2, FaultError::DiskFull);
  EXPECT_EQ(ProfileWrite(record, path.c_str()), 0);
  EXPECT_EQ(FaultsStruck(), 1u);
  DisarmFaults();
  EXPECT_EQ(ProfileRetryWaitsTaken(), waits);
  EXPECT_TRUE(ReadBytes(path) == oldBytes);
  ExpectOnlyTheTarget();
  // Space found again, leaving the cache writes the change.
  ProfileRelease(path.c_str());
  EXPECT_TRUE(ReadBytes(path) == newBytes);
  ExpectOnlyTheTarget();
}

TEST_F(FaultWalk, AFailureAnotherProcessCanEndIsWaitedForThenTheWriteBackSucceeds) {
  const struct {
    FaultKind kind;
    std::uint64_t failures;
  } cases[] = {{FaultKind::Open, 1}, {FaultKind::Replace, 2}};
  for (const auto &retried : cases) {
    SCOPED_TRACE(FaultKindName(retried.kind));
    PrepareChange();
    const std::uint64_t waits = ProfileRetryWaitsTaken();
    ArmFault(retried.kind, 1, FaultError::Busy, retried.failures);
    EXPECT_EQ(FlushQuietly(), 1);
    EXPECT_EQ(FaultsStruck(), retried.failures);
    DisarmFaults();
    EXPECT_EQ(ProfileRetryWaitsTaken() - waits, retried.failures);
    EXPECT_TRUE(ReadBytes(path) == newBytes);
    ExpectOnlyTheTarget();
  }
}

TEST_F(FaultWalk, AFailureOutlastingEveryAttemptAnswersFailureAfterTenWaits) {
  PrepareChange();
  const std::uint64_t waits = ProfileRetryWaitsTaken();
  ArmFault(FaultKind::Open, 1, FaultError::Busy, 1000);
  EXPECT_EQ(FlushQuietly(), 0);
  EXPECT_EQ(FaultsStruck(), 10u);
  DisarmFaults();
  EXPECT_EQ(ProfileRetryWaitsTaken() - waits, 10u);
  EXPECT_TRUE(ReadBytes(path) == oldBytes);
  ExpectOnlyTheTarget();
  EXPECT_EQ(FlushQuietly(), 1);
  EXPECT_TRUE(ReadBytes(path) == newBytes);
}

// Without room to note where the values end, a keep-layout write-back finds
// the ends again as the parser found them: the file comes back with only the
// changed line different, and every value still reads as it did.
TEST_F(FaultWalk, AKeepLayoutWriteBackWithoutRoomForTheValueEndsFindsThemAgain) {
  const char text[] = "; note\n[s]\r\na=1\r\nb = \"two\" \r\nc='3'\nd=\te\v\r\nf=\r\n"
                      "g=x\0hidden\nh = last";
  const std::string bytes(text, sizeof text - 1);
  const struct {
    const char *entry;
    const char *value;
  } values[] = {{"b", "two"}, {"c", "3"}, {"d", "e"}, {"f", ""}, {"g", "x"}, {"h", "last"}};
  ProfileRelease(path.c_str());
  WriteBytes(path, bytes);
  ProfileRegister(path.c_str());
  ProfileSetKeepLayout(path.c_str(), 1);
  ASSERT_EQ(ProfileSetString("s", "a", "changed", path.c_str()), 1);
  ArmFault(FaultKind::Allocation, 1, FaultError::OutOfMemory);
  EXPECT_EQ(ProfileFlush(path.c_str()), 1);
  EXPECT_EQ(FaultsStruck(), 1u);
  DisarmFaults();
  std::string expected = bytes;
  expected.replace(expected.find("a=1"), 3, "a=changed");
  EXPECT_TRUE(ReadBytes(path) == expected);
  for (const auto &read : values) {
    EXPECT_EQ(Get(path, "s", read.entry), read.value) << read.entry;
  }
  ExpectOnlyTheTarget();
}

// --- Loading ---

// One shape of file to load: its bytes, how it is read, and the fewest calls
// of each kind a clean load of it must make.
struct LoadShape {
  const char *name;
  std::string bytes;
  std::string grows; // appended to the file once its size was taken
  std::uint32_t switches;
  std::uint32_t keepLayout;
  std::uint64_t minimumReads;
  std::uint64_t minimumAllocations;
  const char *allocations; // what they are
};

// About 2.4 MB: the 220 KB file and a line of 2.2 MB, which straddles the
// reader's 1 MB blocks.
std::string LargeProfile(const std::string &generated) {
  return generated + "[long]\r\nline=" + std::string(2200000, 'x') + "\r\n\r\n";
}

// Sections with continued lines, a long line and text beyond ASCII.
std::u16string ContinuedText() {
  std::u16string text;
  for (int s = 0; s < 8; ++s) {
    text += u"[part" + std::u16string(1, static_cast<char16_t>(u'0' + s)) + u"]\r\n";
    for (int e = 0; e < 30; ++e) {
      const std::u16string name = u"e" + std::u16string(1, static_cast<char16_t>(u'a' + e % 26)) +
                                  std::u16string(1, static_cast<char16_t>(u'a' + e / 26));
      text += name + (e % 5 == 0 ? u"=caf\u00E9 \\\r\n  continued\r\n" : u"=value\r\n");
    }
    text += u"long=" + std::u16string(5000 + 3000 * s, u'y') + u"\r\n\r\n";
  }
  return text;
}

std::string EightBit(const std::u16string &text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes += unit < 0x80 ? static_cast<char>(unit) : '#';
  }
  return bytes;
}

// The records of a loaded file, to compare one load with another.
std::string DescribeRecords(const ProfileFile *file) {
  std::string text;
  for (const ProfileSection *s = file->firstSection; s != nullptr; s = s->next) {
    text += "[" + std::string(s->name) + "]\n";
    for (const ProfileEntry *e = s->firstEntry; e != nullptr; e = e->next) {
      text += std::string(e->name) + (e->quoted == 1 ? "=\"" : "=") + e->value + "\n";
    }
  }
  return text;
}

class LoadFaultWalk : public FaultWalk {
protected:
  void TearDown() override {
    SetFileSizeProbe(nullptr);
    FaultWalk::TearDown();
  }

  // The file as the shape starts it, read afresh as the shape says, with
  // call n of kind failing (none when n is 0); the record, or null when the
  // load failed.
  ProfileFile *Load(const LoadShape &shape, FaultKind kind = FaultKind::Open, std::uint64_t n = 0) {
    ProfileRelease(path.c_str());
    // A file that grows is set back each time; any other stays as written.
    if (written != &shape || !shape.grows.empty()) {
      WriteBytes(path, shape.bytes);
      written = &shape;
    }
    // The buffer of a released file is kept for the next read. A tiny file
    // read and released leaves one that fits no shape, so that every load
    // takes a buffer of its own and that allocation is walked too.
    const std::string tiny = MakeFile("tiny.ini", "[t]\r\n");
    ProfileOpen(tiny.c_str(), nullptr);
    ProfileRelease(tiny.c_str());
    growPath = path;
    growBytes = shape.grows;
    probeCalls = 0;
    ProfileRegister(path.c_str());
    ProfileSetSwitches(path.c_str(), shape.switches);
    ProfileSetKeepLayout(path.c_str(), shape.keepLayout);
    if (n == 0) {
      DisarmFaults();
    } else {
      ArmFault(kind, n,
               kind == FaultKind::Allocation ? FaultError::OutOfMemory : FaultError::DeviceError);
    }
    SetFileSizeProbe(shape.grows.empty() ? nullptr : Grow);
    ProfileFile *record = nullptr;
    ProfileOpen(path.c_str(), &record);
    SetFileSizeProbe(nullptr);
    return record;
  }

  // What the file holds after a load: the shape's bytes, grown if the size was taken.
  static std::string BytesAfterLoad(const LoadShape &shape) {
    return probeCalls == 0 ? shape.bytes : shape.bytes + shape.grows;
  }

  static void Grow(std::FILE *) {
    ++probeCalls;
    std::ofstream out(growPath, std::ios::binary | std::ios::app);
    out << growBytes;
  }

  const LoadShape *written = nullptr;
  static std::string growPath;
  static std::string growBytes;
  static int probeCalls;
};

std::string LoadFaultWalk::growPath;
std::string LoadFaultWalk::growBytes;
int LoadFaultWalk::probeCalls = 0;

TEST_F(LoadFaultWalk, EveryStepOfLoadingAFileFailsInTurnAndNothingIsCached) {
  const std::string continued16 = Utf16File(ContinuedText());
  const std::string continued8 = EightBit(ContinuedText());
  const LoadShape shapes[] = {
      {"2.4 MB, 8-bit", LargeProfile(oldBytes), "", 0, 0, 3, 42,
       "the file's buffer and a block for each of its 41 sections"},
      {"UTF-16, continued lines", continued16, "", 1, 0, 1, 12,
       "the file's buffer, the converted text, the unit and line buffers, a block per section"},
      {"keep-layout, continued lines", continued8, "", 1, 1, 1, 12,
       "the file's buffer, its text, the line and piece buffers, a block per section"},
      {"keep-layout, UTF-16", continued16, "", 1, 1, 1, 13,
       "the file's buffer, the converted text, the unit, line and piece buffers, the spans, a "
       "block per section"},
      {"grown after its size was taken", oldBytes, "[grown]\r\nentry=1\r\n", 0, 0, 2, 42,
       "the file's buffer, the buffer grown, a block for each of its 41 sections"},
  };
  for (const LoadShape &shape : shapes) {
    SCOPED_TRACE(shape.name);
    ProfileFile *clean = Load(shape);
    const FaultCensus census = FaultCensus::Take();
    ASSERT_NE(clean, nullptr);
    ASSERT_EQ(clean->textReplaced, 0);
    const std::string records = DescribeRecords(clean);
    ProfileRelease(path.c_str());

    EXPECT_EQ(census[FaultKind::Open], 1u);
    EXPECT_GE(census[FaultKind::Read], shape.minimumReads);
    EXPECT_GE(census[FaultKind::Allocation], shape.minimumAllocations) << shape.allocations;
    EXPECT_EQ(census.Total(),
              census[FaultKind::Open] + census[FaultKind::Read] + census[FaultKind::Allocation]);

    std::uint64_t steps = 0;
    for (FaultKind kind : {FaultKind::Open, FaultKind::Read, FaultKind::Allocation}) {
      for (std::uint64_t n = 1; n <= census[kind]; ++n, ++steps) {
        SCOPED_TRACE(std::string(FaultKindName(kind)) + " #" + std::to_string(n));
        const std::uint64_t waits = ProfileRetryWaitsTaken();
        EXPECT_EQ(Load(shape, kind, n), nullptr);
        EXPECT_EQ(FaultsStruck(), 1u);
        DisarmFaults();
        // Half a file is never cached, where a write-back would lose the rest.
        EXPECT_EQ(profileCache.count, 0u);
        EXPECT_EQ(ProfileRetryWaitsTaken(), waits);
        EXPECT_TRUE(ReadBytes(path) == BytesAfterLoad(shape)) << "the load changed the file";

        ProfileFile *again = Load(shape);
        ASSERT_NE(again, nullptr);
        EXPECT_TRUE(DescribeRecords(again) == records) << "the next load read other records";
        ProfileRelease(path.c_str());
      }
    }
    EXPECT_EQ(steps, census.Total());
    ReportWalk((std::string("load, ") + shape.name).c_str(), steps, census);
  }
}

} // namespace
