// The Hampel despiker on 1,000,000 samples with a window of 501 (one thread and the
// default team) against a brute-force window median (a selection over a copy of each
// window), which does less: no MAD.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kSamples = 1'000'000;
constexpr std::int64_t kHalf = 250;

std::vector<double> spiky() {
  std::vector<double> values(static_cast<std::size_t>(kSamples));
  for (std::int64_t i = 0; i < kSamples; ++i)
    values[static_cast<std::size_t>(i)] = std::sin(0.001 * static_cast<double>(i)) +
                                          0.1 * static_cast<double>((i * 7919) % 13) +
                                          (i % 997 == 0 ? 30.0 : 0.0);
  return values;
}

void brute_median(benchmark::State& state) {
  const std::vector<double> x = spiky();
  std::vector<double> out(x.size()), window;
  const auto n = static_cast<std::int64_t>(x.size());
  for (auto _ : state) {
    for (std::int64_t i = 0; i < n; ++i) {
      const auto first = x.begin() + std::max<std::int64_t>(0, i - kHalf);
      const auto last = x.begin() + std::min(n, i + kHalf + 1);
      window.assign(first, last);
      const auto middle = window.begin() + static_cast<std::ptrdiff_t>(window.size() / 2);
      std::nth_element(window.begin(), middle, window.end());
      out[static_cast<std::size_t>(i)] = *middle;
    }
    benchmark::DoNotOptimize(out.data());
  }
}

void hampel(benchmark::State& state) {
  const bool one_thread = state.range(0) != 0;
  const std::vector<double> x = spiky();
  vi::Multi_vector channel(vi::type_double, false, kSamples);
  const std::int64_t block = get_integration_min_thread_block();
  if (one_thread) set_integration_min_thread_block(kSamples * 32);
  for (auto _ : state) {
    state.PauseTiming();
    channel.set_range_double(0, kSamples, x.data());
    state.ResumeTiming();
    benchmark::DoNotOptimize(vi::Integration_line::hampel(channel, kHalf, 3.0, true, nullptr));
  }
  set_integration_min_thread_block(block);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("brute_median/1M_w501", brute_median)
      ->Unit(benchmark::kMillisecond)
      ->Iterations(1);
  benchmark::RegisterBenchmark("hampel/1M_w501/one_thread", hampel)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("hampel/1M_w501/default_team", hampel)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond);

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  using vorlith::bench::ratio;
  std::printf("\nHampel time as a multiple of the brute-force window median (lower is better)\n");
  for (const char* name : {"hampel/1M_w501/one_thread", "hampel/1M_w501/default_team"})
    std::printf("%-32s %6s x brute median\n", name,
                ratio(reporter, name, "brute_median/1M_w501").c_str());
  return 0;
}
