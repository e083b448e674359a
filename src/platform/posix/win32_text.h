// Code-page conversion and character stepping. On this platform the
// library's ANSI (and OEM) code page is UTF-8. A WCHAR holds one UTF-16 code
// unit, as on Windows, even though wchar_t is wider here.
#pragma once

#include "platform/posix/win32_base.h"

using LPCWCH = const WCHAR *;
using LPWSTR = WCHAR *;
using LPCCH = const CHAR *;
using LPBOOL = BOOL *;

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;

// The ANSI code page: UTF-8.
UINT GetACP();

constexpr LONG ERROR_INSUFFICIENT_BUFFER = 122;
constexpr LONG ERROR_INVALID_FLAGS = 1004;
constexpr LONG ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x08;

// UTF-16 to UTF-8. An unpaired surrogate (or a unit beyond 16 bits) becomes
// defaultChar when one is given, else U+FFFD; *usedDefaultChar tells whether
// that happened. multiByteSize 0 asks for the size needed. wideLength -1
// converts up to and including the terminating zero unit.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideText, int wideLength,
                        LPSTR multiByteText, int multiByteSize, LPCCH defaultChar,
                        LPBOOL usedDefaultChar);

// UTF-8 to UTF-16. A byte that begins no valid sequence (a stray
// continuation byte, an overlong or cut-short sequence, a surrogate or a code
// point beyond U+10FFFF) becomes U+FFFD, or with MB_ERR_INVALID_CHARS fails
// the call with ERROR_NO_UNICODE_TRANSLATION. wideSize 0 asks for the size
// needed; multiByteLength -1 converts up to and including the terminating NUL.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteText, int multiByteLength,
                        LPWSTR wideText, int wideSize);

// The start of the character before current: steps back over UTF-8
// continuation bytes, never before start.
LPSTR CharPrevA(LPCSTR start, LPCSTR current);
