// Listing names: the two name lists that ProfileGetString fills into one
// buffer (the sections of a file, the entries of a section), and the lists
// by index (ProfileGetSectionName, ProfileGetEntryName, and ProfileKey's
// arrays built on them). Figures per call and per name.
#include "bench_support.h"

#include "settings/profile_key.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// The list as the engine lays it out: each name and its zero byte, then one
// more zero byte.
std::string NameList(const std::vector<std::string> &names) {
  std::string list;
  for (const std::string &name : names) {
    list += name;
    list += '\0';
  }
  return list + '\0';
}

std::vector<std::string> FirstSectionOnly(const GeneratedFile &generated) {
  return generated.entries[0];
}

// ProfileGetString with no section (sections) or no entry name (entries)
// into a buffer that holds the whole list.
void ListNames(benchmark::State &state, bool sections) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const GeneratedFile &generated = Generated(sections ? ManySections(n) : OneSection(n));
  CachedFile cached(state, generated);
  const std::string expected =
      NameList(sections ? generated.sections : FirstSectionOnly(generated));
  std::vector<char> buffer(expected.size());
  const char *section = sections ? nullptr : generated.sections[0].c_str();
  const std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
  if (cached.ok() && (ProfileGetString(section, nullptr, "", buffer.data(), size, cached.path()) !=
                          expected.size() - 1 ||
                      std::memcmp(buffer.data(), expected.data(), expected.size()) != 0)) {
    state.SkipWithError("the list differs from the generated names");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ProfileGetString(section, nullptr, "", buffer.data(), size, cached.path()));
  }
  ReportPerName(state, n);
}

char nameBuffer[4096];

// Every name by index, one call per name, as far as the first index past
// the end: one iteration lists them all.
void SectionNamesByIndex(benchmark::State &state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const GeneratedFile &generated = Generated(ManySections(n));
  CachedFile cached(state, generated);
  for (auto _ : state) {
    std::uint32_t i = 0;
    while (ProfileGetSectionName(i, nameBuffer, sizeof nameBuffer, cached.path()) != 0) {
      ++i;
    }
    if (i != n) {
      state.SkipWithError("the section count differs from the generated file");
      break;
    }
  }
  ReportPerName(state, n);
}

void EntryNamesByIndex(benchmark::State &state) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const GeneratedFile &generated = Generated(OneSection(n));
  CachedFile cached(state, generated);
  ProfileSection *section = ProfileFindSection(generated.sections[0].c_str(), cached.path());
  for (auto _ : state) {
    std::uint32_t i = 0;
    while (ProfileGetEntryName(i, nameBuffer, sizeof nameBuffer, section) != 0) {
      ++i;
    }
    if (i != n) {
      state.SkipWithError("the entry count differs from the generated file");
      break;
    }
  }
  ReportPerName(state, n);
}

// ProfileKey's arrays: count, then length and copy per name, all by index.
void KeyEnumerate(benchmark::State &state, bool sections) {
  const auto n = static_cast<std::uint32_t>(state.range(0));
  const GeneratedFile &generated = Generated(sections ? ManySections(n) : OneSection(n));
  CachedFile cached(state, generated);
  ProfileKey key{ByteString(generated.path)};
  const ByteString section(generated.sections[0]);
  const std::vector<std::string> &expected = sections ? generated.sections : generated.entries[0];
  for (auto _ : state) {
    std::uint32_t count = 0;
    ByteString *names =
        sections ? key.EnumerateSections(count) : key.EnumerateValueNames(count, section);
    const bool same = count == n && names[0] == expected[0] && names[n - 1] == expected[n - 1];
    delete[] names;
    if (!same) {
      state.SkipWithError("the names differ from the generated file");
      break;
    }
  }
  ReportPerName(state, n);
}

void Sizes(benchmark::internal::Benchmark *b) {
  b->RangeMultiplier(10)->Range(10, 10000)->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK_CAPTURE(ListNames, sections, true)->Apply(Sizes);
BENCHMARK_CAPTURE(ListNames, entries, false)->Apply(Sizes)->Arg(100000);
BENCHMARK(SectionNamesByIndex)->Apply(Sizes);
BENCHMARK(EntryNamesByIndex)->Apply(Sizes);
BENCHMARK_CAPTURE(KeyEnumerate, sections, true)->Apply(Sizes);
BENCHMARK_CAPTURE(KeyEnumerate, value_names, false)->Apply(Sizes);
