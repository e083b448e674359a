#include "profile/profile_internal.h"

#include "platform/fault_injection.h"
#include "platform/file_access.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

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

// The largest single read: large enough that a read's own cost is nothing
// beside copying its bytes, small enough that no call is asked for an
// unbounded count.
constexpr std::size_t ReadBlockSize = std::size_t{1} << 20;

// Reads into buffer from *read on until it holds wanted bytes or the file
// ends; false when the file could not be read.
bool ReadUpTo(std::FILE *stream, char *buffer, std::size_t wanted, std::size_t *read) {
  while (*read < wanted) {
    const std::size_t block = wanted - *read < ReadBlockSize ? wanted - *read : ReadBlockSize;
    bool failed = false;
    const std::size_t count = ReadFileBlock(stream, buffer + *read, block, &failed);
    *read += count;
    if (failed) {
      return false;
    }
    if (count < block) {
      return true; // the end of the file
    }
  }
  return true;
}

// The whole file in one buffer with a spare byte behind it. The size is
// taken first, but the file may have grown or shrunk since: it is read to its
// end whatever it holds then.
bool ReadWholeFile(std::FILE *stream, char **bytes, std::size_t *count, std::size_t *capacity) {
  *bytes = nullptr;
  *count = 0;
  // Read straight into the buffer, without the stream's own.
  std::setvbuf(stream, nullptr, _IONBF, 0);
  unsigned long long size = 0;
  OpenFileSize(stream, &size);
  if (size > SIZE_MAX / 2 - 2) {
    return false;
  }
  // One byte more than the size, to learn whether the file grew.
  std::size_t wanted = static_cast<std::size_t>(size) + 1;
  char *buffer = ProfileTakeByteBuffer(wanted + 1 + ProfileTextPadding, capacity);
  std::size_t read = 0;
  bool readable = buffer != nullptr && ReadUpTo(stream, buffer, wanted, &read);
  while (readable && read == wanted) {
    wanted = wanted * 2 + 4096;
    char *grown =
        wanted > SIZE_MAX / 4
            ? nullptr
            : static_cast<char *>(FallibleRealloc(buffer, wanted + 1 + ProfileTextPadding));
    if (grown == nullptr) {
      readable = false;
      break;
    }
    buffer = grown;
    *capacity = wanted + 1 + ProfileTextPadding;
    readable = ReadUpTo(stream, buffer, wanted, &read);
  }
  if (!readable) {
    std::free(buffer);
    return false;
  }
  std::memset(buffer + read, 0, 1 + ProfileTextPadding);
  *bytes = buffer;
  *count = read;
  return true;
}

} // namespace

bool ProfileLoadFile(ProfileFile *file) {
  // Decided before anything is read: a missing file, with no lines of its
  // own, is kept in its layout too.
  file->layoutKept = file->keepLayout != 0 ? 1 : 0;
  bool readable = true;
  std::FILE *stream = OpenWithRetries(file->path, &readable);
  if (stream == nullptr) {
    return readable;
  }
  const bool read = ReadWholeFile(stream, &file->bytes, &file->byteCount, &file->byteCapacity);
  std::fclose(stream);
  const auto *bytes = reinterpret_cast<const unsigned char *>(file->bytes);
  file->utf16 = read && file->byteCount >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE ? 1 : 0;
  if (!read || !ProfileParseFile(file)) {
    // Half a file must never be cached: its write-back would lose the rest.
    ProfileFreeSections(file);
    ProfileFreeText(file);
    file->utf16 = 0;
    file->textReplaced = 0;
    return false;
  }
  if (file->text != file->bytes && file->keepLayout == 0) {
    // The converted text is all that is read from these bytes.
    ProfileGiveBackByteBuffer(file->bytes, file->byteCapacity);
    file->bytes = nullptr;
    file->byteCount = 0;
    file->byteCapacity = 0;
  }
  return true;
}
