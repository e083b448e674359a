// Batches of registry writes: one transaction on Linux, nothing on Windows.
#include "common/scratch_registry_key.h"
#include "platform/registry_admin.h"

#include <gtest/gtest.h>

namespace {

bool HasValue(HKEY key, const char *name) {
  return RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

LONG SetText(HKEY key, const char *name) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE *>("v"), 1);
}

TEST(RegistryBatch, AnAbortedBatchUndoesEveryWriteWhereWritesGroup) {
  ScratchRegistryKey scratch;
  ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS);
  ASSERT_EQ(SetText(scratch.Handle(), "before"), ERROR_SUCCESS);
  ASSERT_EQ(BeginRegistryBatch(), ERROR_SUCCESS);
  HKEY made = nullptr;
  ASSERT_EQ(RegCreateKeyExA(scratch.Handle(), "made", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &made, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(SetText(made, "inside"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(scratch.Handle(), "before"), ERROR_SUCCESS);
  // Reads inside the batch see its writes.
  EXPECT_TRUE(HasValue(made, "inside"));
  RegCloseKey(made);
  AbortRegistryBatch();
  HKEY reopened = nullptr;
  const bool kept = RegOpenKeyExA(scratch.Handle(), "made", 0, KEY_READ, &reopened) == 0;
  if (reopened) {
    RegCloseKey(reopened);
  }
  EXPECT_EQ(kept, !RegistryBatchesGroupWrites());
  EXPECT_EQ(HasValue(scratch.Handle(), "before"), RegistryBatchesGroupWrites());
  // A batch aborted, the next write stands on its own again.
  EXPECT_EQ(SetText(scratch.Handle(), "after"), ERROR_SUCCESS);
  EXPECT_TRUE(HasValue(scratch.Handle(), "after"));
}

TEST(RegistryBatch, ACommittedBatchKeepsEveryWrite) {
  ScratchRegistryKey scratch;
  ASSERT_EQ(scratch.CreateResult(), ERROR_SUCCESS);
  ASSERT_EQ(BeginRegistryBatch(), ERROR_SUCCESS);
  EXPECT_EQ(SetText(scratch.Handle(), "one"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(scratch.Handle(), "two"), ERROR_SUCCESS);
  // A failed write inside the batch undoes itself only.
  EXPECT_EQ(RegDeleteValueA(scratch.Handle(), "missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(CommitRegistryBatch(), ERROR_SUCCESS);
  EXPECT_TRUE(HasValue(scratch.Handle(), "one"));
  EXPECT_TRUE(HasValue(scratch.Handle(), "two"));
  AbortRegistryBatch();
  EXPECT_TRUE(HasValue(scratch.Handle(), "one"));
}

} // namespace
