// rfft_1d_forward of 2^20 and of 1,000,000 samples against FFTW's bare execute of a
// plan made once, in the same run (the library's plans come from its cache after the
// first call).

#include <benchmark/benchmark.h>
#include <fftw3.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

std::vector<double> signal(std::int64_t n) {
  std::vector<double> values(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i)
    values[static_cast<std::size_t>(i)] =
        std::sin(0.01 * static_cast<double>(i)) + 0.1 * static_cast<double>(i % 7);
  return values;
}

void bare_execute(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  double* in = fftw_alloc_real(static_cast<std::size_t>(n));
  fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
  fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
  const std::vector<double> values = signal(n);
  std::copy(values.begin(), values.end(), in);
  for (auto _ : state) {
    fftw_execute(plan);
    benchmark::DoNotOptimize(out);
    benchmark::ClobberMemory();
  }
  fftw_destroy_plan(plan);
  fftw_free(out);
  fftw_free(in);
}

void rfft_1d_forward(benchmark::State& state) {
  const std::int64_t n = state.range(0);
  const std::vector<double> values = signal(n);
  vi::Multi_vector input(vi::type_double, false, n);
  input.set_range_double(0, n, values.data());
  vi::Multi_vector re(vi::type_double, false, 0), im(vi::type_double, false, 0);
  for (auto _ : state) {
    vi::FFT::rfft_1d_forward(input, re, im, 0, n);
    benchmark::ClobberMemory();
  }
}

}  // namespace

int main(int argc, char** argv) {
  for (std::int64_t n : {std::int64_t{1} << 20, std::int64_t{1'000'000}}) {
    const std::string size = std::to_string(n);
    benchmark::RegisterBenchmark(("bare_execute/" + size).c_str(), bare_execute)
        ->Arg(n)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("rfft_1d_forward/" + size).c_str(), rfft_1d_forward)
        ->Arg(n)
        ->Unit(benchmark::kMillisecond);
  }

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  using vorlith::bench::ratio;
  std::printf(
      "\nrfft_1d_forward time as a multiple of FFTW's bare execute, same run (lower is better)\n");
  for (const char* size : {"1048576", "1000000"}) {
    const std::string name = std::string("rfft_1d_forward/") + size;
    std::printf("%-32s %6s x bare execute\n", name.c_str(),
                ratio(reporter, name, std::string("bare_execute/") + size).c_str());
  }
  return 0;
}
