#include <cstdint>

// Linux puts the folder's new entry on the disk after the rename, as a step
// of its own.
std::uint64_t FolderSyncsPerWriteBack() {
  return 1;
}
