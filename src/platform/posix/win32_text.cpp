#include "platform/posix/win32_text.h"

#include <cstring>

namespace {

constexpr char ReplacementCharacter[] = "\xEF\xBF\xBD";

bool IsHighSurrogate(std::uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(std::uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The UTF-8 form of one code point into out (at least 4 bytes); its length.
int EncodeUtf8(std::uint32_t codePoint, char *out) {
  if (codePoint < 0x80) {
    out[0] = static_cast<char>(codePoint);
    return 1;
  }
  if (codePoint < 0x800) {
    out[0] = static_cast<char>(0xC0 | (codePoint >> 6));
    out[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  if (codePoint < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (codePoint >> 12));
    out[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (codePoint >> 18));
  out[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
  return 4;
}

bool IsSupportedCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_UTF8;
}

// Appends bytes while there is room; counts them either way.
struct Output {
  char *buffer;
  int size;
  int produced;
  bool overflow;

  void Append(const char *bytes, int length) {
    if (buffer != nullptr) {
      if (produced + length > size) {
        overflow = true;
        return;
      }
      std::memcpy(buffer + produced, bytes, static_cast<std::size_t>(length));
    }
    produced += length;
  }
};

} // namespace

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideText, int wideLength,
                        LPSTR multiByteText, int multiByteSize, LPCCH defaultChar,
                        LPBOOL usedDefaultChar) {
  if (wideText == nullptr || wideLength == 0 || wideLength < -1 || multiByteSize < 0 ||
      (multiByteSize > 0 && multiByteText == nullptr) || !IsSupportedCodePage(codePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~WC_NO_BEST_FIT_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  std::size_t count = 0;
  if (wideLength == -1) {
    while (wideText[count] != 0) {
      ++count;
    }
    ++count; // the terminating zero unit is converted too
  } else {
    count = static_cast<std::size_t>(wideLength);
  }
  const char *substitute = defaultChar != nullptr ? defaultChar : ReplacementCharacter;
  const int substituteLength = static_cast<int>(std::strlen(substitute));
  Output output{multiByteSize > 0 ? multiByteText : nullptr, multiByteSize, 0, false};
  bool substituted = false;
  for (std::size_t i = 0; i < count && !output.overflow; ++i) {
    const auto unit = static_cast<std::uint32_t>(wideText[i]);
    std::uint32_t codePoint = unit;
    if (IsHighSurrogate(unit) && i + 1 < count &&
        IsLowSurrogate(static_cast<std::uint32_t>(wideText[i + 1]))) {
      codePoint = 0x10000 + ((unit - 0xD800) << 10) +
                  (static_cast<std::uint32_t>(wideText[i + 1]) - 0xDC00);
      ++i;
    } else if (unit > 0xFFFF || IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      output.Append(substitute, substituteLength);
      substituted = true;
      continue;
    }
    char encoded[4];
    output.Append(encoded, EncodeUtf8(codePoint, encoded));
  }
  if (output.overflow) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (usedDefaultChar != nullptr) {
    *usedDefaultChar = substituted ? TRUE : FALSE;
  }
  return output.produced;
}

namespace {

// The length of the UTF-8 sequence a lead byte begins; 1 for anything else.
std::ptrdiff_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF7) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead <= 0xEF ? 3 : 1;
  }
  return lead >= 0xC0 ? 2 : 1;
}

} // namespace

LPSTR CharPrevA(LPCSTR start, LPCSTR current) {
  if (current <= start) {
    return const_cast<LPSTR>(start);
  }
  const auto *begin = reinterpret_cast<const unsigned char *>(start);
  const auto *end = reinterpret_cast<const unsigned char *>(current);
  const unsigned char *previous = end - 1;
  // The character before current is a lead byte and the continuation bytes
  // it announces, ending right at current; a stray byte stands alone.
  const unsigned char *lead = previous;
  for (int steps = 0; steps < 3 && lead > begin && (*lead & 0xC0) == 0x80; ++steps) {
    --lead;
  }
  if (lead != previous && SequenceLength(*lead) == end - lead) {
    previous = lead;
  }
  return const_cast<LPSTR>(reinterpret_cast<const char *>(previous));
}

UINT GetACP() {
  return CP_UTF8;
}
