// The library's one view of the operating system: the small Win32 subset it
// is written against. On Windows this is <windows.h> itself; elsewhere the
// posix layer declares the same names and implements them.
#pragma once

#ifdef _WIN32
#include <io.h>
#include <string.h>
#include <windows.h>
// The Windows build exports through its module-definition file.
#define SETTINGSSTORE_EXPORT
#else
#include "platform/posix/win32_base.h"
#include "platform/posix/win32_registry.h"
#include "platform/posix/win32_resources.h"
#include "platform/posix/win32_text.h"
#define SETTINGSSTORE_EXPORT __attribute__((visibility("default")))
#endif
