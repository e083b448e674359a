// How a write-back names its temporary file: ".<target name>.<16 hex
// digits>.tmp" in the target's folder. Named after the target, so that the
// next write-back of that target can find the files of writers that were
// killed, and shortened so that the name never exceeds what the file system
// allows where the target's own name fits.
#pragma once

#include <cstddef>
#include <string>

namespace temporary_names {

constexpr std::size_t RandomDigits = 16;
constexpr std::size_t Overhead = 1 + 1 + RandomDigits + 4; // "." name "." digits ".tmp"

inline bool IsContinuation(char unit) {
  return (static_cast<unsigned char>(unit) & 0xC0) == 0x80;
}

inline bool IsContinuation(wchar_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// What every temporary name of the target starts with: "." and as much of the
// target's name as fits (never cut inside a character), then ".".
template <typename Char>
std::basic_string<Char> Prefix(const std::basic_string<Char> &targetName,
                               std::size_t maximumNameLength) {
  std::size_t kept = targetName.size();
  const std::size_t room = maximumNameLength > Overhead ? maximumNameLength - Overhead : 0;
  if (kept > room) {
    kept = room;
    while (kept > 0 && IsContinuation(targetName[kept])) {
      --kept;
    }
  }
  const Char dot = static_cast<Char>('.');
  return std::basic_string<Char>(1, dot) + targetName.substr(0, kept) + dot;
}

// Whether name is prefix followed by exactly 16 lower-case hex digits and ".tmp".
template <typename Char>
bool IsTemporaryName(const std::basic_string<Char> &name, const std::basic_string<Char> &prefix) {
  if (name.size() != prefix.size() + RandomDigits + 4 ||
      name.compare(0, prefix.size(), prefix) != 0) {
    return false;
  }
  for (std::size_t i = prefix.size(); i < prefix.size() + RandomDigits; ++i) {
    const Char digit = name[i];
    if (!((digit >= '0' && digit <= '9') || (digit >= 'a' && digit <= 'f'))) {
      return false;
    }
  }
  const Char *suffix = name.c_str() + prefix.size() + RandomDigits;
  return suffix[0] == '.' && suffix[1] == 't' && suffix[2] == 'm' && suffix[3] == 'p';
}

} // namespace temporary_names
