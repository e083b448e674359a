// MultiByteToWideChar for the UTF-8 ANSI code page.
#include "platform/posix/win32_text.h"

#include <cstring>

namespace {

constexpr std::uint32_t ReplacementCodePoint = 0xFFFD;

bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Decodes the sequence at text[0..available): its length, or 0 when it is not
// valid UTF-8 (the caller then takes one byte as invalid).
int DecodeUtf8(const unsigned char *text, std::size_t available, std::uint32_t &codePoint) {
  const unsigned char lead = text[0];
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  int length = 0;
  std::uint32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    smallest = 0x80;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    smallest = 0x800;
    codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    smallest = 0x10000;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (available < static_cast<std::size_t>(length)) {
    return 0;
  }
  for (int i = 1; i < length; ++i) {
    if (!IsContinuation(text[i])) {
      return 0;
    }
    codePoint = codePoint << 6 | (text[i] & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  return codePoint < smallest || codePoint > 0x10FFFF || surrogate ? 0 : length;
}

struct WideOutput {
  LPWSTR buffer;
  int size;
  int produced;
  bool overflow;

  void Append(std::uint32_t unit) {
    if (buffer != nullptr) {
      if (produced >= size) {
        overflow = true;
        return;
      }
      buffer[produced] = static_cast<WCHAR>(unit);
    }
    ++produced;
  }

  void AppendCodePoint(std::uint32_t codePoint) {
    if (codePoint >= 0x10000) {
      Append(0xD800 + ((codePoint - 0x10000) >> 10));
      Append(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
      Append(codePoint);
    }
  }
};

} // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCCH multiByteText, int multiByteLength,
                        LPWSTR wideText, int wideSize) {
  const bool supported = codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_UTF8;
  if (multiByteText == nullptr || multiByteLength == 0 || multiByteLength < -1 || wideSize < 0 ||
      (wideSize > 0 && wideText == nullptr) || !supported) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if ((flags & ~MB_ERR_INVALID_CHARS) != 0) {
    SetLastError(ERROR_INVALID_FLAGS);
    return 0;
  }
  const std::size_t count = multiByteLength == -1 ? std::strlen(multiByteText) + 1
                                                  : static_cast<std::size_t>(multiByteLength);
  const auto *text = reinterpret_cast<const unsigned char *>(multiByteText);
  WideOutput output{wideSize > 0 ? wideText : nullptr, wideSize, 0, false};
  for (std::size_t i = 0; i < count && !output.overflow;) {
    std::uint32_t codePoint = 0;
    const int length = DecodeUtf8(text + i, count - i, codePoint);
    if (length == 0) {
      if ((flags & MB_ERR_INVALID_CHARS) != 0) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
      }
      codePoint = ReplacementCodePoint;
    }
    output.AppendCodePoint(codePoint);
    i += length == 0 ? 1 : static_cast<std::size_t>(length);
  }
  if (output.overflow) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  return output.produced;
}
