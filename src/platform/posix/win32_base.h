// Win32 base types, constants and the kernel/C-runtime helpers the library
// uses, for builds that have no <windows.h>. Widths follow 64-bit Windows:
// LONG and DWORD are 32 bits, handles are pointers.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

using BYTE = unsigned char;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using BOOL = int;
using HRESULT = std::int32_t;
using CHAR = char;
using WCHAR = wchar_t;
using LPSTR = char *;
using LPCSTR = const char *;
using LPBYTE = BYTE *;
using LPDWORD = DWORD *;
using LPVOID = void *;
using LPCVOID = const void *;
using HANDLE = void *;
using HINSTANCE = struct HINSTANCE__ *;
using HMODULE = HINSTANCE;
using FARPROC = void (*)();
using ULONG_PTR = std::uintptr_t;

#define WINAPI
#define STDAPICALLTYPE
#define STDAPI extern "C" HRESULT STDAPICALLTYPE

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

constexpr HRESULT S_OK = 0;

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// Win32 error codes the library and its tests meet.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr LONG ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr LONG ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr LONG ERROR_BADDB = 1009;

// Kernel.
void Sleep(DWORD milliseconds);
DWORD GetLastError();
void SetLastError(DWORD error);

// C runtime names that exist only on Windows.
int _stricmp(const char *left, const char *right);
int _access(const char *path, int mode);
// The bounded formatter: writes at most count bytes of output and answers
// their number when all of it fit (with a NUL behind it when there was room
// for one), or -1 when it did not (the first count bytes written, no NUL).
// A conversion that fails answers -1 with errno set; errno is untouched
// otherwise.
int _vsnprintf(char *buffer, std::size_t count, const char *format, va_list arguments);

// The loader, for host programs and tests that load the shared library.
HMODULE LoadLibraryA(LPCSTR fileName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL FreeLibrary(HMODULE module);
