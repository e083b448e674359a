// .reg files: the registry editor's text format, read and written.
//
// Written: "Windows Registry Editor Version 5.00", UTF-16LE with FF FE, CR LF,
// a key's header before its subkeys', values as the registry lists them,
// strings with \\ \" \r \n escapes, dword:, and hex lists wrapped as the
// registry editor wraps them. Read: that, "REGEDIT4" files (8-bit, their
// string types' hex data in 8-bit bytes), and UTF-8 files with or without a
// mark; continuation lines, ';' comments, [-KEY] and "name"=- deletions.
//
// Text inside is kept as the byte-string registry functions take it: bytes
// in the ANSI code page (UTF-8 on Linux).
#pragma once

#include "registry_access.h"

#include <string>
#include <vector>

struct RegFileValue {
  int line = 0;
  std::string name; // empty for the unnamed value (@)
  bool remove = false;
  DWORD type = REG_SZ;
  std::string data;
};

struct RegFileKey {
  int line = 0;
  RegistryPath path;
  bool remove = false; // [-KEY]: the key and everything below it
  std::vector<RegFileValue> values;
};

struct RegFileError {
  int line = 0;
  std::string what;
};

// The whole file, checked: true with its keys in file order, or false with
// the first error.
bool ParseRegFile(const std::string &bytes, std::vector<RegFileKey> &keys, RegFileError &error);

struct RegFileExportKey {
  std::string name; // "HKEY_CURRENT_USER\Software\Acme"
  std::vector<TypedValue> values;
};

// The file's bytes in the 5.00 format; false (with what cannot be written,
// naming the key and value) for text the code page cannot read, or a key
// name holding a line break.
bool RenderRegFile(const std::vector<RegFileExportKey> &keys, std::string &bytes,
                   std::string &problem);
