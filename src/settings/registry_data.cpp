#include "settings/registry_data.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

bool ProbeValue(HKEY key, const char *name, DWORD &type, DWORD &size) {
  size = 0;
  return RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

bool ReadText(HKEY key, const char *name, DWORD probedSize, ByteString &text) {
  std::string buffer(static_cast<std::size_t>(probedSize) + 1, '\0');
  DWORD size = probedSize + 1;
  if (RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(buffer.data()),
                       &size) != ERROR_SUCCESS) {
    return false;
  }
  const std::size_t stored = std::min<std::size_t>(size, buffer.size());
  text = ByteString(buffer.data(), strnlen(buffer.data(), stored));
  return true;
}

namespace {

template <typename Number> bool ReadNumber(HKEY key, const char *name, Number &value) {
  unsigned char bytes[sizeof(Number)] = {};
  DWORD size = sizeof bytes;
  if (RegQueryValueExA(key, name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS ||
      size != sizeof bytes) {
    return false;
  }
  // Little-endian on every platform the registry exists on.
  value = 0;
  for (std::size_t i = sizeof bytes; i-- > 0;) {
    value = static_cast<Number>(value << 8 | bytes[i]);
  }
  return true;
}

} // namespace

bool ReadDword(HKEY key, const char *name, std::uint32_t &value) {
  return ReadNumber(key, name, value);
}

bool ReadQword(HKEY key, const char *name, std::uint64_t &value) {
  return ReadNumber(key, name, value);
}

bool ReadRaw(HKEY key, const char *name, unsigned char *data, DWORD capacity, DWORD &size) {
  size = capacity;
  if (RegQueryValueExA(key, name, nullptr, nullptr, data, &size) != ERROR_SUCCESS) {
    size = 0;
    return false;
  }
  return true;
}

bool WriteValue(HKEY key, const char *name, DWORD type, const void *data, DWORD size) {
  return RegSetValueExA(key, name, 0, type, static_cast<const BYTE *>(data), size) == ERROR_SUCCESS;
}

bool ValueNameAt(HKEY key, DWORD index, std::string &buffer, ByteString &name) {
  buffer.resize(longestNameBuffer);
  DWORD length = longestNameBuffer;
  if (RegEnumValueA(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
      ERROR_SUCCESS) {
    return false;
  }
  name = ByteString(buffer.data(), std::min<std::size_t>(length, buffer.size()));
  return true;
}

bool SubkeyNameAt(HKEY key, DWORD index, std::string &buffer, ByteString &name) {
  buffer.assign(longestNameBuffer, '\0');
  if (RegEnumKeyA(key, index, buffer.data(), longestNameBuffer) != ERROR_SUCCESS) {
    return false;
  }
  name = ByteString(buffer.data(), strnlen(buffer.data(), buffer.size()));
  return true;
}

std::uint32_t ParseHexNumber(const ByteString &text) {
  const long long parsed = std::strtoll(text.c_str(), nullptr, 16);
  const long long limited = std::clamp<long long>(parsed, INT_MIN, INT_MAX);
  return static_cast<std::uint32_t>(static_cast<std::int32_t>(limited));
}
