// Loading a file into the cache and releasing it again, by size and shape.
#include "bench_support.h"

#include <cstring>

namespace {

// The records must hold what the generator wrote, or the figure would time
// a parse that went wrong.
bool RecordsMatch(const ProfileFile *file, const GeneratedFile &generated) {
  std::size_t s = 0;
  for (const ProfileSection *section = file->firstSection; section != nullptr;
       section = section->next, ++s) {
    if (s >= generated.sections.size() || generated.sections[s] != section->name) {
      return false;
    }
    std::size_t e = 0;
    for (const ProfileEntry *entry = section->firstEntry; entry != nullptr;
         entry = entry->next, ++e) {
      if (e >= generated.entries[s].size() || generated.entries[s][e] != entry->name ||
          generated.values[s][e] != entry->value) {
        return false;
      }
    }
    if (e != generated.entries[s].size()) {
      return false;
    }
  }
  return s == generated.sections.size();
}

void Load(benchmark::State &state, FileShape shape) {
  const GeneratedFile &generated = Generated(shape);
  const char *path = generated.path.c_str();
  ReadAsShaped(shape, path);
  {
    CachedFile check(state, generated);
    if (!check.ok()) {
      return;
    }
    if (!RecordsMatch(check.file(), generated)) {
      state.SkipWithError("the loaded records differ from the generated file");
      return;
    }
  }
  for (auto _ : state) {
    ReadAsShaped(shape, path);
    ProfileFile *file = nullptr;
    benchmark::DoNotOptimize(ProfileOpen(path, &file));
    ProfileRelease(path);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * generated.bytes));
  state.counters["bytes"] = static_cast<double>(generated.bytes);
}

} // namespace

BENCHMARK_CAPTURE(Load, small, shapes::Small)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Load, medium, shapes::Medium)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Load, large, shapes::Large)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, wide, shapes::Wide)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, tall, shapes::Tall)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Load, long_values, shapes::LongValues)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Load, medium_utf16, shapes::MediumUtf16)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Load, medium_continued, shapes::MediumContinued)->Unit(benchmark::kMicrosecond);
