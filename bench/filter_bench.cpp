// Convolution of 10,000,000 doubles with a 31-tap kernel against a plain double loop
// of the same sums, on one thread and on the default team; and the despiking filter
// on 1,000,000 samples with width 16.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kSamples = 10'000'000;
constexpr std::int64_t kTaps = 31;

std::vector<double> signal(std::int64_t n) {
  std::vector<double> values(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i)
    values[static_cast<std::size_t>(i)] =
        std::sin(0.001 * static_cast<double>(i)) + 0.1 * static_cast<double>(i % 7);
  return values;
}

std::vector<double> kernel() {
  std::vector<double> taps(kTaps);
  for (std::int64_t t = 0; t < kTaps; ++t)
    taps[static_cast<std::size_t>(t)] = 1.0 / (1.0 + static_cast<double>(t));
  return taps;
}

void plain_loop(benchmark::State& state) {
  const std::vector<double> x = signal(kSamples);
  const std::vector<double> k = kernel();
  std::vector<double> out(static_cast<std::size_t>(kSamples - kTaps + 1));
  for (auto _ : state) {
    for (std::size_t i = 0; i < out.size(); ++i) {
      double sum = 0;
      for (std::size_t t = 0; t < k.size(); ++t) sum += k[t] * x[i + t];
      out[i] = sum;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}

void convolution(benchmark::State& state) {
  const bool one_thread = state.range(0) != 0;
  const std::vector<double> values = signal(kSamples);
  vi::Multi_vector input(vi::type_double, false, kSamples);
  input.set_range_double(0, kSamples, values.data());
  vi::Multi_vector output(vi::type_double, false, 0);
  const std::vector<double> k = kernel();
  const std::int64_t block = get_integration_min_thread_block();
  if (one_thread) set_integration_min_thread_block(kSamples * 2);
  for (auto _ : state) {
    vi::Integration_filter::convolution(input, output, k, false);
    benchmark::ClobberMemory();
  }
  set_integration_min_thread_block(block);
}

void naudy(benchmark::State& state) {
  std::vector<double> values = signal(1'000'000);
  for (std::size_t i = 500; i < values.size(); i += 997) values[i] += 50.0;
  vi::Multi_vector channel(vi::type_double, false, 1'000'000);
  for (auto _ : state) {
    state.PauseTiming();
    channel.set_range_double(0, 1'000'000, values.data());
    state.ResumeTiming();
    vi::Integration_filter::naudy_filter_workflow(channel, 16, 0.5, 4);
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("plain_loop", plain_loop)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("convolution/one_thread", convolution)
      ->Arg(1)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("convolution/default_team", convolution)
      ->Arg(0)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("naudy_filter_workflow/1M_width16", naudy)
      ->Unit(benchmark::kMillisecond);

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  using vorlith::bench::ratio;
  std::printf("\nconvolution time as a multiple of the plain loop, same run (lower is better)\n");
  for (const char* name : {"convolution/one_thread", "convolution/default_team"}) {
    std::printf("%-32s %6s x plain loop\n", name, ratio(reporter, name, "plain_loop").c_str());
  }
  std::printf("\n");
  vorlith::bench::goal(reporter, "convolution 31 taps, 1 thread (x plain loop)",
                       "convolution/one_thread", "plain_loop", 1.2);
  return 0;
}
