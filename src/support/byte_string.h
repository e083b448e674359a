// ByteString: the library's byte string. It is std::string with printf-style
// formatting, clamped substrings, splitting and string-table loading added,
// and no data of its own, so an array of ByteString is an array of
// std::string. Every length and position counts bytes.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>

class ByteString : public std::string {
public:
  ByteString() = default;
  ByteString(const ByteString &) = default;
  ByteString(ByteString &&) noexcept = default;
  ByteString(const std::string &text) : std::string(text) {}
  ByteString(std::string &&text) noexcept : std::string(std::move(text)) {}
  ByteString(const char *text, std::size_t length) : std::string(text, length) {}

  // Text-or-identifier: null gives an empty string; a value from 1 to 65535
  // names an entry of the host program's string table, loaded with
  // LoadResourceString; any other value is a NUL-terminated text.
  ByteString(const char *textOrIdentifier);

  // Copying a string onto itself (or onto one sharing its buffer) does nothing.
  ByteString &operator=(const ByteString &other);
  ByteString &operator=(ByteString &&other) noexcept = default;
  // Null empties the string; a pointer into the string's own text keeps its
  // tail from that byte on; anything else copies the text up to its NUL.
  ByteString &operator=(const char *text);

  // The first count bytes, clamped to [0, length].
  ByteString Left(std::int32_t count) const;
  // count bytes from first, both clamped to the string; negative values count
  // as 0.
  ByteString Mid(std::int32_t first, std::int32_t count) const;
  // Everything from first on; a negative first gives the whole string.
  ByteString Mid(std::int32_t first) const;

  // Replaces the contents with the formatted output, cut at 43008 bytes; NUL
  // bytes of the output stay in the string. A conversion that fails (a wide
  // text the C runtime cannot convert) or a null format leaves the string
  // empty. The formatter is the C runtime's, so "%lu" takes an unsigned long
  // of 32 bits on Windows but 64 on Linux: pass 32-bit values to "%lu" as
  // unsigned long and 64-bit ones to "%llu" as unsigned long long.
  void Format(const char *format, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char *format, va_list arguments) __attribute__((format(printf, 2, 0)));
  // Appends the formatted output when it is 1 to 1023 bytes long; otherwise
  // (and on a failed conversion or a null format) leaves the string unchanged.
  void AppendFormat(const char *format, ...) __attribute__((format(printf, 2, 3)));

  // Loads entry id of the host program's string table, converted to the ANSI
  // code page. True when the platform delivered a non-empty entry. When the
  // entry's block is missing the string is unchanged; when only the entry is
  // missing or empty the string holds what the platform wrote (an empty text
  // on the platforms seen so far).
  //
  // This and the text-or-identifier constructor share one process-wide module
  // handle, fetched on first use, so loads come from one thread at a time.
  bool LoadResourceString(std::uint32_t id);
};

// Cuts text at every occurrence of separator. The pieces come in an array
// made with new[] (release it with delete[]); their number goes to *count when
// count is given. An empty text gives null and a count of 0; an empty (or
// null) separator gives one piece equal to the text. When the array cannot be
// made the result is null with a count of 0.
ByteString *Split(std::int32_t *count, ByteString text, const char *separator);
