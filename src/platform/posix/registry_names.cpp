#include "platform/posix/registry_names.h"

#include <algorithm>
#include <vector>

namespace posix_registry {
namespace {

// The code point of the well-formed UTF-8 sequence at text[at], advancing at
// past it; false for anything else (overlong forms, surrogates, beyond
// U+10FFFF, cut short).
bool DecodeUtf8(const std::string &text, std::size_t &at, char32_t &code) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || text.size() - at < length) {
    return false;
  }
  code = length == 1 ? lead : lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      return false;
    }
    code = code << 6 | (next & 0x3F);
  }
  static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return false;
  }
  at += length;
  return true;
}

bool ToUtf16(const std::string &text, std::vector<char16_t> &units) {
  for (std::size_t at = 0; at < text.size();) {
    char32_t code = 0;
    if (!DecodeUtf8(text, at, code)) {
      return false;
    }
    if (code < 0x10000) {
      units.push_back(static_cast<char16_t>(code));
    } else {
      units.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
    }
  }
  return true;
}

// Bytes of a name that is not UTF-8: ASCII folds as ever, every other byte
// becomes a lone low surrogate, a unit that UTF-8 text never gives.
void BytesToUnits(const std::string &text, std::vector<char16_t> &units) {
  units.clear();
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    units.push_back(byte < 0x80 ? FoldUnit(byte) : static_cast<char16_t>(0xDC00 + byte));
  }
}

} // namespace

char16_t FoldUnit(char16_t unit) {
  if (unit < 0x80) {
    return unit >= 'A' && unit <= 'Z' ? static_cast<char16_t>(unit + ('a' - 'A')) : unit;
  }
  const CaseRun *end = caseRuns + caseRunCount;
  const CaseRun *run = std::upper_bound(
      caseRuns, end, unit, [](char16_t value, const CaseRun &item) { return value < item.first; });
  if (run == caseRuns) {
    return unit;
  }
  --run;
  if (unit > run->last || (unit - run->first) % run->step != 0) {
    return unit;
  }
  return static_cast<char16_t>(unit + run->distance);
}

std::string NameKey(const std::string &name) {
  std::vector<char16_t> units;
  if (ToUtf16(name, units)) {
    std::transform(units.begin(), units.end(), units.begin(), FoldUnit);
  } else {
    BytesToUnits(name, units);
  }
  std::string key;
  key.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    key.push_back(static_cast<char>(unit >> 8));
    key.push_back(static_cast<char>(unit & 0xFF));
  }
  return key;
}

} // namespace posix_registry
