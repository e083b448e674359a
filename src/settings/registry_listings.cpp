// RegistryKey's listings of value and subkey names.
#include "settings/registry_data.h"
#include "settings/registry_key.h"

#include <cstring>

namespace {

using NameAt = bool (*)(HKEY, DWORD, std::string &, ByteString &);

// Two passes: the count sizes the array exactly, then the names fill it.
ByteString *ListNames(HKEY key, NameAt nameAt, std::uint32_t &count) {
  count = 0;
  std::string buffer;
  ByteString name;
  std::uint32_t total = 0;
  while (key && nameAt(key, total, buffer, name)) {
    ++total;
  }
  if (total == 0) {
    return nullptr;
  }
  auto *names = new ByteString[total];
  for (std::uint32_t index = 0; index < total && nameAt(key, index, buffer, names[index]);
       ++index) {
  }
  count = total;
  return names;
}

// Adds name with its NUL at position; a name that does not fit whole is cut
// to end in the buffer's last byte and ends the list (false).
bool AppendName(char *buffer, std::int64_t size, std::int64_t &position, const ByteString &name) {
  const auto length = static_cast<std::int64_t>(name.size());
  if (size - position > length + 1) {
    std::memcpy(buffer + position, name.c_str(), static_cast<std::size_t>(length) + 1);
    position += length + 1;
    return true;
  }
  if (size - position - 1 > 0) {
    std::memcpy(buffer + position, name.data(), static_cast<std::size_t>(size - position - 1));
    position = size - 1;
  }
  return false;
}

} // namespace

std::uint32_t RegistryKey::GetValueNames(char *buffer, std::uint32_t size, ByteString newSection) {
  ApplyNames(ByteString(), newSection);
  // The size is a signed number; no buffer counts as no room.
  const std::int64_t room = buffer ? static_cast<std::int32_t>(size) : 0;
  if (room > 0) {
    std::memset(buffer, 0, static_cast<std::size_t>(room));
  }
  std::int64_t position = 0;
  std::string nameBuffer;
  ByteString name;
  for (DWORD index = 0; sectionKey && ValueNameAt(sectionKey, index, nameBuffer, name) &&
                        AppendName(buffer, room, position, name);
       ++index) {
  }
  return static_cast<std::uint32_t>(position);
}

ByteString *RegistryKey::EnumerateValueNames(std::uint32_t &count, ByteString newSection) {
  ApplyNames(ByteString(), newSection);
  return ListNames(sectionKey, ValueNameAt, count);
}

ByteString *RegistryKey::EnumerateSections(std::uint32_t &count) {
  return ListNames(baseKey, SubkeyNameAt, count);
}
