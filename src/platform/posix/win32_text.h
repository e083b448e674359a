// Code-page conversion and character stepping. On this platform the
// library's ANSI (and OEM) code page is UTF-8.
#pragma once

#include "platform/posix/win32_base.h"
