// The registry functions of ADVAPI32, in their byte-string forms.
#pragma once

#include "platform/posix/win32_base.h"

using HKEY = struct HKEY__ *;
using PHKEY = HKEY *;
using REGSAM = DWORD;

// Predefined roots: the Windows constants, sign-extended to handle width.
#define HKEY_CLASSES_ROOT                                                                          \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000000))))
#define HKEY_CURRENT_USER                                                                          \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000001))))
#define HKEY_LOCAL_MACHINE                                                                         \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000002))))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000003))))
#define HKEY_CURRENT_CONFIG                                                                        \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(0x80000005))))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES *;

// Registry errors beyond the common ones.
constexpr LONG ERROR_BUSY = 170;
constexpr LONG ERROR_NOACCESS = 998;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_KEY_DELETED = 1018;

// The registry is kept in an SQLite database: SETTINGSSTORE_REGISTRY names
// its file (":memory:" for a registry private to the process), else it is
// settingsstore/registry.db below $XDG_DATA_HOME (~/.local/share when unset).
// Every write is one transaction, durable when the call returns; a database
// that another process is writing is waited for (up to a minute, then
// ERROR_BUSY). A database that cannot be opened answers ERROR_CANTOPEN (or
// ERROR_ACCESS_DENIED), one that is corrupt or not a registry ERROR_BADDB; it
// is never replaced. Names compare without regard to case as the registry
// compares their UTF-16 text, and enumerate in that order (registry_names.h);
// a path may not begin with a backslash
// (ERROR_BAD_PATHNAME), empty path components are skipped, and a key name has
// at most 255 bytes, a value name at most 16383. String data is stored
// exactly as given (never extended by a terminator beyond the given size); a
// string read into a buffer with room to spare gets a NUL behind it that the
// reported size does not count. Handles to a deleted key answer
// ERROR_KEY_DELETED. KEY_WOW64_* flags have no effect. All calls are
// serialised within the process. A forked child opens a connection of its
// own, but SQLite's file locks are only sound in a child that has exec'd.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data,
                    DWORD dataSize);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegEnumKeyA(HKEY key, DWORD index, LPSTR name, DWORD nameSize);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
// Deletes subKey with everything below it; a null or empty subKey deletes
// the key's values and subkeys but keeps the key.
LONG RegDeleteTreeA(HKEY key, LPCSTR subKey);
