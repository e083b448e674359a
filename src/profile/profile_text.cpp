#include "profile/profile_internal.h"

#include <cstdlib>
#include <cstring>

char *ProfileCopyText(const char *text, std::size_t length) {
  auto *copy = static_cast<char *>(std::malloc(length + 1));
  if (copy == nullptr) {
    return nullptr;
  }
  std::memcpy(copy, text, length);
  copy[length] = '\0';
  return copy;
}

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'z') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'Z') {
    return c - 'A' + 10;
  }
  return 99;
}

} // namespace

// Written out rather than taken from strtoul, whose unsigned long is 64 bits
// wide on Linux: both builds must give Windows' 32-bit results.
std::uint32_t ProfileParseNumber(const char *text, int base) {
  while (ProfileIsSpace(*text)) {
    ++text;
  }
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  if (base == 16 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text += 2;
  }
  std::uint64_t value = 0;
  bool overflow = false;
  for (; DigitValue(*text) < base; ++text) {
    value =
        value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(DigitValue(*text));
    if (value > 0xFFFFFFFFu) {
      overflow = true;
      value = 0xFFFFFFFFu;
    }
  }
  if (overflow) {
    return 0xFFFFFFFFu;
  }
  const auto result = static_cast<std::uint32_t>(value);
  return negative ? 0u - result : result;
}
