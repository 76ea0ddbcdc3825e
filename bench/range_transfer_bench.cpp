// Range transfer of 10,000,000 elements against memcpy and the bare conversion of the
// same count, measured in the same run; and the memory a block vector holds.

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <vorlith/integration.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kElements = 10'000'000;

vi::Multi_vector make(vi::legacy_data_type code, bool block) {
  vi::Multi_vector v(code, block, kElements);
  std::vector<double> values(static_cast<std::size_t>(kElements));
  for (std::int64_t i = 0; i < kElements; ++i)
    values[static_cast<std::size_t>(i)] = static_cast<double>(i % 30000) - 15000.25;
  v.set_range_double(0, kElements, values.data());
  return v;
}

void get_range_double(benchmark::State& state) {
  const vi::Multi_vector v = make(vi::type_double, state.range(0) != 0);
  std::vector<double> out(kElements);
  for (auto _ : state) {
    v.get_range_double(0, kElements, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void set_range_double(benchmark::State& state) {
  vi::Multi_vector v = make(vi::type_double, state.range(0) != 0);
  std::vector<double> in(kElements, 2.5);
  for (auto _ : state) {
    v.set_range_double(0, kElements, in.data());
    benchmark::ClobberMemory();
  }
}

// Typed reads against Legacy_type::convert_to of the same count on plain arrays.
void typed_read(benchmark::State& state, vi::legacy_data_type from, vi::legacy_data_type to,
                bool bare) {
  const vi::Multi_vector v = make(from, false);
  std::vector<unsigned char> source(static_cast<std::size_t>(kElements * v.get_element_size()));
  v.get_range(0, kElements, source.data());
  const vi::Legacy_type target_type(to);
  std::vector<unsigned char> out(
      static_cast<std::size_t>(kElements * target_type.get_element_size()));
  for (auto _ : state) {
    if (bare)
      v.get_type().convert_to(source.data(), out.data(), target_type, kElements);
    else
      v.get_range(target_type, 0, kElements, out.data());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("memcpy_doubles", vorlith::bench::copy_doubles, kElements)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("get_range_double/contiguous", get_range_double)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("get_range_double/block", get_range_double)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("set_range_double/contiguous", set_range_double)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("set_range_double/block", set_range_double)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("bare/int16_to_double", typed_read, vi::type_int16, vi::type_double,
                               true)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("get_range/int16_to_double", typed_read, vi::type_int16,
                               vi::type_double, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("bare/double_to_float", typed_read, vi::type_double, vi::type_float,
                               true)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("get_range/double_to_float", typed_read, vi::type_double,
                               vi::type_float, false)
      ->Unit(benchmark::kMillisecond);

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  using vorlith::bench::ratio;
  std::printf("\nrange transfer time as a multiple of its baseline, same run (lower is better)\n");
  for (const char* name : {"get_range_double/contiguous", "get_range_double/block",
                           "set_range_double/contiguous", "set_range_double/block"}) {
    std::printf("%-32s %6s x memcpy\n", name, ratio(reporter, name, "memcpy_doubles").c_str());
  }
  std::printf("%-32s %6s x bare conversion\n", "get_range/int16_to_double",
              ratio(reporter, "get_range/int16_to_double", "bare/int16_to_double").c_str());
  std::printf("%-32s %6s x bare conversion\n", "get_range/double_to_float",
              ratio(reporter, "get_range/double_to_float", "bare/double_to_float").c_str());

  std::printf("\n");
  using vorlith::bench::goal;
  goal(reporter, "get_range_double contiguous (x memcpy)", "get_range_double/contiguous",
       "memcpy_doubles", 1.1);
  goal(reporter, "get_range_double block (x memcpy)", "get_range_double/block", "memcpy_doubles",
       1.5);
  goal(reporter, "set_range_double contiguous (x memcpy)", "set_range_double/contiguous",
       "memcpy_doubles", 1.1);
  goal(reporter, "set_range_double block (x memcpy)", "set_range_double/block", "memcpy_doubles",
       1.5);
  goal(reporter, "typed read int16 to double (x bare conversion)", "get_range/int16_to_double",
       "bare/int16_to_double", 1.2);
  goal(reporter, "typed read double to float (x bare conversion)", "get_range/double_to_float",
       "bare/double_to_float", 1.2);

  // Heap bytes held by a block vector of 10,000,000 doubles against the bytes of its elements.
  const std::size_t before = mallinfo2().uordblks;
  {
    vi::Multi_vector v(vi::type_double, true, kElements);
    const std::size_t held = mallinfo2().uordblks - before;
    std::printf("%-32s %6.4f x element bytes\n", "block vector memory",
                static_cast<double>(held) / static_cast<double>(kElements * sizeof(double)));
    goal("block vector memory (x element bytes)",
         static_cast<double>(held) / static_cast<double>(kElements * sizeof(double)), 1.02);
  }
  return 0;
}
