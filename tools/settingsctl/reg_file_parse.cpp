// Reading .reg files: the file is decoded into lines of 8-bit text, the
// lines into keys and values, and every line is checked before anything is
// written.
#include "reg_file.h"

#include "text_encoding.h"

namespace {

const char *const version5Header = "Windows Registry Editor Version 5.00";
const char *const regedit4Header = "REGEDIT4";
constexpr std::size_t longestKeyName = 255;
constexpr std::size_t longestValueName = 16383;

struct Line {
  int number;
  std::string text;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string TrimmedRight(const std::string &text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) {
    --end;
  }
  return text.substr(0, end);
}

std::string TrimmedLeft(const std::string &text) {
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) {
    ++start;
  }
  return text.substr(start);
}

template <typename Text> std::vector<Text> SplitLines(const Text &text) {
  std::vector<Text> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;
    }
    if (text[i] == '\n' || text[i] == '\r') {
      lines.emplace_back();
    } else {
      lines.back() += text[i];
    }
  }
  return lines;
}

bool Fail(RegFileError &error, int line, const std::string &what) {
  error = {line, what};
  return false;
}

// Lines of UTF-16 text, each made 8-bit text of the code page.
bool WideLines(const std::u16string &text, std::vector<Line> &lines, RegFileError &error) {
  int number = 0;
  for (const std::u16string &wide : SplitLines(text)) {
    std::string ansi;
    if (!Utf16ToAnsi(wide, ansi)) {
      return Fail(error, number + 1,
                  "holds a character that the ANSI code page cannot hold, or an unpaired "
                  "surrogate");
    }
    lines.push_back({++number, ansi});
  }
  return true;
}

// The file's lines as 8-bit text, and whether it is a 5.00 file (else REGEDIT4).
bool DecodeLines(const std::string &bytes, std::vector<Line> &lines, bool &version5,
                 RegFileError &error) {
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) {
    return Fail(error, 1, "UTF-16 big-endian files are not read; save it as UTF-16LE or UTF-8");
  }
  std::vector<Line> decoded;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) {
    std::u16string wide;
    if (!LittleEndianBytesToUtf16(bytes.substr(2), wide)) {
      return Fail(error, 1, "a UTF-16 file with an odd number of bytes");
    }
    if (!WideLines(wide, decoded, error)) {
      return false;
    }
  } else {
    const bool marked = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const std::string text = marked ? bytes.substr(3) : bytes;
    const std::string first = TrimmedRight(text.substr(0, text.find_first_of("\r\n")));
    if (!marked && first == regedit4Header) {
      // 8-bit text in the code page: taken as it is.
      int number = 0;
      for (const std::string &line : SplitLines(text)) {
        decoded.push_back({++number, line});
      }
    } else {
      int number = 0;
      for (const std::string &line : SplitLines(text)) {
        std::u16string wide;
        ++number;
        if (!Utf8ToUtf16(line, wide)) {
          return Fail(error, number, "not valid UTF-8");
        }
        std::vector<Line> one;
        if (!WideLines(wide, one, error)) {
          error.line = number;
          return false;
        }
        decoded.push_back({number, one.front().text});
      }
    }
  }
  std::size_t first = 0;
  while (first < decoded.size() && TrimmedRight(decoded[first].text).empty()) {
    ++first;
  }
  const std::string header = first < decoded.size() ? TrimmedRight(decoded[first].text) : "";
  if (header != version5Header && header != regedit4Header) {
    return Fail(error, first < decoded.size() ? decoded[first].number : 1,
                "not a .reg file: the first line must be \"" + std::string(version5Header) +
                    "\" or \"" + regedit4Header + "\"");
  }
  version5 = header == version5Header;
  lines.assign(decoded.begin() + static_cast<std::ptrdiff_t>(first) + 1, decoded.end());
  return true;
}

// Lines that end in a backslash go on in the next line, whose leading blanks
// are dropped; comments and blank lines drop out.
std::vector<Line> LogicalLines(const std::vector<Line> &lines) {
  std::vector<Line> logical;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string text = TrimmedRight(TrimmedLeft(lines[i].text));
    if (text.empty() || text[0] == ';') {
      continue;
    }
    const int number = lines[i].number;
    while (!text.empty() && text.back() == '\\' && text[0] != '[' && i + 1 < lines.size()) {
      text.pop_back();
      text += TrimmedRight(TrimmedLeft(lines[++i].text));
    }
    logical.push_back({number, text});
  }
  return logical;
}

class LineParser {
public:
  LineParser(const Line &line, bool version5, RegFileError &error)
      : text(line.text), number(line.number), version5(version5), error(error) {}

  bool Key(RegFileKey &key) {
    if (text.back() != ']') {
      return Fail(error, number, "a key line must end in ']'");
    }
    std::string name = text.substr(1, text.size() - 2);
    key.line = number;
    key.remove = !name.empty() && name[0] == '-';
    if (key.remove) {
      name.erase(0, 1);
    }
    const std::size_t slash = name.find('\\');
    key.path.root = FindRegistryRoot(name.substr(0, slash));
    if (!key.path.root || name.substr(0, slash).size() <= 2) {
      return Fail(error, number,
                  "unknown root key '" + name.substr(0, slash) +
                      "' (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS)");
    }
    key.path.below = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    if (key.remove && key.path.below.empty()) {
      return Fail(error, number, "a root key cannot be deleted");
    }
    return CheckKeyPath(key.path.below);
  }

  bool Value(RegFileValue &value) {
    value.line = number;
    if (text[0] == '@') {
      ++position;
    } else if (!QuotedText(value.name)) {
      return false;
    }
    std::u16string wideName;
    if (AnsiToUtf16(value.name, wideName) && wideName.size() > longestValueName) {
      return Fail(error, number, "the value name is longer than 16383 characters");
    }
    SkipBlanks();
    if (!Take('=')) {
      return Fail(error, number, "'=' expected after the value name");
    }
    SkipBlanks();
    if (Take('-')) {
      value.remove = true;
      return End();
    }
    if (Peek() == '"') {
      value.type = REG_SZ;
      if (!QuotedText(value.data)) {
        return false;
      }
      value.data += '\0';
      return End();
    }
    if (TakeWord("dword:")) {
      return Dword(value);
    }
    if (TakeWord("hex:")) {
      value.type = REG_BINARY;
      return HexList(value);
    }
    if (TakeWord("hex(")) {
      return TypedHexList(value);
    }
    return Fail(error, number, "unknown value: a \"string\", dword:, hex: or hex(N): expected");
  }

private:
  char Peek() const { return position < text.size() ? text[position] : '\0'; }

  bool Take(char c) {
    if (Peek() != c) {
      return false;
    }
    ++position;
    return true;
  }

  bool TakeWord(const char *word) {
    const std::string expected = word;
    if (text.size() - position < expected.size()) {
      return false;
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const char c = text[position + i];
      const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
      if (lower != expected[i]) {
        return false;
      }
    }
    position += expected.size();
    return true;
  }

  void SkipBlanks() {
    while (IsBlank(Peek())) {
      ++position;
    }
  }

  // Only blanks or a comment may follow a value.
  bool End() {
    SkipBlanks();
    if (position == text.size() || Peek() == ';') {
      return true;
    }
    return Fail(error, number, "unexpected text after the value: '" + text.substr(position) + "'");
  }

  bool QuotedText(std::string &out) {
    if (!Take('"')) {
      return Fail(error, number, "'\"' expected");
    }
    out.clear();
    while (position < text.size()) {
      const char c = text[position++];
      if (c == '"') {
        return true;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      const char escaped = Peek();
      ++position;
      switch (escaped) {
      case '\\':
      case '"':
        out += escaped;
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return Fail(error, number,
                    std::string("unknown escape '\\") + (escaped ? std::string(1, escaped) : "") +
                        "' (a backslash is written \\\\)");
      }
    }
    return Fail(error, number, "the closing '\"' is missing");
  }

  static int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
      return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
      return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
      return c - 'A' + 10;
    }
    return -1;
  }

  bool HexNumber(std::size_t mostDigits, std::uint32_t &number) {
    number = 0;
    std::size_t digits = 0;
    while (HexDigit(Peek()) >= 0) {
      if (++digits > mostDigits) {
        return false;
      }
      number = number << 4 | static_cast<std::uint32_t>(HexDigit(text[position++]));
    }
    return digits > 0;
  }

  bool Dword(RegFileValue &value) {
    std::uint32_t dword = 0;
    if (!HexNumber(8, dword)) {
      return Fail(error, number, "dword: takes 1 to 8 hexadecimal digits");
    }
    value.type = REG_DWORD;
    for (int i = 0; i < 4; ++i) {
      value.data += static_cast<char>(dword >> (8 * i) & 0xFF);
    }
    return End();
  }

  bool TypedHexList(RegFileValue &value) {
    std::uint32_t type = 0;
    if (!HexNumber(8, type) || !Take(')') || !Take(':')) {
      return Fail(error, number, "hex(N): takes a type of 1 to 8 hexadecimal digits");
    }
    value.type = type;
    return HexList(value);
  }

  bool HexList(RegFileValue &value) {
    SkipBlanks();
    while (position < text.size() && Peek() != ';') {
      const int high = HexDigit(Peek());
      const int low = position + 1 < text.size() ? HexDigit(text[position + 1]) : -1;
      if (high < 0 || low < 0) {
        return Fail(error, number, "a hex list holds two-digit bytes separated by commas");
      }
      value.data += static_cast<char>(high << 4 | low);
      position += 2;
      SkipBlanks();
      if (!Take(',')) {
        break;
      }
      SkipBlanks();
    }
    if (!End()) {
      return false;
    }
    return StringData(value);
  }

  // Hex data of the string types are UTF-16 in a 5.00 file, 8-bit in REGEDIT4.
  bool StringData(RegFileValue &value) {
    const bool stringType =
        value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    if (!stringType || !version5) {
      return true;
    }
    std::u16string wide;
    if (!LittleEndianBytesToUtf16(value.data, wide)) {
      return Fail(error, number, "the UTF-16 text of a string value has an odd number of bytes");
    }
    if (!Utf16ToAnsi(wide, value.data)) {
      return Fail(error, number,
                  "the value's text holds a character that the ANSI code page cannot hold");
    }
    return true;
  }

  bool CheckKeyPath(const std::string &below) {
    if (below.empty()) {
      return true;
    }
    std::size_t start = 0;
    while (true) {
      const std::size_t end = below.find('\\', start);
      const std::string name = below.substr(start, end == std::string::npos ? end : end - start);
      std::u16string wide;
      if (name.empty()) {
        return Fail(error, number, "the key path has an empty key name (a doubled backslash)");
      }
      if (AnsiToUtf16(name, wide) && wide.size() > longestKeyName) {
        return Fail(error, number, "a key name is longer than 255 characters");
      }
      if (end == std::string::npos) {
        return true;
      }
      start = end + 1;
    }
  }

  const std::string &text;
  int number;
  bool version5;
  RegFileError &error;
  std::size_t position = 0;
};

} // namespace

bool ParseRegFile(const std::string &bytes, std::vector<RegFileKey> &keys, RegFileError &error) {
  keys.clear();
  std::vector<Line> lines;
  bool version5 = true;
  if (!DecodeLines(bytes, lines, version5, error)) {
    return false;
  }
  for (const Line &line : LogicalLines(lines)) {
    LineParser parser(line, version5, error);
    if (line.text[0] == '[') {
      keys.emplace_back();
      if (!parser.Key(keys.back())) {
        return false;
      }
      continue;
    }
    if (line.text[0] != '"' && line.text[0] != '@') {
      return Fail(error, line.number, "not a key, value or comment line");
    }
    if (keys.empty()) {
      return Fail(error, line.number, "a value before the first [key] line");
    }
    if (keys.back().remove) {
      return Fail(error, line.number, "a value under a key that the file deletes");
    }
    keys.back().values.emplace_back();
    if (!parser.Value(keys.back().values.back())) {
      return false;
    }
  }
  return true;
}
