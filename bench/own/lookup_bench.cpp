// Looking values up in a cached file, hit and miss, by the size of the one
// section searched: through the engine's single call, and through
// ProfileKey::GetString (one engine call for values that fit its buffer,
// ByteString arguments), and that call's shape without the engine.
#include "bench_support.h"

#include "settings/profile_key.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t KeyCount = 256; // a power of two: the loops cycle with a mask

struct Probe {
  std::string section, name;
  std::string expected; // the value, or Missing
};

// KeyCount names spread over the section, in mixed letter case; for misses,
// names the section does not hold.
std::vector<Probe> Probes(const GeneratedFile &generated, bool hits) {
  std::vector<Probe> probes;
  const auto &names = generated.entries[0];
  for (std::size_t i = 0; i < KeyCount; ++i) {
    const std::size_t at = (i * 2654435761u) % names.size();
    const std::string section = MixCase(generated.sections[0], static_cast<std::uint32_t>(i));
    if (hits) {
      probes.push_back({section, MixCase(names[at], static_cast<std::uint32_t>(i) + 1),
                        generated.values[0][at]});
    } else {
      probes.push_back(
          {section, MixCase(names[at] + "_absent", static_cast<std::uint32_t>(i)), Missing});
    }
  }
  return probes;
}

char buffer[65536];

std::string EngineLookup(const char *path, const Probe &probe) {
  const std::uint32_t n = ProfileGetString(probe.section.c_str(), probe.name.c_str(), Missing,
                                           buffer, sizeof buffer, path);
  return std::string(buffer, n);
}

void EngineGetString(benchmark::State &state, bool hits) {
  const GeneratedFile &generated =
      Generated(OneSection(static_cast<std::uint32_t>(state.range(0))));
  CachedFile cached(state, generated);
  const std::vector<Probe> probes = Probes(generated, hits);
  for (const Probe &probe : probes) {
    if (cached.ok() && EngineLookup(cached.path(), probe) != probe.expected) {
      state.SkipWithError("a lookup did not answer the generated value");
      return;
    }
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const Probe &probe = probes[i++ & (KeyCount - 1)];
    benchmark::DoNotOptimize(ProfileGetString(probe.section.c_str(), probe.name.c_str(), Missing,
                                              buffer, sizeof buffer, cached.path()));
  }
}

void KeyGetString(benchmark::State &state, bool hits) {
  const GeneratedFile &generated =
      Generated(OneSection(static_cast<std::uint32_t>(state.range(0))));
  CachedFile cached(state, generated);
  ProfileKey key{ByteString(generated.path)};
  std::vector<Probe> probes = Probes(generated, hits);
  std::vector<ByteString> sections, names;
  for (const Probe &probe : probes) {
    ByteString out;
    key.GetString(out, ByteString(Missing), probe.name, probe.section);
    if (cached.ok() && out != probe.expected) {
      state.SkipWithError("a lookup did not answer the generated value");
      return;
    }
    sections.emplace_back(probe.section);
    names.emplace_back(probe.name);
  }
  const ByteString missing(Missing);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t at = i++ & (KeyCount - 1);
    ByteString out;
    benchmark::DoNotOptimize(key.GetString(out, missing, names[at], sections[at]));
    benchmark::DoNotOptimize(out.data());
  }
}

// GetString's call with ProfileKey's signature and none of its work: the
// names kept as the key keeps them, the probe's value copied from a buffer
// on the stack into the caller's string. What a call costs before the engine
// is asked at all, for the same arguments as KeyGetString.
class CallShape {
public:
  virtual ~CallShape() = default;
  virtual std::int32_t GetString(ByteString &out, ByteString defaultValue, ByteString newValueName,
                                 ByteString newSection);
  const std::vector<Probe> *probes = nullptr;
  std::size_t next = 0;

private:
  ByteString section, valueName;
};

__attribute__((noinline)) std::int32_t CallShape::GetString(ByteString &out,
                                                            ByteString defaultValue,
                                                            ByteString newValueName,
                                                            ByteString newSection) {
  if (!newSection.empty()) {
    section = std::move(newSection);
  }
  if (!newValueName.empty()) {
    valueName = std::move(newValueName);
  }
  const std::string &value = (*probes)[next++ & (KeyCount - 1)].expected;
  char text[512];
  const std::size_t length = value.size() < sizeof text ? value.size() : sizeof text;
  std::memcpy(text, value.data(), length);
  benchmark::ClobberMemory();
  out.assign(text, length);
  return static_cast<std::int32_t>(length + defaultValue.size());
}

void KeyCallShape(benchmark::State &state) {
  const GeneratedFile &generated =
      Generated(OneSection(static_cast<std::uint32_t>(state.range(0))));
  const std::vector<Probe> probes = Probes(generated, true);
  std::vector<ByteString> sections, names;
  for (const Probe &probe : probes) {
    sections.emplace_back(probe.section);
    names.emplace_back(probe.name);
  }
  CallShape shape;
  shape.probes = &probes;
  CallShape *call = &shape; // called as the key's virtual slot is
  const ByteString missing(Missing);
  std::size_t i = 0;
  for (auto _ : state) {
    const std::size_t at = i++ & (KeyCount - 1);
    ByteString out;
    benchmark::DoNotOptimize(call->GetString(out, missing, names[at], sections[at]));
    benchmark::DoNotOptimize(out.data());
  }
}

void Sizes(benchmark::internal::Benchmark *b) {
  b->RangeMultiplier(10)->Range(10, 100000);
}

} // namespace

BENCHMARK_CAPTURE(EngineGetString, hit, true)->Apply(Sizes);
BENCHMARK_CAPTURE(EngineGetString, miss, false)->Apply(Sizes);
BENCHMARK_CAPTURE(KeyGetString, hit, true)->Apply(Sizes);
BENCHMARK_CAPTURE(KeyGetString, miss, false)->Apply(Sizes);
BENCHMARK(KeyCallShape)->Apply(Sizes);
