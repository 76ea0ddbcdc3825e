// Calls on 100,000 elements with one thread and with two: below the size where the
// work outweighs a parallel region's start-up, two threads must not be slower (the
// goal allows the 5 % two runs of the same work differ by on this machine).

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kElements = 100'000;

vi::Multi_vector channel(vi::legacy_data_type code) {
  std::vector<double> values(static_cast<std::size_t>(kElements));
  for (std::int64_t i = 0; i < kElements; ++i)
    values[static_cast<std::size_t>(i)] = static_cast<double>(i % 977) * 0.25 - 50.0;
  vi::Multi_vector v(code, false, kElements);
  v.set_range_double(0, kElements, values.data());
  return v;
}

struct Call {
  const char* name;
  std::function<void()> run;
};

std::vector<Call> calls() {
  static vi::Multi_vector a = channel(vi::type_double), b = channel(vi::type_double),
                          small = channel(vi::type_int16), out(vi::type_double, false, kElements),
                          conv_out(vi::type_double, false, 0), real_part(vi::type_double, false, 0),
                          imaginary_part(vi::type_double, false, 0);
  static std::vector<double> read(static_cast<std::size_t>(kElements));
  static const std::vector<double> kernel(31, 1.0 / 31);
  return {
      {"add", [] { vi::Integration_math::add(a, b, out, 0, kElements); }},
      {"mean", [] { benchmark::DoNotOptimize(vi::Integration_math::mean(a, 0, kElements)); }},
      {"compute_min",
       [] { benchmark::DoNotOptimize(vi::Integration_range::compute_min(a, 0, kElements)); }},
      {"clamp_to_range", [] { vi::Integration_range::clamp_to_range(out, -10, 10, 0, kElements); }},
      {"get_range int16 to double",
       [] { small.get_range(vi::Legacy_type(vi::type_double), 0, kElements, read.data()); }},
      {"distance_cumulative",
       [] { vi::Integration_math::distance_cumulative(a, b, a, out, 0.0, 0, kElements); }},
      {"uniform_distribution",
       [] { vi::Integration_math::uniform_distribution(out, 0.0, 1.0, 7, 0, kElements); }},
      {"rfft_1d_forward",
       [] { vi::FFT::rfft_1d_forward(a, real_part, imaginary_part, 0, kElements); }},
      {"convolution 31 taps",
       [] { vi::Integration_filter::convolution(a, conv_out, kernel, true); }},
  };
}

void run_call(benchmark::State& state, std::size_t call) {
  set_integration_max_threads(static_cast<int>(state.range(0)));
  const auto all = calls();
  for (auto _ : state) {
    all[call].run();
    benchmark::ClobberMemory();
  }
  set_integration_max_threads(0);
}

}  // namespace

int main(int argc, char** argv) {
  const auto list = calls();
  for (std::size_t c = 0; c < list.size(); ++c) {
    for (int threads : {1, 2}) {
      benchmark::RegisterBenchmark(
          (std::string(list[c].name) + "/" + std::to_string(threads)).c_str(), run_call, c)
          ->Arg(threads)
          ->Unit(benchmark::kMicrosecond)
          ->UseRealTime();
    }
  }
  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  std::printf("\n");
  for (const Call& c : list) {
    const std::string name = c.name;
    vorlith::bench::goal(reporter, name + " 1e5, 2 threads (x 1 thread)", name + "/2", name + "/1",
                         1.05);
  }
  return 0;
}
