// The one line reader for profile files on both builds: binary reads in which
// a CR LF pair becomes LF, as the Windows C runtime's text mode reads, but
// without giving the byte 1A an end-of-file meaning; UTF-16 files are read by
// 16-bit units. Lines of any length are read whole.
#include "profile/profile_internal.h"

#include "platform/fault_injection.h"
#include "platform/file_access.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t ChunkSize = 65536;

bool FillChunk(ProfileReader *reader) {
  reader->chunkPosition = 0;
  reader->chunkLength = ReadFileBlock(reader->stream, reader->chunk, ChunkSize, &reader->failed);
  return reader->chunkLength > 0 && !reader->failed;
}

int NextByte(ProfileReader *reader) {
  if (reader->chunkPosition == reader->chunkLength && !FillChunk(reader)) {
    return EOF;
  }
  return reader->chunk[reader->chunkPosition++];
}

int PeekByte(ProfileReader *reader) {
  if (reader->chunkPosition == reader->chunkLength && !FillChunk(reader)) {
    return EOF;
  }
  return reader->chunk[reader->chunkPosition];
}

// Room for needed bytes and a terminating zero from offset on.
bool ReserveLine(ProfileReader *reader, std::size_t offset, std::size_t needed) {
  const std::size_t wanted = offset + needed + 1;
  if (wanted <= reader->lineCapacity) {
    return true;
  }
  std::size_t capacity = reader->lineCapacity * 2;
  while (capacity < wanted) {
    capacity *= 2;
  }
  auto *grown = static_cast<char *>(FallibleRealloc(reader->line, capacity));
  if (grown == nullptr) {
    reader->failed = true;
    return false;
  }
  reader->line = grown;
  reader->lineCapacity = capacity;
  return true;
}

bool ReserveUnits(ProfileReader *reader, std::size_t wanted) {
  if (wanted <= reader->unitCapacity) {
    return true;
  }
  std::size_t capacity = reader->unitCapacity == 0 ? 4096 : reader->unitCapacity * 2;
  while (capacity < wanted) {
    capacity *= 2;
  }
  auto *grown = static_cast<WCHAR *>(FallibleRealloc(reader->units, capacity * sizeof(WCHAR)));
  if (grown == nullptr) {
    reader->failed = true;
    return false;
  }
  reader->units = grown;
  reader->unitCapacity = capacity;
  return true;
}

char *ReadByteLine(ProfileReader *reader, std::size_t offset) {
  std::size_t length = offset;
  int c = NextByte(reader);
  if (c == EOF) {
    return nullptr;
  }
  for (; c != EOF; c = NextByte(reader)) {
    if (c == '\r' && PeekByte(reader) == '\n') {
      c = NextByte(reader);
    }
    if (!ReserveLine(reader, length, 1)) {
      return nullptr;
    }
    reader->line[length++] = static_cast<char>(c);
    if (c == '\n') {
      break;
    }
  }
  reader->line[length] = '\0';
  return reader->line;
}

// Units up to and including U+000A; a lone byte at the end of the file is
// half a unit and is dropped.
std::size_t ReadUnitLine(ProfileReader *reader) {
  std::size_t count = 0;
  while (true) {
    const int low = NextByte(reader);
    const int high = low == EOF ? EOF : NextByte(reader);
    if (high == EOF || !ReserveUnits(reader, count + 1)) {
      return count;
    }
    const auto unit = static_cast<WCHAR>(low | (high << 8));
    reader->units[count++] = unit;
    if (unit == 0x000A) {
      return count;
    }
  }
}

// A surrogate without its partner stands for no character: one space takes
// its place. Done here rather than left to the conversion's default
// character, which a UTF-8 ANSI code page refuses.
void ReplaceUnpairedSurrogates(WCHAR *units, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    const bool low = units[i] >= 0xDC00 && units[i] <= 0xDFFF;
    if (high && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      ++i;
    } else if (high || low) {
      units[i] = 0x0020;
    }
  }
}

// Units the ANSI code page cannot represent become one space. Should the
// code page refuse a default character (UTF-8 does), convert without one.
int ConvertUnits(const WCHAR *units, int count, char *out, int size) {
  int produced = WideCharToMultiByte(CP_ACP, 0, units, count, out, size, " ", nullptr);
  if (produced == 0) {
    produced = WideCharToMultiByte(CP_ACP, 0, units, count, out, size, nullptr, nullptr);
  }
  return produced;
}

char *ReadUtf16Line(ProfileReader *reader, std::size_t offset) {
  const std::size_t count = ReadUnitLine(reader);
  if (count == 0 || reader->failed) {
    return nullptr;
  }
  if (count > INT_MAX / 4) {
    reader->failed = true;
    return nullptr;
  }
  ReplaceUnpairedSurrogates(reader->units, count);
  const int units = static_cast<int>(count);
  const int needed = ConvertUnits(reader->units, units, nullptr, 0);
  if (needed <= 0 || !ReserveLine(reader, offset, static_cast<std::size_t>(needed))) {
    reader->failed = true;
    return nullptr;
  }
  const int produced = ConvertUnits(reader->units, units, reader->line + offset, needed);
  if (produced != needed) {
    reader->failed = true;
    return nullptr;
  }
  reader->line[offset + static_cast<std::size_t>(produced)] = '\0';
  return reader->line;
}

} // namespace

bool ProfileReaderStart(ProfileReader *reader, std::FILE *stream) {
  *reader = ProfileReader{};
  reader->stream = stream;
  reader->chunk = static_cast<unsigned char *>(FallibleMalloc(ChunkSize));
  reader->line = static_cast<char *>(FallibleMalloc(ProfileLineStartSize));
  reader->lineCapacity = ProfileLineStartSize;
  return reader->chunk != nullptr && reader->line != nullptr;
}

void ProfileReaderEnd(ProfileReader *reader) {
  std::free(reader->chunk);
  std::free(reader->line);
  std::free(reader->units);
  *reader = ProfileReader{};
}

bool ProfileReaderSkipUtf16Mark(ProfileReader *reader) {
  if (reader->chunkLength == 0) {
    FillChunk(reader);
  }
  if (reader->chunkLength >= 2 && reader->chunk[0] == 0xFF && reader->chunk[1] == 0xFE) {
    reader->chunkPosition = 2;
    return true;
  }
  return false;
}

char *ProfileReadLine(ProfileReader *reader, std::size_t offset, const ProfileFile *file) {
  if (reader->failed) {
    return nullptr;
  }
  return file->utf16 != 0 ? ReadUtf16Line(reader, offset) : ReadByteLine(reader, offset);
}
