// Reading registry values and names for RegistryKey: each helper is one
// registry query (or two, where a size comes first) and answers whether it
// delivered.
#pragma once

#include "platform/platform.h"
#include "support/byte_string.h"

#include <cstdint>
#include <string>

// The longest value or key name the registry allows, with its NUL.
constexpr DWORD longestNameBuffer = 16384;

// The type and data size of a value, without its data.
bool ProbeValue(HKEY key, const char *name, DWORD &type, DWORD &size);
// String data (given room for probedSize + 1 bytes) up to its first NUL, or
// all of it when it holds none.
bool ReadText(HKEY key, const char *name, DWORD probedSize, ByteString &text);
// Exactly 4 (8) bytes of data; any other size does not deliver.
bool ReadDword(HKEY key, const char *name, std::uint32_t &value);
bool ReadQword(HKEY key, const char *name, std::uint64_t &value);
// Up to capacity bytes into data; size becomes the count read (0 when the
// read fails).
bool ReadRaw(HKEY key, const char *name, unsigned char *data, DWORD capacity, DWORD &size);
// Stores data with its type; true when the registry took it.
bool WriteValue(HKEY key, const char *name, DWORD type, const void *data, DWORD size);

// The name of the value (subkey) at index, through a buffer for the longest
// name; false at the end of the list or on any error.
bool ValueNameAt(HKEY key, DWORD index, std::string &buffer, ByteString &name);
bool SubkeyNameAt(HKEY key, DWORD index, std::string &buffer, ByteString &name);

// REG_SZ text as strtol reads it in base 16, limited to the signed 32-bit
// range, as its 32 bits.
std::uint32_t ParseHexNumber(const ByteString &text);
