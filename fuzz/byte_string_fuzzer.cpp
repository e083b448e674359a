// ByteString under operations chosen by the input (see fuzz_script.h), each
// on one string that the operations keep changing:
//
//   t text            assignment from a text (up to its NUL)
//   b bytes           the string becomes bytes, NULs included
//   p offset          assignment from a pointer into the string's own text
//   c                 copy-assignment from itself and from a copy
//   L count           Left
//   M first|count     Mid
//   m first           Mid from first to the end
//   f format|args...  Format
//   a format|args...  AppendFormat
//   S separator       Split ("~": a null separator)
//
// Formats are made safe before use: a conversion is kept only when it is
// one of d i u x X o c s f e g a (integers as long long, %lc as a wide
// character, at most three per format, widths and precisions of up to five
// digits); any other '%' is doubled into a literal. An argument "@" of %s
// is the string's own text.
//
// Each result is checked against the rules written out here, and against
// the C library's own formatter for Format and AppendFormat.
#include "fuzz_script.h"
#include "support/byte_string.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const char *what, const std::string &detail = std::string()) {
  std::fprintf(stderr, "byte string fuzzer: %s%s%s\n", what, detail.empty() ? "" : ": ",
               detail.c_str());
  std::abort();
}

void Require(bool holds, const char *what, const std::string &detail = std::string()) {
  if (!holds) {
    Fail(what, detail);
  }
}

constexpr std::size_t largestFormatOutput = 43008;
constexpr std::size_t largestAppendedOutput = 1023;
constexpr int maximumConversions = 3;

// --- Safe formats ---

struct Argument {
  char kind; // I: long long, C: int, W: wint_t, S: text, D: double
  long long integer = 0;
  double real = 0;
  const char *text = "";
};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Rewrites format into one whose conversions all take the arguments listed
// in kinds; every other '%' becomes "%%".
std::string SafeFormat(const std::string &format, std::string &kinds) {
  std::string out;
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%') {
      out += format[i++];
      continue;
    }
    std::size_t j = i + 1;
    while (j < format.size() && std::string_view("-+ #0").find(format[j]) != std::string::npos) {
      ++j;
    }
    const std::size_t widthStart = j;
    while (j < format.size() && IsDigit(format[j])) {
      ++j;
    }
    bool fine = j - widthStart <= 5;
    if (j < format.size() && format[j] == '.') {
      const std::size_t precisionStart = ++j;
      while (j < format.size() && IsDigit(format[j])) {
        ++j;
      }
      fine = fine && j - precisionStart <= 5;
    }
    const std::string head = format.substr(i, j - i);
    bool wide = false;
    while (j < format.size() && (format[j] == 'l' || format[j] == 'h')) {
      wide = format[j] == 'l';
      ++j;
    }
    const char conversion = j < format.size() ? format[j] : '\0';
    const bool room = static_cast<int>(kinds.size()) < maximumConversions;
    if (fine && conversion == '%' && j == i + 1) {
      out += "%%";
    } else if (fine && room && std::string_view("diuxXo").find(conversion) != std::string::npos &&
               conversion != '\0') {
      out += head + "ll" + conversion;
      kinds += 'I';
    } else if (fine && room && conversion == 'c') {
      out += head + (wide ? "lc" : "c");
      kinds += wide ? 'W' : 'C';
    } else if (fine && room && conversion == 's') {
      out += head + "s";
      kinds += 'S';
    } else if (fine && room && std::string_view("fega").find(conversion) != std::string::npos &&
               conversion != '\0') {
      out += head + conversion;
      kinds += 'D';
    } else {
      out += "%%";
      i += 1;
      continue;
    }
    i = j + 1;
  }
  return out;
}

std::vector<Argument> Arguments(const fuzz::Operation &op, const std::string &kinds,
                                const std::string &own, std::vector<std::string> &texts) {
  std::vector<Argument> arguments;
  texts.reserve(kinds.size());
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    Argument argument{kinds[k]};
    const std::size_t field = k + 1;
    argument.integer = op.Number(field, static_cast<std::int64_t>(op.Text(field).size()));
    argument.real = std::strtod(op.Text(field).c_str(), nullptr);
    if (argument.kind == 'S') {
      texts.push_back(op.Text(field));
      argument.text = op.Text(field) == "@" ? own.c_str() : texts.back().c_str();
    }
    arguments.push_back(argument);
  }
  return arguments;
}

// Calls call(values...) with the arguments as their C types.
template <int Depth, typename Call, typename... Values>
void WithArguments(const std::vector<Argument> &arguments, Call &call, Values... values) {
  if constexpr (Depth == maximumConversions) {
    call(values...);
  } else {
    if (arguments.size() == Depth) {
      call(values...);
      return;
    }
    const Argument &a = arguments[Depth];
    switch (a.kind) {
    case 'I':
      WithArguments<Depth + 1>(arguments, call, values..., a.integer);
      break;
    case 'C':
      WithArguments<Depth + 1>(arguments, call, values..., static_cast<int>(a.integer));
      break;
    case 'W':
      WithArguments<Depth + 1>(arguments, call, values..., static_cast<wint_t>(a.integer));
      break;
    case 'S':
      WithArguments<Depth + 1>(arguments, call, values..., a.text);
      break;
    default:
      WithArguments<Depth + 1>(arguments, call, values..., a.real);
      break;
    }
  }
}

#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#pragma clang diagnostic ignored "-Wformat-security"

// The whole output as the C library formats it; false when the conversion
// itself fails.
bool Reference(const std::string &format, const std::vector<Argument> &arguments,
               std::string &output) {
  bool formatted = false;
  auto call = [&](auto... values) {
    const int length = std::snprintf(nullptr, 0, format.c_str(), values...);
    if (length < 0) {
      return;
    }
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::snprintf(buffer.data(), buffer.size(), format.c_str(), values...);
    output.assign(buffer.data(), static_cast<std::size_t>(length));
    formatted = true;
  };
  WithArguments<0>(arguments, call);
  return formatted;
}

void Formatted(ByteString &subject, const fuzz::Operation &op, bool append) {
  std::string kinds;
  const std::string format = SafeFormat(op.Text(0), kinds);
  std::vector<std::string> texts;
  const std::string before = subject;
  const std::vector<Argument> arguments = Arguments(op, kinds, subject, texts);
  std::string output;
  const bool formatted = Reference(format, arguments, output);
  std::string expected;
  if (append) {
    const bool fits = formatted && !output.empty() && output.size() <= largestAppendedOutput;
    expected = fits ? before + output : before;
    auto call = [&](auto... values) { subject.AppendFormat(format.c_str(), values...); };
    WithArguments<0>(arguments, call);
  } else {
    expected = formatted ? output.substr(0, largestFormatOutput) : std::string();
    auto call = [&](auto... values) { subject.Format(format.c_str(), values...); };
    WithArguments<0>(arguments, call);
  }
  Require(subject == expected, append ? "AppendFormat" : "Format", format);
}

#pragma clang diagnostic pop

// --- Substrings, written out from their rules ---

std::string ReferenceLeft(const std::string &text, std::int32_t count) {
  const std::int64_t length = static_cast<std::int32_t>(text.size());
  const std::int64_t n = std::min<std::int64_t>(count, length);
  return n < 1 ? std::string() : text.substr(0, static_cast<std::size_t>(n));
}

std::string ReferenceMid(const std::string &text, std::int64_t first, std::int64_t count) {
  const std::int64_t length = static_cast<std::int32_t>(text.size());
  if (first < 0) {
    first = 0;
  }
  if (count < 0) {
    count = 0;
  }
  if (first + count > length) {
    count = length - first;
  }
  if (first > length || count <= 0) {
    return std::string();
  }
  return text.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
}

// --- Split, written out from its two passes ---

// The remaining copy of each pass is kept as an offset into the text, which
// searches the same bytes without copying them (a long text of many
// separators would take quadratic time otherwise).
std::vector<std::string> ReferenceSplit(const std::string &text, const std::string &separator) {
  if (text.empty()) {
    return {};
  }
  if (separator.empty()) {
    return {text};
  }
  std::size_t separators = 0;
  for (std::size_t at = text.find(separator); at != std::string::npos;
       at = text.find(separator, at + separator.size())) {
    ++separators;
  }
  std::vector<std::string> pieces;
  std::size_t rest = 0;
  for (std::size_t i = 0; i <= separators; ++i) {
    const std::size_t at = text.find(separator, rest);
    if (at == std::string::npos) {
      pieces.push_back(text.substr(rest));
      continue;
    }
    pieces.push_back(text.substr(rest, at - rest));
    if (i < separators) {
      rest = at + separator.size();
    }
  }
  return pieces;
}

void CheckSplit(const ByteString &subject, const fuzz::Operation &op) {
  const bool null = op.IsNull(0);
  const std::string separator = null ? std::string() : std::string(op.Text(0).c_str());
  const std::vector<std::string> expected = ReferenceSplit(subject, separator);
  std::int32_t count = -1;
  ByteString *pieces = Split(&count, subject, null ? nullptr : separator.c_str());
  Require(count == static_cast<std::int32_t>(expected.size()), "Split count");
  Require((pieces == nullptr) == expected.empty(), "Split result");
  std::string joined;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    Require(pieces[i] == expected[i], "Split piece");
    Require(separator.empty() || pieces[i].find(separator) == std::string::npos,
            "a piece holds the separator");
    joined += (i > 0 ? separator : std::string()) + pieces[i];
  }
  Require(joined == subject, "pieces joined again differ from the text");
  delete[] pieces;
  ByteString *uncounted = Split(nullptr, subject, separator.c_str());
  Require((uncounted == nullptr) == expected.empty(), "Split without a count");
  delete[] uncounted;
}

void Run(ByteString &subject, const fuzz::Operation &op) {
  const std::string before = subject;
  switch (op.letter) {
  case 't': {
    const std::string text = op.Text(0);
    subject = op.IsNull(0) ? nullptr : text.c_str();
    Require(subject == (op.IsNull(0) ? std::string() : std::string(text.c_str())),
            "assignment from text");
    break;
  }
  case 'b':
    subject = ByteString(op.Text(0));
    break;
  case 'p': {
    const auto offset = static_cast<std::size_t>(op.Number(0) < 0 ? -op.Number(0) : op.Number(0)) %
                        (subject.size() + 1);
    subject = subject.data() + offset;
    Require(subject == before.substr(offset), "assignment from the string's own text");
    break;
  }
  case 'c': {
    const ByteString &self = subject;
    subject = self;
    Require(subject == before, "copy-assignment from itself");
    ByteString copy;
    copy = subject;
    subject = copy;
    Require(subject == before && copy == before, "copy-assignment");
    break;
  }
  case 'L': {
    const auto count = static_cast<std::int32_t>(op.Number(0));
    Require(subject.Left(count) == ReferenceLeft(subject, count), "Left");
    break;
  }
  case 'M': {
    const auto first = static_cast<std::int32_t>(op.Number(0));
    const auto count = static_cast<std::int32_t>(op.Number(1));
    Require(subject.Mid(first, count) == ReferenceMid(subject, first, count), "Mid");
    break;
  }
  case 'm': {
    const auto first = static_cast<std::int32_t>(op.Number(0));
    const std::int64_t length = static_cast<std::int32_t>(subject.size());
    Require(subject.Mid(first) == ReferenceMid(subject, first, length - first), "Mid to the end");
    break;
  }
  case 'f':
  case 'a':
    Formatted(subject, op, op.letter == 'a');
    break;
  case 'S':
    CheckSplit(subject, op);
    break;
  default:
    break;
  }
  // Substrings and splitting never change the string they are taken from.
  if (op.letter == 'L' || op.letter == 'M' || op.letter == 'm' || op.letter == 'S') {
    Require(subject == before, "a const operation changed the string");
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char *>(data), size);
  ByteString subject;
  for (const fuzz::Operation &operation : fuzz::ParseScript(input, false).operations) {
    Run(subject, operation);
  }
  return 0;
}
