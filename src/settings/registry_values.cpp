// RegistryKey's reads and writes of single values and their conversions
// between registry data and text.
#include "settings/registry_data.h"
#include "settings/registry_key.h"

#include <memory>

std::uint32_t RegistryKey::GetNumber(ByteString newValueName, ByteString newSection,
                                     std::uint32_t defaultValue) {
  ApplyNames(newValueName, newSection);
  const char *name = AddressedValue(false);
  DWORD type = 0;
  DWORD size = 0;
  if (!sectionKey || !ProbeValue(sectionKey, name, type, size)) {
    return defaultValue;
  }
  std::uint32_t number = 0;
  ByteString text;
  if (type == REG_DWORD) {
    return ReadDword(sectionKey, name, number) ? number : defaultValue;
  }
  if (type == REG_SZ) {
    // Stored text is read as hexadecimal, while SetNumber writes decimal:
    // values already stored rely on both.
    return ReadText(sectionKey, name, size, text) ? ParseHexNumber(text) : defaultValue;
  }
  return defaultValue;
}

std::int32_t RegistryKey::GetString(ByteString &out, ByteString defaultValue,
                                    ByteString newValueName, ByteString newSection) {
  ApplyNames(newValueName, newSection);
  const char *name = AddressedValue(true);
  DWORD type = 0;
  DWORD size = 0;
  std::uint32_t number = 0;
  const bool found = sectionKey && ProbeValue(sectionKey, name, type, size);
  if (found && type == REG_DWORD && ReadDword(sectionKey, name, number)) {
    out.Format("%lu", static_cast<unsigned long>(number));
  } else if (!(found && (type == REG_SZ || type == REG_EXPAND_SZ) &&
               ReadText(sectionKey, name, size, out))) {
    out = std::move(defaultValue);
  }
  return static_cast<std::int32_t>(out.size());
}

std::int32_t RegistryKey::GetValue(ByteString &text, unsigned char **data, std::uint32_t *size,
                                   ByteString newValueName, ByteString newSection) {
  ApplyNames(newValueName, newSection);
  const char *name = AddressedValue(true);
  DWORD type = 0;
  DWORD probed = 0;
  if (!sectionKey || !ProbeValue(sectionKey, name, type, probed)) {
    return static_cast<std::int32_t>(text.size());
  }
  std::uint32_t dword = 0;
  std::uint64_t qword = 0;
  switch (type) {
  case REG_SZ:
  case REG_EXPAND_SZ:
    if (!ReadText(sectionKey, name, probed, text)) {
      text.clear();
    }
    break;
  case REG_DWORD:
    if (ReadDword(sectionKey, name, dword)) {
      text.Format("%lu", static_cast<unsigned long>(dword));
    }
    break;
  case REG_QWORD:
    if (ReadQword(sectionKey, name, qword)) {
      text.Format("%llu", static_cast<unsigned long long>(qword));
    }
    break;
  default: {
    const DWORD capacity = probed + 1;
    if (size) {
      *size = capacity;
    }
    if (data) {
      // Zeroed, so that no byte of it is left undefined whatever the read delivers.
      *data = new unsigned char[capacity]();
      DWORD read = 0;
      ReadRaw(sectionKey, name, *data, capacity, read);
      if (size) {
        *size = read;
      }
    }
    if (type == REG_BINARY || type == REG_MULTI_SZ) {
      return static_cast<std::int32_t>(capacity);
    }
  }
  }
  return static_cast<std::int32_t>(text.size());
}

std::int32_t RegistryKey::WriteText(const ByteString &text, const char *name) {
  if (!sectionKey && !CreateKeys()) {
    return 0;
  }
  const auto length = static_cast<DWORD>(text.size());
  // The text's bytes without a NUL.
  return WriteValue(sectionKey, name, REG_SZ, text.data(), length)
             ? static_cast<std::int32_t>(length) + 1
             : 0;
}

std::int32_t RegistryKey::SetString(ByteString value, ByteString newValueName,
                                    ByteString newSection) {
  if (readOnly) {
    return 0;
  }
  ApplyNames(newValueName, newSection);
  return WriteText(value, AddressedValue(true));
}

std::int32_t RegistryKey::SetNumber(std::uint32_t value, ByteString newValueName,
                                    ByteString newSection) {
  if (readOnly) {
    return 0;
  }
  ApplyNames(newValueName, newSection);
  ByteString text;
  text.Format("%d", static_cast<int>(value));
  return WriteText(text, AddressedValue(false));
}

std::int32_t RegistryKey::SetDword(std::uint32_t value, ByteString newValueName,
                                   ByteString newSection) {
  if (readOnly) {
    return 0;
  }
  ApplyNames(newValueName, newSection);
  if (!sectionKey && !CreateKeys()) {
    return 0;
  }
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  return WriteValue(sectionKey, AddressedValue(false), REG_DWORD, bytes, sizeof bytes) ? 5 : 0;
}
