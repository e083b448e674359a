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

  std::uint32_t GetNumber(ByteString valueName, ByteString section,
                          std::uint32_t defaultValue) override;
  std::int32_t GetString(ByteString &out, ByteString defaultValue, ByteString valueName,
                         ByteString section) override;
  std::int32_t SetNumber(std::uint32_t value, ByteString valueName, ByteString section) override;
  std::int32_t SetString(ByteString value, ByteString valueName, ByteString section) override;
  std::uint32_t GetValueNames(char *buffer, std::uint32_t size, ByteString section) override;
  ByteString *EnumerateValueNames(std::uint32_t &count, ByteString section) override;
  ByteString *EnumerateSections(std::uint32_t &count) override;
  // Closes baseKey, then sectionKey.
  ~RegistryKey() override;

  // Reads a value of any type; "(Default)" names the unnamed value. Strings
  // (REG_SZ, REG_EXPAND_SZ unexpanded), REG_DWORD and REG_QWORD (unsigned
  // decimal) arrive in text and the result is its length. Other types leave
  // text alone: *size (when given) becomes the data size + 1, and with data
  // given a buffer of that many bytes is made with new unsigned char[n] at
  // *data (the caller releases it with delete[]), the raw data are read into
  // it and *size ends as the count read; a data pointer without a size
  // pointer still gets its buffer filled. The result is data size + 1 for
  // REG_BINARY and REG_MULTI_SZ, else the length of text. A missing value
  // changes nothing and answers the length of text.
  virtual std::int32_t GetValue(ByteString &text, unsigned char **data, std::uint32_t *size,
                                ByteString valueName, ByteString section);
  // Stores a REG_DWORD; 5 on success, 0 on failure.
  virtual std::int32_t SetDword(std::uint32_t value, ByteString valueName, ByteString section);

  // Takes path when it begins with a root name and opens the key it names
  // (never creating it); otherwise only forgets the root.
  void Open(ByteString path);
  // Makes section current and opens its subkey afresh (one leading backslash
  // is dropped, as CreateKeys does).
  void OpenSection(ByteString section);
  // Creates (or opens) the key and the current section's subkey where they
  // are not open; 1 when the section's subkey is open afterwards. A read-only
  // key creates nothing.
  std::int32_t CreateKeys();
  // Takes effect at the next open or create; answers flags.
  std::uint32_t SetAccessFlags(std::uint32_t flags);

protected:
  std::uint32_t readOnly = 0;
  HKEY rootKey = nullptr;
  HKEY baseKey = nullptr;
  HKEY sectionKey = nullptr;
  std::uint32_t accessFlags = 0;

private:
  // The keep-current rule; a named section is opened afresh.
  void ApplyNames(const ByteString &newValueName, const ByteString &newSection);
  // The value reads address: null (the unnamed value) for "(Default)" when
  // mapDefault, else valueName.
  const char *AddressedValue(bool mapDefault) const;
  REGSAM OpenAccess() const;
  REGSAM CreateAccess() const;
  std::int32_t WriteText(const ByteString &text, const char *name);
};
