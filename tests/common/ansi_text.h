// UTF-16 text in the ANSI code page (UTF-8 on Linux, 1252 under Wine), so
// that one table of non-ASCII names serves both builds.
#pragma once

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <string>

inline std::string Ansi(const std::u16string &units) {
  const std::wstring wide(units.begin(), units.end());
  char out[64];
  BOOL usedDefault = FALSE;
  const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out,
                                         sizeof out, "?", &usedDefault);
  EXPECT_FALSE(usedDefault) << "not in the ANSI code page";
  return std::string(out, static_cast<std::size_t>(length > 0 ? length : 0));
}
