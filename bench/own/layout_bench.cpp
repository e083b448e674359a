// Keep-layout beside the usual way: loading a file that keeps its bytes and
// every record's span (Load* in load_bench.cpp is the same without), and
// writing it back with one value changed and one entry added, which copies
// the file's bytes around the two lines.
#include "bench_support.h"

#include <cstdio>
#include <string>

namespace {

// Registers the path to be read under keep-layout at its next use.
void RegisterKeepingLayout(const FileShape &shape, const char *path) {
  ProfileRegister(path);
  ProfileSetSwitches(path, shape.continued ? 1 : 0);
  ProfileSetKeepLayout(path, 1);
}

// Every section and entry of the generated file, and the headers' spans.
bool RecordsKept(const ProfileFile *file, const GeneratedFile &generated) {
  if (file->layoutKept != 1 || file->sectionCount != generated.sections.size()) {
    return false;
  }
  std::size_t s = 0;
  for (const ProfileSection *section = file->firstSection; section != nullptr;
       section = section->next, ++s) {
    if (generated.sections[s] != section->name ||
        section->readEntryCount != generated.entries[s].size() ||
        section->headerSpan.lineLength == 0) {
      return false;
    }
  }
  return true;
}

void LoadKeepingLayout(benchmark::State &state, FileShape shape) {
  const GeneratedFile &generated = Generated(shape);
  const char *path = generated.path.c_str();
  RegisterKeepingLayout(shape, path);
  ProfileFile *check = nullptr;
  const bool kept = ProfileOpen(path, &check) == 1 && RecordsKept(check, generated);
  ProfileRelease(path);
  if (!kept) {
    state.SkipWithError("the records read under keep-layout differ from the generated file");
    return;
  }
  for (auto _ : state) {
    RegisterKeepingLayout(shape, path);
    ProfileFile *file = nullptr;
    benchmark::DoNotOptimize(ProfileOpen(path, &file));
    ProfileRelease(path);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * generated.bytes));
  state.counters["bytes"] = static_cast<double>(generated.bytes);
}

void WriteBackKeepingLayout(benchmark::State &state, FileShape shape) {
  const GeneratedFile &generated = Generated(shape);
  const char *path = generated.path.c_str();
  const std::string target = ScratchPath(std::string("kept-") + shape.name + ".ini");
  RegisterKeepingLayout(shape, path);
  ProfileFile *file = nullptr;
  // A value in the middle of the file changed, and an entry added there.
  const std::size_t middle = generated.sections.size() / 2;
  const std::string &section = generated.sections[middle];
  const std::string &entry = generated.entries[middle][generated.entries[middle].size() / 2];
  if (ProfileOpen(path, &file) != 1 ||
      ProfileSetString(section.c_str(), entry.c_str(), "changed", path) != 1 ||
      ProfileSetString(section.c_str(), "AddedByTheBenchmark", "1", path) != 1) {
    state.SkipWithError("the keep-layout record could not be changed");
    ProfileRelease(path);
    return;
  }
  for (auto _ : state) {
    if (ProfileWrite(file, target.c_str()) != 1) {
      state.SkipWithError("the write-back failed");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * generated.bytes));
  file->dirty = 0; // the generated file stays as it was
  ProfileRelease(path);
  std::remove(target.c_str());
}

} // namespace

BENCHMARK_CAPTURE(LoadKeepingLayout, small, shapes::Small)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, medium, shapes::Medium)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, large, shapes::Large)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, wide, shapes::Wide)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, tall, shapes::Tall)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, long_values, shapes::LongValues)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, medium_utf16, shapes::MediumUtf16)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(LoadKeepingLayout, medium_continued, shapes::MediumContinued)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(WriteBackKeepingLayout, small, shapes::Small)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WriteBackKeepingLayout, medium, shapes::Medium)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBackKeepingLayout, large, shapes::Large)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WriteBackKeepingLayout, wide, shapes::Wide)->Unit(benchmark::kMillisecond);
