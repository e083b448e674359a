#include "text_encoding.h"

#include "platform/platform.h"

#include <vector>

namespace {

bool IsHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

void AppendUtf8(char32_t codePoint, std::string &out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

void AppendUtf16(char32_t codePoint, std::u16string &out) {
  if (codePoint >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(codePoint);
  }
}

// One UTF-8 sequence at text[i]; its length, 0 when it is not well-formed.
std::size_t DecodeUtf8(const std::string &text, std::size_t i, char32_t &codePoint) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  char32_t smallest = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, smallest = 0x80, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, smallest = 0x800, codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, smallest = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    const auto byte = static_cast<unsigned char>(text[i + k]);
    if ((byte & 0xC0) != 0x80) {
      return 0;
    }
    codePoint = codePoint << 6 | (byte & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  return codePoint < smallest || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

bool AnsiToUtf16With(const std::string &ansi, std::u16string &wide, DWORD flags) {
  wide.clear();
  if (ansi.empty()) {
    return true;
  }
  const int length = static_cast<int>(ansi.size());
  const int needed = MultiByteToWideChar(CP_ACP, flags, ansi.data(), length, nullptr, 0);
  if (needed <= 0) {
    return false;
  }
  std::vector<WCHAR> buffer(static_cast<std::size_t>(needed));
  if (MultiByteToWideChar(CP_ACP, flags, ansi.data(), length, buffer.data(), needed) != needed) {
    return false;
  }
  for (WCHAR unit : buffer) {
    wide += static_cast<char16_t>(unit);
  }
  return true;
}

} // namespace

bool AnsiToUtf16(const std::string &ansi, std::u16string &wide) {
  return AnsiToUtf16With(ansi, wide, MB_ERR_INVALID_CHARS);
}

bool Utf16ToAnsi(const std::u16string &wide, std::string &ansi) {
  ansi.clear();
  if (wide.empty()) {
    return true;
  }
  std::vector<WCHAR> units(wide.begin(), wide.end());
  const int length = static_cast<int>(units.size());
  BOOL substituted = FALSE;
  const int needed =
      WideCharToMultiByte(CP_ACP, 0, units.data(), length, nullptr, 0, nullptr, &substituted);
  if (needed <= 0 || substituted) {
    return false;
  }
  ansi.assign(static_cast<std::size_t>(needed), '\0');
  substituted = FALSE;
  const int written = WideCharToMultiByte(CP_ACP, 0, units.data(), length, ansi.data(), needed,
                                          nullptr, &substituted);
  if (written != needed || substituted) {
    return false;
  }
  // A character the code page lacks may be written as a look-alike without
  // any report: only text that converts back unchanged is taken.
  std::u16string back;
  return AnsiToUtf16(ansi, back) && back == wide;
}

bool Utf8ToUtf16(const std::string &utf8, std::u16string &wide) {
  wide.clear();
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t codePoint = 0;
    const std::size_t length = DecodeUtf8(utf8, i, codePoint);
    if (length == 0) {
      return false;
    }
    AppendUtf16(codePoint, wide);
    i += length;
  }
  return true;
}

bool Utf16ToUtf8(const std::u16string &wide, std::string &utf8) {
  utf8.clear();
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t unit = wide[i];
    if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      unit = 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      return false;
    }
    AppendUtf8(unit, utf8);
  }
  return true;
}

std::string AnsiToUtf8ForDisplay(const std::string &ansi) {
  std::u16string wide;
  std::string utf8;
  if (!AnsiToUtf16With(ansi, wide, 0) || !Utf16ToUtf8(wide, utf8)) {
    return std::string(ansi.size(), '?');
  }
  return utf8;
}

std::string Utf16ToLittleEndianBytes(const std::u16string &wide) {
  std::string bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

bool LittleEndianBytesToUtf16(const std::string &bytes, std::u16string &wide) {
  wide.clear();
  if (bytes.size() % 2 != 0) {
    return false;
  }
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return true;
}
