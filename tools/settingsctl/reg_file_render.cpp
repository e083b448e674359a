// Writing .reg files in the registry editor's 5.00 format.
#include "reg_file.h"

#include "text_encoding.h"

#include <cstdio>

namespace {

// A hex list's line is broken after the comma that takes it past this width,
// and goes on indented by two spaces, as the registry editor does.
constexpr std::size_t wrapWidth = 76;

std::u16string Ascii(const char *text) {
  std::u16string wide;
  for (; *text; ++text) {
    wide += static_cast<char16_t>(*text);
  }
  return wide;
}

std::u16string Escaped(const std::u16string &text) {
  std::u16string escaped;
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') {
      escaped += u'\\';
      escaped += c;
    } else if (c == u'\n') {
      escaped += u"\\n";
    } else if (c == u'\r') {
      escaped += u"\\r";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

void AppendHexList(std::u16string &out, std::size_t lineLength, const std::string &bytes) {
  static const char digits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    out += static_cast<char16_t>(digits[byte >> 4]);
    out += static_cast<char16_t>(digits[byte & 0xF]);
    lineLength += 2;
    if (i + 1 == bytes.size()) {
      break;
    }
    out += u',';
    ++lineLength;
    if (lineLength > wrapWidth) {
      out += u"\\\r\n  ";
      lineLength = 2;
    }
  }
}

std::u16string HexPrefix(DWORD type) {
  if (type == REG_BINARY) {
    return u"hex:";
  }
  char text[24];
  std::snprintf(text, sizeof text, "hex(%lx):", static_cast<unsigned long>(type));
  return Ascii(text);
}

// A REG_SZ can be written as "text" when it holds no NUL but one at its end;
// a string stored without that NUL is written the same way.
bool IsPlainString(const std::string &data) {
  const std::size_t nul = data.find('\0');
  return nul == std::string::npos || nul + 1 == data.size();
}

class Renderer {
public:
  explicit Renderer(std::string &problem) : problem(problem) {}

  bool Key(const RegFileExportKey &key) {
    std::u16string name;
    if (!AnsiToUtf16(key.name, name)) {
      return Fail(key.name, "the key's name is not valid text in the code page");
    }
    if (name.find_first_of(u"\r\n") != std::u16string::npos) {
      return Fail(key.name, "a key name with a line break cannot be written");
    }
    out += u"[" + name + u"]\r\n";
    for (const TypedValue &value : key.values) {
      if (!Value(key.name, value)) {
        return false;
      }
    }
    out += u"\r\n";
    return true;
  }

  std::u16string &Text() { return out; }

private:
  bool Fail(const std::string &where, const std::string &why) {
    problem = where + ": " + why;
    return false;
  }

  bool Value(const std::string &keyName, const TypedValue &value) {
    const std::string where = keyName + " " + (value.name.empty() ? "(Default)" : value.name);
    std::u16string name;
    if (!AnsiToUtf16(value.name, name)) {
      return Fail(where, "the value's name is not valid text in the code page");
    }
    std::u16string line = value.name.empty() ? u"@=" : u"\"" + Escaped(name) + u"\"=";
    const bool stringType =
        value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    std::u16string text;
    if (stringType && !AnsiToUtf16(value.data, text)) {
      return Fail(where, "the value's text is not valid in the code page; a .reg file cannot "
                         "hold it");
    }
    if (value.type == REG_SZ && IsPlainString(value.data)) {
      if (!text.empty() && text.back() == u'\0') {
        text.pop_back();
      }
      out += line + u"\"" + Escaped(text) + u"\"\r\n";
      return true;
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
      const auto *b = reinterpret_cast<const unsigned char *>(value.data.data());
      char number[16];
      std::snprintf(number, sizeof number, "dword:%08lx",
                    static_cast<unsigned long>(b[0] | b[1] << 8 | b[2] << 16 |
                                               static_cast<unsigned long>(b[3]) << 24));
      out += line + Ascii(number) + u"\r\n";
      return true;
    }
    line += HexPrefix(value.type);
    out += line;
    AppendHexList(out, line.size(), stringType ? Utf16ToLittleEndianBytes(text) : value.data);
    out += u"\r\n";
    return true;
  }

  std::string &problem;
  std::u16string out = u"Windows Registry Editor Version 5.00\r\n\r\n";
};

} // namespace

bool RenderRegFile(const std::vector<RegFileExportKey> &keys, std::string &bytes,
                   std::string &problem) {
  Renderer renderer(problem);
  for (const RegFileExportKey &key : keys) {
    if (!renderer.Key(key)) {
      return false;
    }
  }
  bytes = "\xFF\xFE" + Utf16ToLittleEndianBytes(renderer.Text());
  return true;
}
