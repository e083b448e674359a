#include "numbers.h"

bool ParseNumber32(const std::string &text, std::uint32_t &value) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  i += negative ? 1 : 0;
  const bool hex =
      text.size() > i + 1 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
  i += hex ? 2 : 0;
  if (i >= text.size()) {
    return false;
  }
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    }
    if (digit < 0) {
      return false;
    }
    magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) {
      return false;
    }
  }
  if (negative && magnitude > 0x80000000ull) {
    return false;
  }
  value = static_cast<std::uint32_t>(negative ? 0x100000000ull - magnitude : magnitude);
  return true;
}
