// Writing a cached file back, by size: the whole text to a temporary file
// beside the target, flushed to disk, put in place, and the folder flushed.
// The figures include those flushes, so they depend on the disk: beside
// them, the floor of any write-back that keeps them (the same bytes written
// to a new file, flushed, renamed over the target, the folder flushed, and
// nothing else) shows how much of the time is the disk's.
#include "bench_support.h"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

void WriteBack(benchmark::State &state, FileShape shape) {
  const GeneratedFile &generated = Generated(shape);
  CachedFile cached(state, generated);
  const std::string target = ScratchPath(std::string("written-") + shape.name + ".ini");
  for (auto _ : state) {
    if (!cached.ok() || ProfileWrite(cached.file(), target.c_str()) != 1) {
      state.SkipWithError("the write-back failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * generated.bytes));
  std::remove(target.c_str());
}

// The bare durable replace, in plain system calls.
bool ReplaceDurably(const std::string &bytes, const std::string &folder,
                    const std::string &temporary, const std::string &target) {
  const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (file < 0) {
    return false;
  }
  bool ok = write(file, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
            fsync(file) == 0;
  ok = close(file) == 0 && ok && rename(temporary.c_str(), target.c_str()) == 0;
  const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = ok && directory >= 0 && fsync(directory) == 0;
  if (directory >= 0) {
    close(directory);
  }
  return ok;
}

void FlushFloor(benchmark::State &state, FileShape shape) {
  const GeneratedFile &generated = Generated(shape);
  std::ifstream in(generated.path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string target = ScratchPath(std::string("floor-") + shape.name + ".ini");
  const std::string temporary = target + ".tmp";
  const std::string folder = target.substr(0, target.rfind('/'));
  for (auto _ : state) {
    if (!ReplaceDurably(bytes, folder, temporary, target)) {
      state.SkipWithError("the durable replace failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
  std::remove(temporary.c_str());
  std::remove(target.c_str());
}

} // namespace

BENCHMARK_CAPTURE(FlushFloor, small, shapes::Small)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(FlushFloor, medium, shapes::Medium)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBack, small, shapes::Small)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WriteBack, medium, shapes::Medium)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBack, large, shapes::Large)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBack, wide, shapes::Wide)->Unit(benchmark::kMillisecond);
