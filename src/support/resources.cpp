// String-table entries of the host program, and the text-or-identifier
// construction that names them.
#include "support/byte_string.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The string table is looked up in the main executable, never in this
// library's own file. The handle is fetched once and kept for the life of
// the process.
HMODULE resourceModule = nullptr;
bool resourceModuleFetched = false;

constexpr WORD stringTableType = 6;

HMODULE ResourceModule() {
  if (!resourceModuleFetched) {
    resourceModuleFetched = true;
    resourceModule = GetModuleHandleA(nullptr);
  }
  return resourceModule;
}

// Entry n lies in block n / 16 + 1; the block number is a 16-bit resource
// identifier, so it wraps to 0 after 65535.
WORD BlockOf(std::uint32_t id) {
  return static_cast<WORD>(id / 16 + 1);
}

// A block holds its entries as counted UTF-16 texts, two bytes a unit. No
// ANSI code page needs more than three bytes for a unit (UTF-8's worst case),
// so half as much again as the block's size holds any of its entries with a
// terminating NUL; the block's size alone would cut long UTF-8 entries.
int RoomForEntryOf(DWORD blockSize) {
  const std::uint64_t room = std::uint64_t{blockSize} + blockSize / 2;
  return static_cast<int>(std::min<std::uint64_t>(room, std::numeric_limits<int>::max()));
}

bool IsStringIdentifier(const char *textOrIdentifier) {
  return (reinterpret_cast<std::uintptr_t>(textOrIdentifier) >> 16) == 0;
}

} // namespace

ByteString::ByteString(const char *textOrIdentifier) {
  if (textOrIdentifier == nullptr) {
    return;
  }
  if (IsStringIdentifier(textOrIdentifier)) {
    // Whatever a failed load left behind is no text.
    if (!LoadResourceString(
            static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(textOrIdentifier)))) {
      clear();
    }
    return;
  }
  *this = textOrIdentifier;
}

bool ByteString::LoadResourceString(std::uint32_t id) {
  const HMODULE module = ResourceModule();
  const HRSRC block =
      FindResourceA(module, MAKEINTRESOURCEA(BlockOf(id)), MAKEINTRESOURCEA(stringTableType));
  if (block == nullptr) {
    (void)GetLastError();
    return false;
  }
  const DWORD blockSize = SizeofResource(module, block);
  if (blockSize == 0) {
    (void)GetLastError();
    return false;
  }
  const int room = RoomForEntryOf(blockSize);
  if (static_cast<std::int32_t>(size()) < room) {
    resize(static_cast<std::size_t>(room));
  }
  const int loaded = LoadStringA(module, id, data(), room);
  resize(std::strlen(c_str()));
  if (loaded <= 0) {
    (void)GetLastError();
    return false;
  }
  return true;
}
