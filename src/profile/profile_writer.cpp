#include "profile/profile_internal.h"

#include "platform/fault_injection.h"
#include "platform/file_access.h"

#include <cstdlib>
#include <cstring>

namespace {

// The text of the file gathers in one buffer and goes to the temporary file
// in blocks of its size: one write of the seam per block.
constexpr std::size_t OutputBufferSize = 65536;

struct Output {
  FileReplacement *replacement;
  char *buffer;
  std::size_t used;
  bool failed;
};

void Flush(Output *out) {
  if (!out->failed && out->used > 0 &&
      !WriteFileReplacement(out->replacement, out->buffer, out->used)) {
    out->failed = true;
  }
  out->used = 0;
}

void PutBytes(Output *out, const char *bytes, std::size_t length) {
  while (length > 0) {
    if (out->used == OutputBufferSize) {
      Flush(out);
    }
    const std::size_t room = OutputBufferSize - out->used;
    const std::size_t taken = length < room ? length : room;
    std::memcpy(out->buffer + out->used, bytes, taken);
    out->used += taken;
    bytes += taken;
    length -= taken;
  }
}

// Puts text with every line feed as CR LF, as profile files are Windows
// text files on every build.
void Put(Output *out, const char *text, std::size_t length) {
  const char *end = text + length;
  for (const char *lineFeed = static_cast<const char *>(std::memchr(text, '\n', length));
       lineFeed != nullptr; lineFeed = static_cast<const char *>(
                                std::memchr(text, '\n', static_cast<std::size_t>(end - text)))) {
    PutBytes(out, text, static_cast<std::size_t>(lineFeed - text));
    PutBytes(out, "\r\n", 2);
    text = lineFeed + 1;
  }
  PutBytes(out, text, static_cast<std::size_t>(end - text));
}

// Read back with continuation on, a line ending in a backslash would swallow
// the line after it; a trailing space stops that and is trimmed on reading.
bool NeedsGuardSpace(const ProfileFile *file, const ProfileEntry *entry, std::size_t length) {
  if (file->continuation == 0 || entry->quoted == 1 || length == 0) {
    return false;
  }
  return *CharPrevA(entry->value, entry->value + length) == '\\';
}

// The usual entry line, when it fits the room left in the buffer and no line
// feed needs folding: put with one copy of its name and one of its value.
bool PutPlainEntry(Output *out, const ProfileEntry *entry, std::size_t length, bool guard) {
  const std::size_t quotes = entry->quoted == 1 ? 2 : 0;
  const std::size_t line = entry->nameLength + 1 + quotes + length + (guard ? 1 : 0) + 2;
  if (OutputBufferSize - out->used < line ||
      std::memchr(entry->name, '\n', entry->nameLength) != nullptr ||
      std::memchr(entry->value, '\n', length) != nullptr) {
    return false;
  }
  char *at = out->buffer + out->used;
  std::memcpy(at, entry->name, entry->nameLength);
  at += entry->nameLength;
  *at++ = '=';
  if (quotes != 0) {
    *at++ = '"';
  }
  std::memcpy(at, entry->value, length);
  at += length;
  if (quotes != 0) {
    *at++ = '"';
  }
  if (guard) {
    *at++ = ' ';
  }
  at[0] = '\r';
  at[1] = '\n';
  out->used += line;
  return true;
}

void PutEntry(Output *out, const ProfileFile *file, const ProfileEntry *entry) {
  const std::size_t length = std::strlen(entry->value);
  const bool guard = NeedsGuardSpace(file, entry, length);
  if (PutPlainEntry(out, entry, length, guard)) {
    return;
  }
  Put(out, entry->name, entry->nameLength);
  PutBytes(out, "=", 1);
  if (entry->quoted == 1) {
    PutBytes(out, "\"", 1);
  }
  Put(out, entry->value, length);
  if (entry->quoted == 1) {
    PutBytes(out, "\"", 1);
  }
  if (guard) {
    PutBytes(out, " ", 1);
  }
  PutBytes(out, "\r\n", 2);
}

// The file's text, in the layout the records make: each section's header,
// its entries, and one empty line.
bool PutSections(FileReplacement *replacement, const ProfileFile *file) {
  Output out{replacement, static_cast<char *>(FallibleMalloc(OutputBufferSize)), 0, false};
  if (out.buffer == nullptr) {
    return false;
  }
  for (const ProfileSection *section = file->firstSection; section != nullptr;
       section = section->next) {
    PutBytes(&out, "[", 1);
    Put(&out, section->name, section->nameLength);
    PutBytes(&out, "]\r\n", 3);
    for (const ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
      PutEntry(&out, file, entry);
    }
    PutBytes(&out, "\r\n", 2);
  }
  Flush(&out);
  std::free(out.buffer);
  return !out.failed;
}

void ReportCouldNotOpen() {
  std::printf("COULDN'T OPEN FILE\n");
  std::fflush(stdout);
}

// Only failures that another process can cause and end are waited for;
// any other is answered at once.
FileReplacement *BeginWithRetries(const char *path) {
  for (int attempt = 0; attempt < ProfileOpenAttempts; ++attempt) {
    bool retryable = false;
    FileReplacement *replacement = BeginFileReplacement(path, &retryable);
    if (replacement != nullptr) {
      return replacement;
    }
    if (!retryable) {
      break;
    }
    ProfileSleepBeforeRetry();
  }
  return nullptr;
}

// Another process holding the target keeps it from being replaced for a
// while on Windows, as it would keep it from being opened.
bool CommitWithRetries(FileReplacement *replacement) {
  for (int attempt = 0; attempt < ProfileOpenAttempts; ++attempt) {
    bool retryable = false;
    if (CommitFileReplacement(replacement, &retryable)) {
      return true;
    }
    if (!retryable) {
      break;
    }
    ProfileSleepBeforeRetry();
  }
  return false;
}

} // namespace

// The new contents go to a temporary file that replaces the target in one
// step only once it is whole and on disk: a failure at any point leaves the
// target as it was.
std::int32_t ProfileWrite(ProfileFile *file, const char *path) {
  if (file == nullptr || path == nullptr || path[0] == '\0') {
    return 0;
  }
  FileReplacement *replacement = BeginWithRetries(path);
  if (replacement == nullptr) {
    ReportCouldNotOpen();
    return 0;
  }
  const bool sectionsWritten = file->layoutKept != 0 ? ProfilePutKeptLayout(replacement, file)
                                                     : PutSections(replacement, file);
  const bool written = FinishFileReplacementWrite(replacement) && sectionsWritten;
  const bool placed = written && CommitWithRetries(replacement);
  EndFileReplacement(replacement);
  if (written && !placed) {
    ReportCouldNotOpen();
  }
  return placed ? 1 : 0;
}
