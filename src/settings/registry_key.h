// RegistryKey: a settings key over the Windows registry. Its path is a
// registry path: a root name ("CR", "CU", "LM" or "US", any letter case), an
// optional backslash, then the key's path below that root. Sections are
// subkeys below that key; value names name values inside them. The key keeps
// its key handles open between calls and creates missing keys when it writes.
#pragma once

#include "platform/platform.h"
#include "settings/profile_key.h"

#include <cstdint>

// The registry path of a subkey below a predefined root ("BAD\" for any
// other handle).
ByteString MakeRegistryPath(HKEY root, const char *subPath);

class RegistryKey : public ProfileKey {
public:
  // readOnly non-zero: everything opens for reading only and writes answer 0.
  // accessFlags is ORed into every access mask (KEY_WOW64_64KEY,
  // KEY_WOW64_32KEY or 0).
  RegistryKey(ByteString path, std::uint32_t readOnly, std::uint32_t accessFlags);
  ~RegistryKey() override;

  std::uint32_t GetNumber(ByteString valueName, ByteString section,
                          std::uint32_t defaultValue) override;
  std::int32_t GetString(ByteString &out, ByteString defaultValue, ByteString valueName,
                         ByteString section) override;
  std::int32_t SetNumber(std::uint32_t value, ByteString valueName, ByteString section) override;
  std::int32_t SetString(ByteString value, ByteString valueName, ByteString section) override;
  std::uint32_t GetValueNames(char *buffer, std::uint32_t size, ByteString section) override;
  ByteString *EnumerateValueNames(std::uint32_t &count, ByteString section) override;
  ByteString *EnumerateSections(std::uint32_t &count) override;

  // Reads a value of any type. Text and numbers arrive in text; other types
  // (REG_BINARY, REG_MULTI_SZ, ...) arrive raw in a buffer made with
  // new unsigned char[n] at *data, which the caller releases with delete[].
  virtual std::int32_t GetValue(ByteString &text, unsigned char **data, std::uint32_t *size,
                                ByteString valueName, ByteString section);
  // Stores a REG_DWORD; 5 on success, 0 on failure.
  virtual std::int32_t SetDword(std::uint32_t value, ByteString valueName, ByteString section);

  void Open(ByteString path);
  void OpenSection(ByteString section);
  std::int32_t CreateKeys();
  std::uint32_t SetAccessFlags(std::uint32_t flags);

protected:
  std::uint32_t readOnly = 0;
  HKEY rootKey = nullptr;
  HKEY baseKey = nullptr;
  HKEY sectionKey = nullptr;
  std::uint32_t accessFlags = 0;
};
