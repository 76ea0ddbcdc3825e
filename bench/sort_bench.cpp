// Sorting, index sorting and masking against the standard library on plain arrays,
// measured in the same run.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kSortElements = 10'000'000;
constexpr std::int64_t kIndexElements = 1'000'000;
constexpr std::int64_t kOpaqueElements = 1'000'000;
constexpr std::int64_t kMaskElements = 10'000'000;

std::vector<double> random_doubles(std::int64_t n) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<double> uniform(-1e6, 1e6);
  std::vector<double> values(static_cast<std::size_t>(n));
  for (auto& x : values) x = uniform(random);
  return values;
}

const std::vector<double>& sort_input() {
  static const std::vector<double> values = random_doubles(kSortElements);
  return values;
}

// Refilling the input is left out of the timing on both sides.
void std_sort_doubles(benchmark::State& state) {
  std::vector<double> work(sort_input().size());
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(sort_input().begin(), sort_input().end(), work.begin());
    state.ResumeTiming();
    if (state.range(0) != 0)
      std::stable_sort(work.begin(), work.end());
    else
      std::sort(work.begin(), work.end());
    benchmark::DoNotOptimize(work.data());
  }
}

void vector_sort_doubles(benchmark::State& state) {
  const bool stable = state.range(0) != 0, block = state.range(1) != 0;
  vi::Multi_vector v(vi::Legacy_type(vi::type_double), block, kSortElements);
  for (auto _ : state) {
    state.PauseTiming();
    v.set_range_double(0, kSortElements, sort_input().data());
    state.ResumeTiming();
    if (stable)
      v.stable_sort(false, false);
    else
      v.sort(false, false);
    benchmark::ClobberMemory();
  }
}

void std_stable_sort_index(benchmark::State& state) {
  const std::vector<double> keys = random_doubles(kIndexElements);
  std::vector<std::int64_t> index(keys.size());
  for (auto _ : state) {
    std::iota(index.begin(), index.end(), std::int64_t{0});
    std::stable_sort(index.begin(), index.end(),
                     [&](std::int64_t a, std::int64_t b) { return keys[a] < keys[b]; });
    benchmark::DoNotOptimize(index.data());
  }
}

void sort_index_1(benchmark::State& state) {
  const std::vector<double> values = random_doubles(kIndexElements);
  vi::Multi_vector keys(vi::Legacy_type(vi::type_double), state.range(0) != 0, kIndexElements);
  keys.set_range_double(0, kIndexElements, values.data());
  vi::Multi_vector index(vi::Legacy_type(vi::type_int64), false, 0);
  for (auto _ : state) {
    vi::Multi_vector::sort_index_1(index, keys, false, true);
    benchmark::ClobberMemory();
  }
}

// Width 10 has no record type: positions are sorted, then the permutation applied.
void opaque_general_sort(benchmark::State& state) {
  std::mt19937 random(3);
  const std::int64_t width = 10;
  std::vector<char> texts(static_cast<std::size_t>(kOpaqueElements * width), '\0');
  for (std::int64_t i = 0; i < kOpaqueElements; ++i) {
    for (std::int64_t k = 0; k < 8; ++k)
      texts[static_cast<std::size_t>(i * width + k)] = static_cast<char>('A' + random() % 26);
  }
  vi::Multi_vector v(vi::Legacy_type(width), state.range(0) != 0, kOpaqueElements);
  for (auto _ : state) {
    state.PauseTiming();
    v.set_range(0, kOpaqueElements, texts.data());
    state.ResumeTiming();
    v.sort(false, false);
    benchmark::ClobberMemory();
  }
}

void apply_mask(benchmark::State& state) {
  const bool block = state.range(0) != 0;
  std::vector<double> values(kMaskElements, 2.0);
  for (std::int64_t i = 0; i < kMaskElements; i += 10) values[static_cast<std::size_t>(i)] = -1e32;
  vi::Multi_vector mask(vi::Legacy_type(vi::type_double), block, kMaskElements);
  mask.set_range_double(0, kMaskElements, values.data());
  vi::Multi_vector target(vi::Legacy_type(vi::type_double), block, kMaskElements);
  for (auto _ : state) {
    target.apply_mask(mask, 0, -1);
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto ms = benchmark::kMillisecond;
  benchmark::RegisterBenchmark("std::sort", std_sort_doubles)->Arg(0)->Unit(ms)->UseRealTime();
  benchmark::RegisterBenchmark("sort/contiguous", vector_sort_doubles)
      ->Args({0, 0})
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("sort/block", vector_sort_doubles)
      ->Args({0, 1})
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("std::stable_sort", std_sort_doubles)
      ->Arg(1)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("stable_sort/contiguous", vector_sort_doubles)
      ->Args({1, 0})
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("stable_sort/block", vector_sort_doubles)
      ->Args({1, 1})
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("std::stable_sort/index", std_stable_sort_index)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("sort_index_1/contiguous", sort_index_1)
      ->Arg(0)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("sort_index_1/block", sort_index_1)->Arg(1)->Unit(ms)->UseRealTime();
  benchmark::RegisterBenchmark("sort/opaque10/contiguous", opaque_general_sort)
      ->Arg(0)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("sort/opaque10/block", opaque_general_sort)
      ->Arg(1)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("memcpy_doubles", vorlith::bench::copy_doubles, kMaskElements)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("apply_mask/contiguous", apply_mask)
      ->Arg(0)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("apply_mask/block", apply_mask)->Arg(1)->Unit(ms)->UseRealTime();

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  using vorlith::bench::ratio;
  std::printf("\ntime as a multiple of the same-run baseline (lower is better)\n");
  for (const char* name : {"sort/contiguous", "sort/block"}) {
    std::printf("%-28s %6s x std::sort\n", name, ratio(reporter, name, "std::sort").c_str());
  }
  for (const char* name : {"stable_sort/contiguous", "stable_sort/block"}) {
    std::printf("%-28s %6s x std::stable_sort\n", name,
                ratio(reporter, name, "std::stable_sort").c_str());
  }
  for (const char* name : {"sort_index_1/contiguous", "sort_index_1/block"}) {
    std::printf("%-28s %6s x std::stable_sort of an index\n", name,
                ratio(reporter, name, "std::stable_sort/index").c_str());
  }
  for (const char* name : {"apply_mask/contiguous", "apply_mask/block"}) {
    std::printf("%-28s %6s x memcpy\n", name, ratio(reporter, name, "memcpy_doubles").c_str());
  }
  std::printf("\n");
  using vorlith::bench::goal;
  goal(reporter, "sort 1e7 doubles contiguous (x std::sort)", "sort/contiguous", "std::sort", 1.1);
  goal(reporter, "sort 1e7 doubles block (x std::sort)", "sort/block", "std::sort", 1.5);
  goal(reporter, "stable_sort 1e7 doubles contiguous (x std::stable_sort)",
       "stable_sort/contiguous", "std::stable_sort", 1.1);
  goal(reporter, "stable_sort 1e7 doubles block (x std::stable_sort)", "stable_sort/block",
       "std::stable_sort", 1.5);
  goal(reporter, "sort_index_1 1e6 doubles (x std::stable_sort of an index)",
       "sort_index_1/contiguous", "std::stable_sort/index", 1.3);
  return 0;
}
