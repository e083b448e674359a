// The SQLite registry's answers at the key-name limit, where Wine's registry
// answers otherwise (see registry_limits_test.cpp): a key name is at most 255
// bytes, and a path is limited by its names only.
#include "../registry_limits.h"
#include "common/scratch_registry_key.h"

namespace {

TEST(RegistryLimitsPosix, KeyNamesBeyond255BytesAreRefusedAndLongPathsAreNot) {
  ScratchRegistryKey scratch;
  ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS);
  const KeyPathRow rows[] = {
      {"a key name of 256 characters", std::string(256, 'k'), ERROR_INVALID_PARAMETER},
      {"a key name of 16383 characters", std::string(16383, 'k'), ERROR_INVALID_PARAMETER},
      {"a key name of 16384 characters", std::string(16384, 'k'), ERROR_INVALID_PARAMETER},
      {"a path of 16383 characters", KeyPathOfLength(16383), ERROR_SUCCESS},
      {"a path of 16384 characters", KeyPathOfLength(16384), ERROR_SUCCESS},
      {"a path of 100000 characters", KeyPathOfLength(100000), ERROR_SUCCESS},
  };
  for (const KeyPathRow &row : rows) {
    CheckKeyPathRow(scratch.Handle(), row);
  }
}

} // namespace
