// ByteString::Format: the forms the keys use (a number as "%d"), a path
// joined from parts, a mixed line, and a long text.
#include <benchmark/benchmark.h>

#include "support/byte_string.h"

#include <string>

namespace {

void FormatNumber(benchmark::State &state) {
  ByteString text;
  int value = -2147483647;
  for (auto _ : state) {
    text.Format("%d", value);
    benchmark::DoNotOptimize(text.data());
    value += 7919;
  }
}

void FormatPath(benchmark::State &state) {
  ByteString text;
  for (auto _ : state) {
    text.Format("%s\\%s\\%s", "Software", "settingsstore", "Recent Files");
    benchmark::DoNotOptimize(text.data());
  }
}

void FormatMixed(benchmark::State &state) {
  ByteString text;
  unsigned long count = 0;
  for (auto _ : state) {
    text.Format("%s=%lu (0x%08lx) %.2f%%", "window.width", count, count, 12.5);
    benchmark::DoNotOptimize(text.data());
    ++count;
  }
}

void FormatLong(benchmark::State &state) {
  const std::string part(static_cast<std::size_t>(state.range(0)), 'x');
  ByteString text;
  for (auto _ : state) {
    text.Format("[%s]", part.c_str());
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(FormatNumber);
BENCHMARK(FormatPath);
BENCHMARK(FormatMixed);
BENCHMARK(FormatLong)->Arg(1000)->Arg(40000);
