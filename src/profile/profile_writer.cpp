#include "profile/profile_internal.h"

#include "platform/fault_injection.h"
#include "platform/file_access.h"

#include <cstdlib>
#include <cstring>

namespace {

// The new contents gather in one buffer and go to the temporary file in
// blocks of its size.
constexpr std::size_t SinkCapacity = 64 * 1024;

struct Sink {
  FileReplacement *replacement;
  char *buffer;
  std::size_t used;
};

bool Drain(Sink *out) {
  const bool written =
      out->used == 0 || WriteFileReplacement(out->replacement, out->buffer, out->used);
  out->used = 0;
  return written;
}

bool PutBytes(Sink *out, const char *bytes, std::size_t length) {
  while (length > 0) {
    if (out->used == SinkCapacity && !Drain(out)) {
      return false;
    }
    const std::size_t room = SinkCapacity - out->used;
    const std::size_t taken = length < room ? length : room;
    std::memcpy(out->buffer + out->used, bytes, taken);
    out->used += taken;
    bytes += taken;
    length -= taken;
  }
  return true;
}

// Writes text with every line feed as CR LF, as profile files are Windows
// text files on every build.
bool Put(Sink *out, const char *text) {
  for (const char *lineFeed = std::strchr(text, '\n'); lineFeed != nullptr;
       lineFeed = std::strchr(text, '\n')) {
    if (!PutBytes(out, text, static_cast<std::size_t>(lineFeed - text)) ||
        !PutBytes(out, "\r\n", 2)) {
      return false;
    }
    text = lineFeed + 1;
  }
  return PutBytes(out, text, std::strlen(text));
}

// Read back with continuation on, a line ending in a backslash would swallow
// the line after it; a trailing space stops that and is trimmed on reading.
bool NeedsGuardSpace(const ProfileFile *file, const ProfileEntry *entry) {
  if (file->continuation == 0 || entry->quoted == 1 || entry->value[0] == '\0') {
    return false;
  }
  const char *end = entry->value + std::strlen(entry->value);
  return *CharPrevA(entry->value, end) == '\\';
}

bool PutEntry(Sink *out, const ProfileFile *file, const ProfileEntry *entry) {
  const char *quote = entry->quoted == 1 ? "\"" : "";
  return Put(out, entry->name) && Put(out, "=") && Put(out, quote) && Put(out, entry->value) &&
         Put(out, quote) && Put(out, NeedsGuardSpace(file, entry) ? " " : "") && Put(out, "\n");
}

bool PutSections(Sink *out, const ProfileFile *file) {
  for (const ProfileSection *section = file->firstSection; section != nullptr;
       section = section->next) {
    if (!Put(out, "[") || !Put(out, section->name) || !Put(out, "]\n")) {
      return false;
    }
    for (const ProfileEntry *entry = section->firstEntry; entry != nullptr; entry = entry->next) {
      if (!PutEntry(out, file, entry)) {
        return false;
      }
    }
    if (!Put(out, "\n")) {
      return false;
    }
  }
  return true;
}

bool WriteContents(FileReplacement *replacement, const ProfileFile *file) {
  Sink sink = {replacement, static_cast<char *>(FallibleMalloc(SinkCapacity)), 0};
  const bool written = sink.buffer != nullptr && PutSections(&sink, file) && Drain(&sink);
  std::free(sink.buffer);
  return written;
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
  const bool sectionsWritten = WriteContents(replacement, file);
  const bool written = FinishFileReplacementWrite(replacement) && sectionsWritten;
  const bool placed = written && CommitWithRetries(replacement);
  EndFileReplacement(replacement);
  if (written && !placed) {
    ReportCouldNotOpen();
  }
  return placed ? 1 : 0;
}
