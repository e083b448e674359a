// A ProfileKey's whole life on a small file, as a component uses one: made,
// 20 values read, destroyed. The file is read from disk on the first read and
// released (unchanged, so not written) by the destructor, every time.
#include "bench_support.h"

#include "settings/profile_key.h"

#include <vector>

namespace {

constexpr std::size_t Reads = 20;

void KeyRoundTrip(benchmark::State &state) {
  const GeneratedFile &generated = Generated(shapes::Small);
  struct Read {
    ByteString section, name, expected;
  };
  std::vector<Read> reads;
  for (std::size_t i = 0; i < Reads; ++i) {
    const std::size_t s = (i * 7) % generated.sections.size();
    const std::size_t e = (i * 13) % generated.entries[s].size();
    reads.push_back(
        {generated.sections[s], MixCase(generated.entries[s][e], i), generated.values[s][e]});
  }
  const ByteString path(generated.path);
  const ByteString fallback("none");
  {
    ProfileKey key(path);
    for (const Read &read : reads) {
      ByteString out;
      key.GetString(out, fallback, read.name, read.section);
      if (out != read.expected) {
        state.SkipWithError("a read did not answer the generated value");
        return;
      }
    }
  }
  for (auto _ : state) {
    ProfileKey key(path);
    for (const Read &read : reads) {
      ByteString out;
      benchmark::DoNotOptimize(key.GetString(out, fallback, read.name, read.section));
    }
  }
}

} // namespace

BENCHMARK(KeyRoundTrip)->Unit(benchmark::kMicrosecond);
