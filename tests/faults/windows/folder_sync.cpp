#include <cstdint>

// Windows moves the file into place written through, folder entry and all:
// no step of its own.
std::uint64_t FolderSyncsPerWriteBack() {
  return 0;
}
