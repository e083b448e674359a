#include "platform/posix/win32_resources.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr WORD entriesPerBlock = 16;
// An entry's count is one 16-bit unit.
constexpr std::size_t maximumEntryLength = 0xFFFF;

// A block as the resource compiler lays it out: for each of its 16 entries a
// count of UTF-16 units, then that many units.
using StringBlock = std::vector<WORD>;

// Blocks by number. Kept in a function so that a host may register its table
// from a static initializer of its own.
std::map<WORD, StringBlock> &StringBlocks() {
  static std::map<WORD, StringBlock> blocks;
  return blocks;
}

// The main module's handle: an address no shared object can have.
char mainModuleTag;
HMODULE MainModule() {
  return reinterpret_cast<HMODULE>(&mainModuleTag);
}

StringBlock LayOutBlock(const std::map<WORD, std::u16string> &texts, WORD blockNumber) {
  StringBlock block;
  for (WORD index = 0; index < entriesPerBlock; ++index) {
    const auto found = texts.find(static_cast<WORD>((blockNumber - 1) * entriesPerBlock + index));
    const std::u16string empty;
    const std::u16string &text = found == texts.end() ? empty : found->second;
    const std::size_t length = std::min<std::size_t>(text.size(), maximumEntryLength);
    block.push_back(static_cast<WORD>(length));
    block.insert(block.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return block;
}

const StringBlock *FindBlock(HMODULE module, LPCSTR name, LPCSTR type) {
  if (module != nullptr && module != MainModule()) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  const auto &blocks = StringBlocks();
  if (blocks.empty()) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  if (type != RT_STRING) {
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
  }
  const auto found = IS_INTRESOURCE(name)
                         ? blocks.find(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)))
                         : blocks.end();
  if (found == blocks.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return &found->second;
}

// Counted texts follow each other; the entry's count comes first.
const WORD *EntryIn(const StringBlock &block, WORD index) {
  const WORD *entry = block.data();
  for (WORD skipped = 0; skipped < index; ++skipped) {
    entry += *entry + 1;
  }
  return entry;
}

// One UTF-16 character (a surrogate pair counts as one; a lone surrogate
// becomes U+FFFD) as UTF-8.
std::string Utf8Of(const WORD *units, std::size_t unitCount, std::size_t &at) {
  char32_t code = units[at++];
  if (code >= 0xD800 && code <= 0xDBFF && at < unitCount && units[at] >= 0xDC00 &&
      units[at] <= 0xDFFF) {
    code = 0x10000 + ((code - 0xD800) << 10) + (units[at++] - 0xDC00);
  } else if (code >= 0xD800 && code <= 0xDFFF) {
    code = 0xFFFD;
  }
  std::string bytes;
  if (code < 0x80) {
    bytes += static_cast<char>(code);
  } else if (code < 0x800) {
    bytes += static_cast<char>(0xC0 | (code >> 6));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    bytes += static_cast<char>(0xE0 | (code >> 12));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    bytes += static_cast<char>(0xF0 | (code >> 18));
    bytes += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    bytes += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    bytes += static_cast<char>(0x80 | (code & 0x3F));
  }
  return bytes;
}

// Writes whole characters only, as many as fit room bytes.
std::size_t ConvertToUtf8(const WORD *units, std::size_t unitCount, char *buffer,
                          std::size_t room) {
  std::size_t written = 0;
  for (std::size_t at = 0; at < unitCount;) {
    const std::string character = Utf8Of(units, unitCount, at);
    if (written + character.size() > room) {
      break;
    }
    std::memcpy(buffer + written, character.data(), character.size());
    written += character.size();
  }
  return written;
}

} // namespace

void RegisterStringTable(const StringTableEntry *entries, std::size_t count) {
  std::map<WORD, std::u16string> texts;
  for (std::size_t i = 0; i < count; ++i) {
    texts[entries[i].id] = entries[i].text == nullptr ? u"" : entries[i].text;
  }
  auto &blocks = StringBlocks();
  blocks.clear();
  for (const auto &[id, text] : texts) {
    const WORD blockNumber = static_cast<WORD>(id / entriesPerBlock + 1);
    if (blocks.find(blockNumber) == blocks.end()) {
      blocks.emplace(blockNumber, LayOutBlock(texts, blockNumber));
    }
  }
}

HMODULE GetModuleHandleA(LPCSTR moduleName) {
  if (moduleName == nullptr) {
    return MainModule();
  }
  void *loaded = dlopen(moduleName, RTLD_LAZY | RTLD_NOLOAD);
  if (loaded == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Like its Windows namesake, this takes no reference of its own.
  dlclose(loaded);
  return static_cast<HMODULE>(loaded);
}

HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type) {
  return reinterpret_cast<HRSRC>(const_cast<StringBlock *>(FindBlock(module, name, type)));
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
  (void)module;
  if (resource == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return static_cast<DWORD>(reinterpret_cast<const StringBlock *>(resource)->size() * sizeof(WORD));
}

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax) {
  if (bufferMax == 0) {
    return -1;
  }
  if (buffer == nullptr || bufferMax < 0) {
    return 0;
  }
  const WORD entryId = static_cast<WORD>(id);
  const StringBlock *block = FindBlock(instance, MAKEINTRESOURCEA((entryId >> 4) + 1), RT_STRING);
  std::size_t written = 0;
  if (block != nullptr) {
    const WORD *entry = EntryIn(*block, entryId & 0x0F);
    written = ConvertToUtf8(entry + 1, *entry, buffer, static_cast<std::size_t>(bufferMax) - 1);
  }
  buffer[written] = 0;
  return static_cast<int>(written);
}
