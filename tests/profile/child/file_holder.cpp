// Another process holding a profile file open (Windows):
//   file_holder <path> <exclusive|fopen> <marker folder>
// Opens the file, without any sharing (exclusive) or as the C runtime's
// fopen opens it for reading (reading and writing shared, deletion not),
// then makes <marker folder>/held and waits until <marker folder>/release
// is there. With fopen it then reads the file whole through the stream it
// held and writes what it read into <marker folder>/seen. Exit status 0
// when all of that was done; the wait for the release gives up after a
// minute, so that a test that fails never leaves it behind.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

bool Exists(const std::string &path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWhole(const std::string &path, const std::string &bytes) {
  std::FILE *out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    return false;
  }
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written;
}

bool AwaitRelease(const std::string &markers) {
  for (int i = 0; i < 6000; ++i) {
    if (Exists(markers + "/release")) {
      return true;
    }
    Sleep(10);
  }
  return false;
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 4 || (std::strcmp(argv[2], "exclusive") != 0 && std::strcmp(argv[2], "fopen") != 0)) {
    std::fprintf(stderr, "usage: file_holder <path> <exclusive|fopen> <marker folder>\n");
    return 101;
  }
  const std::string markers = argv[3];
  if (std::strcmp(argv[2], "exclusive") == 0) {
    HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
      return 2;
    }
    const bool released = WriteWhole(markers + "/held", "") && AwaitRelease(markers);
    CloseHandle(held);
    return released ? 0 : 3;
  }
  std::FILE *held = std::fopen(argv[1], "rb");
  if (held == nullptr) {
    return 2;
  }
  if (!WriteWhole(markers + "/held", "") || !AwaitRelease(markers)) {
    std::fclose(held);
    return 3;
  }
  std::string seen;
  char block[65536];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, held)) > 0;) {
    seen.append(block, got);
  }
  const bool read = std::ferror(held) == 0;
  std::fclose(held);
  return read && WriteWhole(markers + "/seen", seen) ? 0 : 4;
}
