// Conversions between the library's 8-bit text (bytes in the process's ANSI
// code page, UTF-8 on Linux), UTF-16 and UTF-8, and between UTF-16 and its
// little-endian bytes.
#pragma once

#include <string>

// Strict: false when the text holds bytes the ANSI code page cannot read, or
// characters it cannot write. Nothing is ever replaced silently.
bool AnsiToUtf16(const std::string &ansi, std::u16string &wide);
bool Utf16ToAnsi(const std::u16string &wide, std::string &ansi);

// False for anything that is not well-formed UTF-8 (UTF-16 for the reverse:
// an unpaired surrogate).
bool Utf8ToUtf16(const std::string &utf8, std::u16string &wide);
bool Utf16ToUtf8(const std::u16string &wide, std::string &utf8);

// For JSON, which holds UTF-8 only: what the code page cannot read becomes U+FFFD.
std::string AnsiToUtf8ForDisplay(const std::string &ansi);

std::string Utf16ToLittleEndianBytes(const std::u16string &wide);
// False for an odd number of bytes.
bool LittleEndianBytesToUtf16(const std::string &bytes, std::u16string &wide);
