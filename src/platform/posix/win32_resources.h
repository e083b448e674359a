// Module handles and string-table resources.
//
// A Linux executable has no resource section, so the host program hands its
// string table to this layer once at start-up with RegisterStringTable. The
// layer lays the entries out as Windows does: blocks of 16 counted UTF-16
// texts, entry n in block n / 16 + 1, each block a resource of type
// RT_STRING of the main module. LoadStringA converts to the ANSI code page,
// which is UTF-8 here.
#pragma once

#include "platform/posix/win32_base.h"

using HRSRC = struct HRSRC__ *;
using LPWSTR = WCHAR *;

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)
#define RT_STRING MAKEINTRESOURCEA(6)

constexpr LONG ERROR_MOD_NOT_FOUND = 126;

// One entry of a host program's string table.
struct StringTableEntry {
  WORD id;
  const char16_t *text; // UTF-16, NUL-terminated; null counts as empty
};

// Replaces the main module's string table by a copy of count entries (count
// 0 removes it). A later entry with the same id wins; a text longer than
// 65535 UTF-16 units is cut to that many, all a block's count can hold. Resource handles found
// before a call become invalid. Call it before the library's first load of a
// string resource, from the host program's start-up.
void RegisterStringTable(const StringTableEntry *entries, std::size_t count);

// The main module for a null name; otherwise a shared object already loaded
// into the process, or null with ERROR_MOD_NOT_FOUND.
HMODULE GetModuleHandleA(LPCSTR moduleName);

// The string-table block name of the main module (null module: the main
// module). Fails with ERROR_RESOURCE_DATA_NOT_FOUND for a module without a
// table, ERROR_RESOURCE_TYPE_NOT_FOUND for a type other than RT_STRING and
// ERROR_RESOURCE_NAME_NOT_FOUND for a missing block.
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);

// The block's size in bytes: 2 for each count and each character. A null
// handle gives 0 with ERROR_INVALID_HANDLE.
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Entry LOWORD(id), converted to UTF-8 and cut to whole characters that fit
// bufferMax - 1 bytes, then a NUL. Answers the bytes written before the NUL:
// 0 for a missing or empty entry (the buffer then holds an empty text). A
// bufferMax of 0 answers -1; a negative one or a null buffer answers 0 and
// writes nothing.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int bufferMax);
