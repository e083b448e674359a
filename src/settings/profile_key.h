// ProfileKey: a settings key over a profile file. Its virtual operations are
// the settings-key interface that every key implements, in this order:
// GetNumber, GetHexNumber, GetString, SetNumber, SetString, GetValueNames,
// EnumerateValueNames, EnumerateSections, GetMode, SetMode, then the
// destructor. RegistryKey derives from it and appends GetValue and SetDword.
//
// A key remembers a current section and value name: a non-empty argument
// replaces the current one (for this and every later call), an empty one keeps
// it. The file's contents live in the process-wide profile cache; changes
// reach the disk when the file leaves the cache (at the latest when a key on
// its path is destroyed or changes its mode).
#pragma once

#include "support/byte_string.h"

#include <cstdint>

class ProfileKey {
public:
  explicit ProfileKey(ByteString path);

  ProfileKey(const ProfileKey &) = delete;
  ProfileKey &operator=(const ProfileKey &) = delete;

  virtual std::uint32_t GetNumber(ByteString valueName, ByteString section,
                                  std::uint32_t defaultValue);
  virtual std::uint32_t GetHexNumber(ByteString valueName, ByteString section,
                                     std::uint32_t defaultValue);
  // The value's text (or defaultValue) into out; answers its length.
  virtual std::int32_t GetString(ByteString &out, ByteString defaultValue, ByteString valueName,
                                 ByteString section);
  // Non-zero when stored, 0 when not.
  virtual std::int32_t SetNumber(std::uint32_t value, ByteString valueName, ByteString section);
  virtual std::int32_t SetString(ByteString value, ByteString valueName, ByteString section);
  // The section's value names (all section names while no section is set)
  // into buffer as NUL-terminated names followed by one more NUL; answers the
  // bytes of the names delivered whole.
  virtual std::uint32_t GetValueNames(char *buffer, std::uint32_t size, ByteString section);
  // Arrays made with new[]: the caller releases them with delete[]. Null with
  // a count of 0 when there is nothing to list.
  virtual ByteString *EnumerateValueNames(std::uint32_t &count, ByteString section);
  virtual ByteString *EnumerateSections(std::uint32_t &count);
  virtual std::uint32_t GetMode();
  // Non-zero turns on line continuation and quoted-value delivery for the
  // file; it is read again from disk at its next use.
  virtual void SetMode(std::uint32_t mode);
  // Declared after the ten operations so that it takes the slot behind them,
  // where RegistryKey's destructor overrides it; RegistryKey's own operations
  // follow it.
  virtual ~ProfileKey();

  // Non-zero makes write-backs of the file change only the lines of what was
  // changed, keeping comments, blank lines and spacing. Like SetMode it drops
  // the cached file (written back when changed) so that it is read again.
  void SetKeepLayout(std::uint32_t keep);
  std::uint32_t GetKeepLayout() const;
  // Writes the file back now if it was changed: 1 when nothing needed writing
  // or it was written, 0 when the write failed (the change stays pending and
  // the file on disk is as it was). The destructor writes too, but cannot
  // report a failure.
  std::int32_t Flush();

protected:
  // The keep-current rule; the second form takes over the texts of names
  // passed by value instead of copying them.
  void KeepCurrent(const ByteString &newValueName, const ByteString &newSection);
  void KeepCurrent(ByteString &&newValueName, ByteString &&newSection);

  ByteString path;
  ByteString section;
  ByteString valueName;
  std::uint32_t mode = 0;
  std::uint32_t keepLayout = 0;

private:
  // Drops the cached file and registers it again with the key's choices.
  void Reregister();
};
