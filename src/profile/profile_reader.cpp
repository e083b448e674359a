// The one line reader for profile files on both builds, over the file's bytes
// read whole: a CR LF pair reads as LF, as the Windows C runtime's text mode
// reads, but the byte 1A means nothing special; UTF-16 files are read by
// 16-bit units and converted line by line. Lines of any length are read whole.
#include "profile/profile_internal.h"

#include "platform/fault_injection.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// A surrogate without its partner stands for no character: one space takes
// its place. Done here rather than left to the conversion's default
// character, which a UTF-8 ANSI code page refuses. Answers whether any was.
bool ReplaceUnpairedSurrogates(WCHAR *units, std::size_t count) {
  bool replaced = false;
  for (std::size_t i = 0; i < count; ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      units[i] = 0x0020;
      replaced = true;
    }
  }
  return replaced;
}

// Units the ANSI code page cannot represent become one space. Should the
// code page refuse a default character (UTF-8 does), convert without one.
// *replaced is set when a unit did not convert to itself: it had no
// character of the code page, or only a look-alike ("best fit").
int ConvertUnits(const WCHAR *units, int count, char *out, int size, bool *replaced) {
  BOOL usedDefault = FALSE;
  int produced = WideCharToMultiByte(CP_ACP, 0, units, count, out, size, " ", &usedDefault);
  if (produced == 0) {
    return WideCharToMultiByte(CP_ACP, 0, units, count, out, size, nullptr, nullptr);
  }
  BOOL inexact = FALSE;
  if (usedDefault == FALSE) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, nullptr, 0, " ", &inexact);
  }
  if (usedDefault != FALSE || inexact != FALSE) {
    *replaced = true;
  }
  return produced;
}

// The units from the reader's position up to and including U+000A into
// reader->units; a lone byte at the end of the file is half a unit and is
// dropped. Their count, 0 at the end of the file.
std::size_t ReadUnits(ProfileReader *reader) {
  const ProfileFile *file = reader->file;
  const auto *bytes = reinterpret_cast<const unsigned char *>(file->bytes);
  std::size_t at = reader->position;
  std::size_t count = 0;
  while (at + 1 < file->byteCount) {
    if (!ProfileReserve(&reader->units, &reader->unitCapacity, count + 1)) {
      reader->failed = true;
      return 0;
    }
    const auto unit = static_cast<WCHAR>(bytes[at] | (bytes[at + 1] << 8));
    reader->units[count++] = unit;
    at += 2;
    if (unit == 0x000A) {
      break;
    }
  }
  reader->position = at;
  return count;
}

// One UTF-16 line converted into reader->line from offset on; the logical
// line's text is reader->line from its start.
bool ReadUtf16Line(ProfileReader *reader, std::size_t offset, ProfileLine *line) {
  const std::size_t start = reader->position;
  const std::size_t count = ReadUnits(reader);
  if (count == 0) {
    return false;
  }
  if (count > INT_MAX / 4) {
    reader->failed = true;
    return false;
  }
  if (ReplaceUnpairedSurrogates(reader->units, count)) {
    reader->replaced = true;
  }
  const int units = static_cast<int>(count);
  const int needed = ConvertUnits(reader->units, units, nullptr, 0, &reader->replaced);
  if (needed <= 0 || !ProfileReserve(&reader->line, &reader->lineCapacity,
                                     offset + static_cast<std::size_t>(needed))) {
    reader->failed = true;
    return false;
  }
  char *out = reader->line + offset;
  if (ConvertUnits(reader->units, units, out, needed, &reader->replaced) != needed) {
    reader->failed = true;
    return false;
  }
  // The text ends at its first zero byte; a line feed at its end ends the line.
  const auto *zero = static_cast<const char *>(std::memchr(out, '\0', needed));
  std::size_t length = zero != nullptr ? static_cast<std::size_t>(zero - out) : needed;
  line->lineFeed = length > 0 && out[length - 1] == '\n';
  if (line->lineFeed) {
    --length;
  }
  line->text = reader->line;
  line->length = offset + length;
  line->start = start;
  line->end = reader->position;
  return true;
}

bool AddPiece(ProfileReader *reader, std::size_t textOffset, std::size_t byteOffset) {
  if (reader->file->keepLayout == 0) {
    return true;
  }
  if (!ProfileReserve(&reader->pieces, &reader->pieceCapacity, reader->pieceCount + 1)) {
    reader->failed = true;
    return false;
  }
  reader->pieces[reader->pieceCount++] = {textOffset, byteOffset};
  return true;
}

// Joins the next physical line to line at offset at, over the backslash and
// the line feed; false (line unchanged) at the end of the file.
bool JoinNextLine(ProfileReader *reader, ProfileLine *line, std::size_t at) {
  const std::size_t first = line->start;
  ProfileLine next{};
  if (reader->file->utf16 != 0) {
    if (!ReadUtf16Line(reader, at, &next)) {
      return false;
    }
  } else {
    if (!ProfileReadByteLine(reader, &next)) {
      return false;
    }
    if (reader->file->keepLayout != 0) {
      // The file's bytes stay as read: the joined line is put together apart.
      const bool apart = line->text == reader->line;
      if (!ProfileReserve(&reader->line, &reader->lineCapacity, at + next.length + 1)) {
        reader->failed = true;
        return false;
      }
      if (!apart) {
        std::memcpy(reader->line, line->text, at);
      }
      line->text = reader->line;
    }
    std::memmove(line->text + at, next.text, next.length);
    next.text = line->text;
    next.length += at;
  }
  line->text = next.text;
  line->length = next.length;
  line->lineFeed = next.lineFeed;
  line->end = next.end;
  // A line read whole is one piece, which ProfileByteOffset knows without
  // being told; only joined lines note theirs.
  if (reader->pieceCount == 0 && !AddPiece(reader, 0, first)) {
    return false;
  }
  return AddPiece(reader, at, next.start);
}

// The offset of the backslash that continues the line on the next one, or
// -1: the line ends in a line feed whose preceding character is a backslash.
// Stepping back with CharPrevA never takes the second byte of a double-byte
// character for one.
std::ptrdiff_t ContinuationPoint(const ProfileLine *line) {
  if (!line->lineFeed || line->length == 0) {
    return -1;
  }
  const char *lineFeed = line->text + line->length;
  const char *previous = CharPrevA(line->text, lineFeed);
  if (previous == lineFeed || *previous != '\\') {
    return -1;
  }
  return previous - line->text;
}

// How many bytes of the ANSI code page one character of units takes.
std::size_t ConvertedLength(const WCHAR *units, int count) {
  bool ignored = false;
  const int length = ConvertUnits(units, count, nullptr, 0, &ignored);
  return length > 0 ? static_cast<std::size_t>(length) : 1;
}

// Whether the count units at bytes are all below 0x80, which convert to one
// byte each: the usual case, told eight bytes at a time (little-endian).
bool AsciiUnits(const unsigned char *bytes, std::size_t count) {
  const std::size_t length = count * 2;
  std::size_t at = 0;
  for (; at + 8 <= length; at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + at, sizeof word);
    if ((word & 0xFF80FF80FF80FF80u) != 0) {
      return false;
    }
  }
  for (; at < length; at += 2) {
    if (bytes[at] >= 0x80 || bytes[at + 1] != 0) {
      return false;
    }
  }
  return true;
}

} // namespace

bool ProfileReaderStart(ProfileReader *reader, ProfileFile *file) {
  *reader = ProfileReader{};
  reader->file = file;
  reader->inPlace = file->utf16 == 0;
  reader->zeroBytes = std::memchr(file->bytes, '\0', file->byteCount) != nullptr;
  reader->position = file->utf16 != 0 ? 2 : 0;
  // Spans keep 32-bit offsets into the bytes.
  if (file->keepLayout != 0 && file->byteCount > UINT32_MAX) {
    return false;
  }
  if (reader->inPlace) {
    // The names and values stay where they are; the zero byte after the
    // bytes ends the last one.
    file->text = file->bytes;
    file->textSize = file->byteCount + 1;
    return true;
  }
  // Converted UTF-16 text takes at most 3 bytes per unit.
  if (file->byteCount > SIZE_MAX / 4) {
    return false;
  }
  file->textSize = file->byteCount * 3 + 2;
  file->text = static_cast<char *>(FallibleMalloc(file->textSize + ProfileTextPadding));
  if (file->text == nullptr) {
    return false;
  }
  std::memset(file->text + file->textSize, 0, ProfileTextPadding);
  return true;
}

void ProfileReaderEnd(ProfileReader *reader) {
  std::free(reader->line);
  std::free(reader->units);
  std::free(reader->pieces);
  std::free(reader->block);
  *reader = ProfileReader{};
}

bool ProfileReadLine(ProfileReader *reader, ProfileLine *line) {
  if (reader->failed) {
    return false;
  }
  return reader->file->utf16 != 0 ? ReadUtf16Line(reader, 0, line)
                                  : ProfileReadByteLine(reader, line);
}

bool ProfileReadLogicalLine(ProfileReader *reader, ProfileLine *line) {
  if (reader->pending) {
    reader->pending = false;
    *line = reader->pendingLine;
    return true;
  }
  reader->pieceCount = 0;
  if (!ProfileReadLine(reader, line)) {
    return false;
  }
  if (reader->file->continuation == 0) {
    return true;
  }
  for (std::ptrdiff_t at = ContinuationPoint(line); at >= 0; at = ContinuationPoint(line)) {
    if (!JoinNextLine(reader, line, static_cast<std::size_t>(at))) {
      break;
    }
  }
  return !reader->failed;
}

std::size_t ProfileByteOffset(const ProfileReader *reader, const ProfileLine *line,
                              std::size_t textOffset) {
  std::size_t piece = 0;
  while (piece + 1 < reader->pieceCount && reader->pieces[piece + 1].textOffset <= textOffset) {
    ++piece;
  }
  const ProfileLinePiece &from =
      reader->pieceCount > 0 ? reader->pieces[piece] : ProfileLinePiece{0, line->start};
  std::size_t left = textOffset - from.textOffset;
  if (reader->file->utf16 == 0) {
    return from.byteOffset + left;
  }
  // Walk the piece's units until their converted text covers the offset.
  const auto *bytes = reinterpret_cast<const unsigned char *>(reader->file->bytes);
  std::size_t at = from.byteOffset;
  if (left <= (reader->file->byteCount - at) / 2 && AsciiUnits(bytes + at, left)) {
    return at + 2 * left;
  }
  while (left > 0 && at + 1 < reader->file->byteCount) {
    WCHAR pair[2] = {static_cast<WCHAR>(bytes[at] | (bytes[at + 1] << 8)), 0};
    int count = 1;
    if (pair[0] >= 0xD800 && pair[0] <= 0xDBFF && at + 3 < reader->file->byteCount) {
      pair[1] = static_cast<WCHAR>(bytes[at + 2] | (bytes[at + 3] << 8));
      count = pair[1] >= 0xDC00 && pair[1] <= 0xDFFF ? 2 : 1;
    }
    if (pair[0] >= 0xD800 && pair[0] <= 0xDFFF && count == 1) {
      pair[0] = 0x0020; // unpaired: read as one space
    }
    const std::size_t length = pair[0] < 0x80 ? 1 : ConvertedLength(pair, count);
    left = length < left ? left - length : 0;
    at += 2 * static_cast<std::size_t>(count);
  }
  return at;
}
