// Windows keeps one registry per machine and has no transactions over the
// registry functions the library uses: a batch groups nothing.
#include "platform/registry_admin.h"

bool ChooseRegistryDatabase(const char *) {
  return false;
}

std::string RegistryLocation() {
  return "the Windows registry";
}

bool RegistryBatchesGroupWrites() {
  return false;
}

LONG BeginRegistryBatch() {
  return ERROR_SUCCESS;
}

LONG CommitRegistryBatch() {
  return ERROR_SUCCESS;
}

void AbortRegistryBatch() {}
