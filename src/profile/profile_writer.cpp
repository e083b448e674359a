#include "profile/profile_internal.h"

#include "platform/file_access.h"

#include <cstring>

namespace {

// Writes text with every line feed as CR LF, as profile files are Windows
// text files on every build.
bool Put(std::FILE *out, const char *text) {
  for (const char *lineFeed = std::strchr(text, '\n'); lineFeed != nullptr;
       lineFeed = std::strchr(text, '\n')) {
    const auto length = static_cast<std::size_t>(lineFeed - text);
    if (std::fwrite(text, 1, length, out) != length || std::fputs("\r\n", out) < 0) {
      return false;
    }
    text = lineFeed + 1;
  }
  const std::size_t length = std::strlen(text);
  return std::fwrite(text, 1, length, out) == length;
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

bool PutEntry(std::FILE *out, const ProfileFile *file, const ProfileEntry *entry) {
  const char *quote = entry->quoted == 1 ? "\"" : "";
  return Put(out, entry->name) && Put(out, "=") && Put(out, quote) && Put(out, entry->value) &&
         Put(out, quote) && Put(out, NeedsGuardSpace(file, entry) ? " " : "") && Put(out, "\n");
}

bool PutSections(std::FILE *out, const ProfileFile *file) {
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
  const bool sectionsWritten = PutSections(FileReplacementStream(replacement), file);
  const bool written = FinishFileReplacementWrite(replacement) && sectionsWritten;
  const bool placed = written && CommitWithRetries(replacement);
  EndFileReplacement(replacement);
  if (written && !placed) {
    ReportCouldNotOpen();
  }
  return placed ? 1 : 0;
}
