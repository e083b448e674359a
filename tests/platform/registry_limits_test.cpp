// The registry at its limits, as tables: key names and key paths around
// 255 characters (and, on Linux, 16383), and values of a megabyte (value names of 16383
// and 16384 characters: LongValueNamesAreListedPastTheNameBuffer). The same
// answers hold for the real registry (under Wine) and the SQLite registry.
#include "common/scratch_registry_key.h"
#include "platform/platform.h"
#include "registry_limits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RegistryLimits : public testing::Test {
protected:
  void SetUp() override { ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS); }
  ScratchRegistryKey scratch;
};

// Where the SQLite registry and the real one under Wine answer alike. (Wine
// also takes a key name of 256 characters, which the documented limit of 255
// and the SQLite registry refuse, and answers ERROR_MORE_DATA for key paths
// of 261 characters and more given to the byte-string functions, which the
// SQLite registry takes; the Linux tests hold the SQLite registry's answers
// to those.)
TEST_F(RegistryLimits, KeyNamesAndPathsAtTheirLimits) {
  const KeyPathRow rows[] = {
      {"a key name of 255 characters", std::string(255, 'k'), ERROR_SUCCESS},
      {"a path of 255 characters", KeyPathOfLength(255), ERROR_SUCCESS},
      {"a path of 256 characters", KeyPathOfLength(256), ERROR_SUCCESS},
      {"a path of 260 characters", KeyPathOfLength(260), ERROR_SUCCESS},
  };
  for (const KeyPathRow &row : rows) {
    CheckKeyPathRow(scratch.Handle(), row);
  }
}

TEST_F(RegistryLimits, ValuesOfAMegabyteAreStoredAndReadWhole) {
  struct Row {
    const char *what;
    DWORD type;
    std::string data;
  };
  std::string bytes(1 << 20, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<char>(i * 7 + i / 251);
  }
  const Row rows[] = {
      {"binary", REG_BINARY, bytes},
      {"string", REG_SZ, std::string((1 << 20) - 1, 's') + '\0'},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    const auto size = static_cast<DWORD>(row.data.size());
    ASSERT_EQ(RegSetValueExA(scratch.Handle(), "big", 0, row.type,
                             reinterpret_cast<const BYTE *>(row.data.data()), size),
              ERROR_SUCCESS);
    std::vector<BYTE> buffer(size);
    DWORD got = size - 1;
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(scratch.Handle(), "big", nullptr, &type, buffer.data(), &got),
              ERROR_MORE_DATA);
    EXPECT_EQ(got, size);
    got = size;
    EXPECT_EQ(RegQueryValueExA(scratch.Handle(), "big", nullptr, &type, buffer.data(), &got),
              ERROR_SUCCESS);
    EXPECT_EQ(type, row.type);
    EXPECT_EQ(got, size);
    EXPECT_TRUE(std::string(buffer.begin(), buffer.end()) == row.data);
  }
}

} // namespace
