// Write-back of a record read under keep-layout: the file's own bytes, as
// read, with only the lines of what changed rewritten. A changed entry
// becomes one line (its text up to the value as the file had it, the new
// value, its own line end); added entries follow the last entry line of their
// section, added sections the end of the file; a deleted section takes its
// lines up to the next header with it. Everything else is copied as it
// stands, in runs as long as nothing interrupts them, so an unchanged file
// comes back byte for byte. New text goes into a UTF-16 file as UTF-16.
#include "profile/profile_internal.h"

#include "platform/fault_injection.h"
#include "platform/file_access.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

constexpr std::size_t BufferSize = 65536;

struct LineEnd {
  char bytes[4];
  std::size_t length;
};

struct LayoutOutput {
  FileReplacement *replacement;
  const ProfileFile *file;
  const char *bytes; // the file's bytes as read
  char *buffer;      // small pieces, gathered
  std::size_t used;
  std::size_t copyStart; // a run of the file's bytes not yet written
  std::size_t copyEnd;
  bool atLineStart; // what was put so far ends with a line end, or is nothing
  // The last line's text, as put so far, ends in a backslash: with
  // continuation on, a line put behind it would be joined to it.
  bool endsInBackslash;
  LineEnd newLineEnd;
  WCHAR *units; // UTF-16 of converted text
  std::size_t unitCapacity;
  bool failed;
};

bool IsUtf16(const LayoutOutput *out) {
  return out->file->utf16 != 0;
}

// Where the text of the file starts (behind a UTF-16 mark) and ends (before
// half a unit at the end of a UTF-16 file, which is no character).
std::size_t TextStart(const ProfileFile *file) {
  return file->utf16 != 0 ? 2 : 0;
}

std::size_t TextEnd(const ProfileFile *file) {
  return file->utf16 != 0 ? file->byteCount - (file->byteCount - 2) % 2 : file->byteCount;
}

unsigned UnitAt(const char *bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
}

// Whether the file's text up to end finishes a line (or is empty there).
bool EndsLine(const ProfileFile *file, std::size_t end) {
  if (end <= TextStart(file)) {
    return true;
  }
  if (file->utf16 != 0) {
    return end >= 4 && UnitAt(file->bytes, end - 2) == 0x000A;
  }
  return file->bytes[end - 1] == '\n';
}

// The line end of the line that ends at end: LF, CR LF, or none.
std::size_t LineEndLength(const ProfileFile *file, std::size_t start, std::size_t end) {
  if (!EndsLine(file, end) || end <= start) {
    return 0;
  }
  const std::size_t unit = file->utf16 != 0 ? 2 : 1;
  if (end - start < 2 * unit) {
    return unit;
  }
  const bool carriageReturn =
      file->utf16 != 0 ? UnitAt(file->bytes, end - 4) == 0x000D : file->bytes[end - 2] == '\r';
  return carriageReturn ? 2 * unit : unit;
}

// New lines end as the file's first line does; CR LF when it has no line end.
LineEnd FileLineEnd(const ProfileFile *file) {
  const bool utf16 = file->utf16 != 0;
  std::size_t end = TextStart(file);
  const std::size_t limit = TextEnd(file);
  while (end < limit && !(utf16 ? UnitAt(file->bytes, end) == 0x000A : file->bytes[end] == '\n')) {
    end += utf16 ? 2 : 1;
  }
  bool carriageReturnFirst = true;
  if (end < limit) {
    end += utf16 ? 2 : 1;
    carriageReturnFirst = LineEndLength(file, TextStart(file), end) == (utf16 ? 4u : 2u);
  }
  if (utf16) {
    return carriageReturnFirst ? LineEnd{{'\r', 0, '\n', 0}, 4} : LineEnd{{'\n', 0}, 2};
  }
  return carriageReturnFirst ? LineEnd{{'\r', '\n'}, 2} : LineEnd{{'\n'}, 1};
}

// --- Output ---

void WriteOut(LayoutOutput *out, const char *bytes, std::size_t length) {
  if (!out->failed && length > 0 && !WriteFileReplacement(out->replacement, bytes, length)) {
    out->failed = true;
  }
}

void FlushBuffer(LayoutOutput *out) {
  WriteOut(out, out->buffer, out->used);
  out->used = 0;
}

void PutRaw(LayoutOutput *out, const char *bytes, std::size_t length) {
  if (length > BufferSize - out->used) {
    FlushBuffer(out);
    if (length > BufferSize) {
      WriteOut(out, bytes, length);
      return;
    }
  }
  std::memcpy(out->buffer + out->used, bytes, length);
  out->used += length;
}

void FlushCopy(LayoutOutput *out) {
  PutRaw(out, out->bytes + out->copyStart, out->copyEnd - out->copyStart);
  out->copyStart = out->copyEnd;
}

// Where the text of the line ending at end stops: before its line end as
// the reader sees it (LF, or CR LF in an 8-bit file, where it reads as LF).
std::size_t TextStop(const ProfileFile *file, std::size_t start, std::size_t end) {
  if (file->utf16 != 0) {
    return EndsLine(file, end) ? end - 2 : end;
  }
  return end - LineEndLength(file, start, end);
}

// Whether the text from start to stop ends in a backslash, stepping back one
// character as the reader does.
bool BackslashBefore(const ProfileFile *file, std::size_t start, std::size_t stop) {
  if (file->utf16 != 0) {
    return stop >= start + 2 && UnitAt(file->bytes, stop - 2) == 0x005C;
  }
  const char *begin = file->bytes + start;
  const char *previous = CharPrevA(begin, file->bytes + stop);
  return previous != file->bytes + stop && *previous == '\\';
}

// Whether the line whose text stops at stop holds a zero: the reader's text
// of it ends there, and such a line never goes on in the next one.
bool ZeroInLine(const ProfileFile *file, std::size_t stop) {
  const std::size_t unit = file->utf16 != 0 ? 2 : 1;
  for (std::size_t at = stop; at >= TextStart(file) + unit; at -= unit) {
    const unsigned c = file->utf16 != 0 ? UnitAt(file->bytes, at - unit)
                                        : static_cast<unsigned char>(file->bytes[at - 1]);
    if (c == '\n') {
      return false;
    }
    if (c == 0) {
      return true;
    }
  }
  return false;
}

// The file's bytes from start to end, joined to the run before when it ends
// there.
void Copy(LayoutOutput *out, std::size_t start, std::size_t end) {
  if (end <= start) {
    return;
  }
  if (start != out->copyEnd) {
    FlushCopy(out);
    out->copyStart = start;
  }
  out->copyEnd = end;
  out->atLineStart = EndsLine(out->file, end);
  const std::size_t stop = TextStop(out->file, start, end);
  if (stop > start) {
    out->endsInBackslash = BackslashBefore(out->file, start, stop) && !ZeroInLine(out->file, stop);
  }
}

// Bytes of new text, in the file's encoding; nothing for a failed
// conversion, which fails the write-back.
void PutBytes(LayoutOutput *out, const char *bytes, std::size_t length) {
  FlushCopy(out);
  PutRaw(out, bytes, length);
}

bool ReserveUnits(LayoutOutput *out, std::size_t wanted) {
  if (wanted <= out->unitCapacity) {
    return true;
  }
  auto *grown = static_cast<WCHAR *>(FallibleRealloc(out->units, wanted * sizeof(WCHAR)));
  if (grown == nullptr) {
    return false;
  }
  out->units = grown;
  out->unitCapacity = wanted;
  return true;
}

void PutText(LayoutOutput *out, const char *text, std::size_t length) {
  if (length == 0) {
    return;
  }
  out->atLineStart = false;
  out->endsInBackslash = *CharPrevA(text, text + length) == '\\';
  if (!IsUtf16(out)) {
    PutBytes(out, text, length);
    return;
  }
  const int size = length > INT_MAX ? 0 : static_cast<int>(length);
  const int needed = size == 0 ? 0 : MultiByteToWideChar(CP_ACP, 0, text, size, nullptr, 0);
  if (needed <= 0 || !ReserveUnits(out, static_cast<std::size_t>(needed)) ||
      MultiByteToWideChar(CP_ACP, 0, text, size, out->units, needed) != needed) {
    out->failed = true;
    return;
  }
  FlushCopy(out);
  for (int i = 0; i < needed; ++i) {
    const char pair[2] = {static_cast<char>(out->units[i] & 0xFF),
                          static_cast<char>((out->units[i] >> 8) & 0xFF)};
    PutRaw(out, pair, 2);
  }
}

void PutText(LayoutOutput *out, const char *text) {
  PutText(out, text, std::strlen(text));
}

void PutNewLineEnd(LayoutOutput *out) {
  PutBytes(out, out->newLineEnd.bytes, out->newLineEnd.length);
  out->atLineStart = true;
}

// A new line begins on a line of its own, also after a last line that had
// no line end. Behind the file's last line, which the reader could not join
// to anything, a backslash ending it would now join the new line: one space
// before its line end (trimmed on reading) stops that.
void StartNewLine(LayoutOutput *out) {
  if (out->file->continuation != 0 && out->endsInBackslash) {
    if (out->atLineStart) {
      // The line end is the end of the run of the file's bytes just copied.
      const std::size_t end = out->copyEnd;
      const std::size_t stop = TextStop(out->file, out->copyStart, end);
      out->copyEnd = stop;
      FlushCopy(out);
      PutText(out, " ");
      Copy(out, stop, end);
    } else {
      PutText(out, " ");
    }
  }
  if (!out->atLineStart) {
    PutNewLineEnd(out);
  }
}

// --- Lines ---

// Read back with continuation on, a value ending in a backslash would join
// the next line to it; a space behind it stops that and is trimmed on reading.
bool NeedsGuardSpace(const ProfileFile *file, const ProfileEntry *entry, std::size_t length) {
  if (file->continuation == 0 || entry->quoted == 1 || length == 0) {
    return false;
  }
  return *CharPrevA(entry->value, entry->value + length) == '\\';
}

void PutValue(LayoutOutput *out, const ProfileEntry *entry) {
  const std::size_t length = std::strlen(entry->value);
  const char *quote = entry->quoted == 1 ? "\"" : "";
  PutText(out, quote);
  PutText(out, entry->value, length);
  PutText(out, quote);
  PutText(out, NeedsGuardSpace(out->file, entry, length) ? " " : "");
}

// The line's text from start up to the value, as the file had it, without
// the backslashes and line ends that joined its physical lines.
void CopyUpToValue(LayoutOutput *out, std::size_t start, std::size_t valueStart) {
  const bool utf16 = IsUtf16(out);
  const std::size_t unit = utf16 ? 2 : 1;
  std::size_t piece = start;
  for (std::size_t at = start; at < valueStart; at += unit) {
    if (utf16 ? UnitAt(out->bytes, at) != 0x000A : out->bytes[at] != '\n') {
      continue;
    }
    // 8-bit files read CR LF as LF, so a backslash before either joins.
    std::size_t backslash = at - unit;
    if (!utf16 && out->bytes[backslash] == '\r') {
      --backslash;
    }
    Copy(out, piece, backslash);
    piece = at + unit;
  }
  Copy(out, piece, valueStart);
}

// Where the value as read of an entry parsed in place ends, while the file's
// bytes are as read: the parser's own steps over its line's text (up to its
// line end, or a zero byte before it), trimmed, before a closing quote.
std::size_t ReadValueEnd(const ProfileFile *file, const ProfileSpan &span) {
  const std::size_t start = span.valueStart();
  std::size_t end = span.lineEnd() - LineEndLength(file, span.lineStart, span.lineEnd());
  const auto *zero = static_cast<const char *>(std::memchr(file->bytes + start, '\0', end - start));
  if (zero != nullptr) {
    end = static_cast<std::size_t>(zero - file->bytes);
  }
  while (end > start && ProfileIsSpace(file->bytes[end - 1])) {
    --end;
  }
  return end - span.readQuoted;
}

// Told by length, since the value read may stand in the file's bytes as
// read, without its zero byte. Only a value an update replaced is compared.
bool ValueChanged(const ProfileFile *file, const ProfileEntry &entry, const ProfileSpan &span) {
  const char *read = ProfileReadValue(file, entry, span);
  if (entry.quoted != span.readQuoted) {
    return true;
  }
  const std::size_t length = span.copied != 0
                                 ? std::strlen(read)
                                 : ReadValueEnd(file, span) - span.valueStart() - span.readQuoted;
  return std::strlen(entry.value) != length || std::memcmp(entry.value, read, length) != 0;
}

// One line for an entry whose value changed, ending as its last line did.
void RewriteEntry(LayoutOutput *out, const ProfileEntry &entry, const ProfileSpan &span) {
  CopyUpToValue(out, span.lineStart, span.valueStart());
  PutValue(out, &entry);
  const std::size_t ending = LineEndLength(out->file, span.lineStart, span.lineEnd());
  Copy(out, span.lineEnd() - ending, span.lineEnd());
  if (ending == 0) {
    out->atLineStart = false;
  }
}

void PutNewEntry(LayoutOutput *out, const ProfileEntry *entry) {
  StartNewLine(out);
  PutText(out, entry->name, entry->nameLength);
  PutText(out, "=");
  PutValue(out, entry);
  PutNewLineEnd(out);
}

void PutAddedSection(LayoutOutput *out, const ProfileSection *section) {
  StartNewLine(out);
  PutText(out, "[");
  PutText(out, section->name, section->nameLength);
  PutText(out, "]");
  PutNewLineEnd(out);
  for (const ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
    PutNewEntry(out, entry);
  }
}

// Whether a read entry still holds the value it was read with (the very
// text, not an equal one an update set, which is allocated alone).
bool HoldsReadValue(const ProfileFile *file, const ProfileEntry &entry) {
  return ProfileIsFileText(file, entry.value);
}

// A read section's lines from start to end: changed entries rewritten,
// added ones behind its last entry line (or its header). Only the spans of
// entries an update reached are needed, and of the last one.
void PutReadSection(LayoutOutput *out, const ProfileSection *section, std::size_t start,
                    std::size_t end) {
  const ProfileFile *file = out->file;
  std::size_t position = start;
  for (std::uint32_t i = 0; i < section->readEntryCount; ++i) {
    if (HoldsReadValue(file, section->readEntries[i])) {
      continue;
    }
    const ProfileSpan span = ProfileReadEntrySpan(file, section, i);
    if (ValueChanged(file, section->readEntries[i], span)) {
      Copy(out, position, span.lineStart);
      RewriteEntry(out, section->readEntries[i], span);
      position = span.lineEnd();
    }
  }
  if (section->addedEntryCount > 0) {
    const std::uint32_t count = section->readEntryCount;
    const std::size_t lastEntryLineEnd =
        count > 0 ? ProfileReadEntrySpan(file, section, count - 1).lineEnd()
                  : section->headerSpan.lineEnd();
    Copy(out, position, lastEntryLineEnd);
    position = std::max(position, lastEntryLineEnd);
    for (std::uint32_t i = 0; i < section->addedEntryCount; ++i) {
      PutNewEntry(out, section->addedEntries[i]);
    }
  }
  Copy(out, position, end);
}

// The headers of the sections deleted since reading, in file order.
std::size_t *SortedDeletedHeaders(const ProfileFile *file, bool *failed) {
  const std::uint32_t count = file->deletedHeaderCount;
  if (count == 0) {
    return nullptr;
  }
  auto *sorted = static_cast<std::size_t *>(FallibleMalloc(count * sizeof(std::size_t)));
  if (sorted == nullptr) {
    *failed = true;
    return nullptr;
  }
  std::memcpy(sorted, file->deletedHeaders, count * sizeof(std::size_t));
  std::sort(sorted, sorted + count);
  return sorted;
}

// The read sections that remain and the places of those deleted, merged in
// file order: each owns the lines from its header up to the next header.
void PutReadSections(LayoutOutput *out, const std::size_t *deleted) {
  const ProfileFile *file = out->file;
  const ProfileSection *section = file->firstSection;
  std::uint32_t nextDeleted = 0;
  const auto nextHeader = [&](const ProfileSection *remaining, std::uint32_t gone) {
    const bool haveRemaining = remaining != nullptr && remaining->readFromFile == 1;
    const std::size_t remainingStart = haveRemaining ? remaining->headerSpan.lineStart : SIZE_MAX;
    const std::size_t goneStart = gone < file->deletedHeaderCount ? deleted[gone] : SIZE_MAX;
    return std::min(remainingStart, goneStart);
  };
  std::size_t position = TextStart(file);
  Copy(out, 0, position);
  for (std::size_t start = nextHeader(section, 0); start != SIZE_MAX;) {
    Copy(out, position, start);
    const bool isDeleted = nextDeleted < file->deletedHeaderCount && deleted[nextDeleted] == start;
    const ProfileSection *remainingAfter = isDeleted ? section : section->next;
    const std::uint32_t deletedAfter = isDeleted ? nextDeleted + 1 : nextDeleted;
    const std::size_t next = nextHeader(remainingAfter, deletedAfter);
    const std::size_t end = next == SIZE_MAX ? TextEnd(file) : next;
    if (!isDeleted) {
      PutReadSection(out, section, start, end);
    }
    section = remainingAfter;
    nextDeleted = deletedAfter;
    position = end;
    start = next;
  }
  Copy(out, position, TextEnd(file));
}

// Whether an entry's text lies in the file's bytes: else it was copied.
bool ParsedInPlace(const ProfileFile *file, const ProfileEntry &entry) {
  return file->bytes != nullptr && entry.name >= file->bytes &&
         entry.name < file->bytes + file->byteCount;
}

// Calls putHeader(section) and putEntry(section, index) for every header and
// entry of the sections still there that was parsed in place in the file's
// bytes. Lines whose text was copied hold no zero bytes of ours.
template <typename PutHeader, typename PutEntry>
void ForEachInPlaceRecord(ProfileFile *file, PutHeader putHeader, PutEntry putEntry) {
  for (ProfileSection *section = file->firstSection; section != nullptr; section = section->next) {
    if (section->readFromFile == 0) {
      continue;
    }
    if (section->headerSpan.copied == 0) {
      putHeader(section);
    }
    for (std::uint32_t i = 0; i < section->readEntryCount; ++i) {
      if (ParsedInPlace(file, section->readEntries[i])) {
        putEntry(section, i);
      }
    }
  }
}

// The span kept for an entry whose text was copied, found by its name's place.
ProfileSpan ApartSpan(const ProfileFile *file, const ProfileEntry &entry) {
  const ProfileApartSpan *begin = file->apartSpans;
  const ProfileApartSpan *end = begin + file->apartSpanCount;
  const ProfileApartSpan *found =
      std::lower_bound(begin, end, static_cast<const char *>(entry.name),
                       [](const ProfileApartSpan &kept, const char *name) {
                         return std::less<const char *>()(kept.name, name);
                       });
  return found != end && found->name == entry.name ? found->span : ProfileSpan{};
}

// The span of an entry parsed in place, which keeps none: its line is the one
// physical line holding its name, which starts behind the white space before
// the name, and is split again as the parser split it.
ProfileSpan FoundEntrySpan(const ProfileFile *file, const ProfileEntry &entry) {
  const char *bytes = file->bytes;
  auto lineStart = static_cast<std::size_t>(entry.name - bytes);
  // Behind a line feed, or a zero byte of ours in its place.
  while (lineStart > 0 && bytes[lineStart - 1] != '\n' && ProfileIsSpace(bytes[lineStart - 1])) {
    --lineStart;
  }
  ProfileLine line{};
  ProfileByteLineAt(file, lineStart, true, &line);
  ProfileEntryText parts{};
  ProfileSplitEntry(line.text, line.length, &parts);
  const std::size_t valueStart = parts.valueStart - static_cast<std::size_t>(parts.quoted);
  return {static_cast<std::uint32_t>(lineStart),
          static_cast<std::uint32_t>(valueStart),
          static_cast<std::uint32_t>(line.end - lineStart),
          static_cast<std::uint8_t>(parts.quoted),
          0,
          '\0'};
}

bool PutKeptLayout(FileReplacement *replacement, const ProfileFile *file) {
  LayoutOutput out{};
  out.replacement = replacement;
  out.file = file;
  out.bytes = file->bytes != nullptr ? file->bytes : "";
  out.buffer = static_cast<char *>(FallibleMalloc(BufferSize));
  out.atLineStart = true;
  out.newLineEnd = FileLineEnd(file);
  bool failed = out.buffer == nullptr;
  std::size_t *deleted = SortedDeletedHeaders(file, &failed);
  if (!failed) {
    PutReadSections(&out, deleted);
    for (const ProfileSection *section = file->firstSection; section != nullptr;
         section = section->next) {
      if (section->readFromFile == 0) {
        PutAddedSection(&out, section);
      }
    }
    Copy(&out, TextEnd(file), file->byteCount);
    FlushCopy(&out);
    FlushBuffer(&out);
    failed = out.failed;
  }
  std::free(deleted);
  std::free(out.units);
  std::free(out.buffer);
  return !failed;
}

} // namespace

// While the text is ended, a value parsed in place ends at its zero byte.
namespace {

// Puts back the bytes as read; the places of the values' zero bytes go to
// valueEnds, in the order of the walk, when it is given. With its name's
// put back, an entry's value ends at the first zero byte behind its name:
// the zero bytes of other lines lie before it or after its own.
void RestoreFileBytes(ProfileFile *file, std::uint32_t *valueEnds) {
  std::size_t next = 0;
  ForEachInPlaceRecord(
      file,
      [&](ProfileSection *section) {
        section->name[section->nameLength] = section->headerSpan.nameEndByte;
      },
      [&](ProfileSection *section, std::uint32_t index) {
        const ProfileEntry &entry = section->readEntries[index];
        char *nameEnd = entry.name + entry.nameLength;
        *nameEnd = entry.nameEndByte;
        char *end = nameEnd + 1 + std::strlen(nameEnd + 1);
        *end = entry.valueEndByte;
        if (valueEnds != nullptr) {
          valueEnds[next++] = static_cast<std::uint32_t>(end - file->bytes);
        }
      });
}

// Ends the names and values again; a value's end is taken from valueEnds
// when given, else found as the parser found it, from the entry's line,
// whose bytes are still as read.
void TerminateFileText(ProfileFile *file, const std::uint32_t *valueEnds) {
  std::size_t next = 0;
  ForEachInPlaceRecord(
      file, [&](ProfileSection *section) { section->name[section->nameLength] = '\0'; },
      [&](ProfileSection *section, std::uint32_t index) {
        const ProfileEntry &entry = section->readEntries[index];
        const std::size_t valueEnd =
            valueEnds != nullptr ? valueEnds[next++]
                                 : ReadValueEnd(file, ProfileReadEntrySpan(file, section, index));
        entry.name[entry.nameLength] = '\0';
        file->bytes[valueEnd] = '\0';
      });
}

// Room for the value ends of every read entry: null when there are none or
// memory ran out, and the values' ends are then found again.
std::uint32_t *ValueEndsRoom(const ProfileFile *file) {
  std::size_t count = 0;
  for (const ProfileSection *section = file->firstSection; section != nullptr;
       section = section->next) {
    count += section->readFromFile != 0 ? section->readEntryCount : 0;
  }
  return count > 0 ? static_cast<std::uint32_t *>(FallibleMalloc(count * sizeof(std::uint32_t)))
                   : nullptr;
}

} // namespace

// While the text is ended, a value parsed in place ends at its zero byte.
void ProfileRestoreFileBytes(ProfileFile *file) {
  RestoreFileBytes(file, nullptr);
}

// With the bytes as read, a value's end is found as the parser found it.
void ProfileTerminateFileText(ProfileFile *file) {
  TerminateFileText(file, nullptr);
}

// The file's bytes are put back as read for the write (the read names and
// values are not used meanwhile), and ended again afterwards, at the places
// noted while putting them back.
bool ProfilePutKeptLayout(FileReplacement *replacement, ProfileFile *file) {
  std::uint32_t *valueEnds = ValueEndsRoom(file);
  RestoreFileBytes(file, valueEnds);
  const bool written = PutKeptLayout(replacement, file);
  TerminateFileText(file, valueEnds);
  std::free(valueEnds);
  return written;
}

ProfileSpan ProfileReadEntrySpan(const ProfileFile *file, const ProfileSection *section,
                                 std::uint32_t index) {
  const ProfileEntry &entry = section->readEntries[index];
  return ParsedInPlace(file, entry) ? FoundEntrySpan(file, entry) : ApartSpan(file, entry);
}

bool ProfileTextFitsFile(const ProfileFile *file, const char *text) {
  if (file->utf16 == 0 || file->layoutKept == 0 || text == nullptr || text[0] == '\0') {
    return true;
  }
  const std::size_t length = std::strlen(text);
  return length <= INT_MAX && MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text,
                                                  static_cast<int>(length), nullptr, 0) > 0;
}

bool ProfileNoteDeletedSection(ProfileFile *file, const ProfileSection *section) {
  if (file->layoutKept == 0 || section->readFromFile == 0) {
    return true;
  }
  if (file->deletedHeaderCount == file->deletedHeaderCapacity) {
    const std::uint32_t capacity =
        file->deletedHeaderCapacity == 0 ? 8 : file->deletedHeaderCapacity * 2;
    auto *grown = static_cast<std::size_t *>(
        FallibleRealloc(file->deletedHeaders, capacity * sizeof(std::size_t)));
    if (grown == nullptr) {
      return false;
    }
    file->deletedHeaders = grown;
    file->deletedHeaderCapacity = capacity;
  }
  file->deletedHeaders[file->deletedHeaderCount++] = section->headerSpan.lineStart;
  return true;
}
