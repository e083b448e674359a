#include "profile/profile_internal.h"

#include "platform/file_access.h"

namespace {

// The file's stream, retrying while another process holds it; null for a
// missing file (*readable stays true) or one that cannot be read at all.
// Only a failure that another process can end is waited for.
std::FILE *OpenWithRetries(const char *path, bool *readable) {
  *readable = true;
  for (int attempt = 0; attempt < ProfileOpenAttempts; ++attempt) {
    std::FILE *stream = nullptr;
    switch (OpenRegularFileForReading(path, &stream)) {
    case ReadOpenResult::Opened:
      return stream;
    case ReadOpenResult::Missing:
      return nullptr;
    case ReadOpenResult::NotRegular:
    case ReadOpenResult::Refused:
      *readable = false;
      return nullptr;
    case ReadOpenResult::Unavailable:
      ProfileSleepBeforeRetry();
      break;
    }
  }
  *readable = false;
  return nullptr;
}

bool ReadSections(ProfileFile *file, std::FILE *stream) {
  ProfileReader reader;
  bool read = ProfileReaderStart(&reader, stream);
  if (read) {
    if (ProfileReaderSkipUtf16Mark(&reader)) {
      file->utf16 = 1;
    }
    ProfileSection *section = nullptr;
    while (ProfileReadSection(&section, &reader, file) != 0) {
      ProfileAppendSection(file, section);
    }
    read = !reader.failed;
  }
  ProfileReaderEnd(&reader);
  ProfileClearLookAhead();
  return read;
}

} // namespace

bool ProfileLoadFile(ProfileFile *file) {
  bool readable = true;
  std::FILE *stream = OpenWithRetries(file->path, &readable);
  if (stream == nullptr) {
    return readable;
  }
  const bool read = ReadSections(file, stream);
  std::fclose(stream);
  if (!read) {
    // Half a file must never be cached: its write-back would lose the rest.
    ProfileFreeSections(file);
    file->utf16 = 0;
  }
  return read;
}
