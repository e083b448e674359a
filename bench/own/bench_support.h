// What the benchmark files share: a cached file for the duration of one
// benchmark, and per-name figures.
#pragma once

#include "generated_files.h"

#include "profile/profile.h"

#include <benchmark/benchmark.h>

// Holds a generated file in the engine's cache while a benchmark runs and
// releases it afterwards, so that benchmarks do not crowd the five-file cache.
class CachedFile {
public:
  CachedFile(benchmark::State &state, const GeneratedFile &generated) : generated(generated) {
    if (ProfileOpen(generated.path.c_str(), &record) == 0 || record == nullptr) {
      state.SkipWithError("the engine could not read the generated file");
      record = nullptr;
    }
  }
  ~CachedFile() { ProfileRelease(generated.path.c_str()); }
  CachedFile(const CachedFile &) = delete;
  CachedFile &operator=(const CachedFile &) = delete;

  bool ok() const { return record != nullptr; }
  const char *path() const { return generated.path.c_str(); }
  ProfileFile *file() const { return record; }

private:
  const GeneratedFile &generated;
  ProfileFile *record = nullptr;
};

// A file of a continued shape is read with the switches on, which join its
// split values again: registered so before each read.
inline void ReadAsShaped(const FileShape &shape, const char *path) {
  if (shape.continued) {
    ProfileRegister(path);
    ProfileSetSwitches(path, 1);
  }
}

// Time per name listed, beside the time per iteration, when one iteration
// lists `names` names.
inline void ReportPerName(benchmark::State &state, double names) {
  state.counters["per_name"] = benchmark::Counter(
      names, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The miss marker: a default no generated value can equal.
inline constexpr char Missing[] = "\x01<missing>";
