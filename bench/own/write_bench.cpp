// Writing a cached file back, by size: the whole text to a temporary file
// beside the target, flushed to disk, put in place, and the folder flushed.
// The figures include those flushes, so they depend on the disk.
#include "bench_support.h"

#include <cstdio>

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

} // namespace

BENCHMARK_CAPTURE(WriteBack, small, shapes::Small)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WriteBack, medium, shapes::Medium)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBack, large, shapes::Large)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBack, wide, shapes::Wide)->Unit(benchmark::kMillisecond);
