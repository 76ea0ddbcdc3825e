// Elementwise arithmetic and range members on 10,000,000 elements against plain loops
// over std::vector measured in the same run. The thread count is fixed through the
// driver's processor override (1 or 2); the plain two-thread loops split the same way.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench_support.h"
#include "runtime/parallel.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kElements = 10'000'000;
constexpr double D = vorlith::common::dummy_value<double>;

std::vector<double> channel(double scale) {
  std::vector<double> values(static_cast<std::size_t>(kElements));
  for (std::int64_t i = 0; i < kElements; ++i)
    values[static_cast<std::size_t>(i)] =
        (i % 1000 == 7) ? D : scale * static_cast<double>(i % 30000) - 15000.25;
  return values;
}

vi::Multi_vector make(vi::legacy_data_type code, double scale) {
  vi::Multi_vector v(code, false, kElements);
  const std::vector<double> values = channel(scale);
  v.set_range_double(0, kElements, values.data());
  return v;
}

void plain_add(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  const std::vector<double> a = channel(1.0), b = channel(0.5);
  std::vector<double> c(a.size());
  for (auto _ : state) {
#pragma omp parallel for num_threads(threads) schedule(static)
    for (std::int64_t i = 0; i < kElements; ++i) c[i] = a[i] + b[i];
    benchmark::DoNotOptimize(c.data());
    benchmark::ClobberMemory();
  }
}

void add(benchmark::State& state, vi::legacy_data_type a_type, vi::legacy_data_type out_type) {
  vorlith::parallel::set_processor_count_override(static_cast<int>(state.range(0)));
  const vi::Multi_vector a = make(a_type, 1.0), b = make(vi::type_double, 0.5);
  vi::Multi_vector out(out_type, false, kElements);
  for (auto _ : state) {
    vi::Integration_math::add(a, b, out, 0, kElements);
    benchmark::ClobberMemory();
  }
  vorlith::parallel::set_processor_count_override(0);
}

template <class T>
std::vector<T> typed_channel() {
  const vi::Legacy_type type(std::is_same_v<T, double> ? vi::type_double : vi::type_int16);
  const std::vector<double> values = channel(1.0);
  std::vector<T> out(values.size());
  vi::Legacy_type(vi::type_double).convert_to(values.data(), out.data(), type, kElements);
  return out;
}

template <class T>
void plain_compute_range(benchmark::State& state) {
  const std::vector<T> values = typed_channel<T>();
  const T d = vorlith::common::dummy_value<T>;
  for (auto _ : state) {
    T lo = d, hi = d;
    for (const T x : values) {
      if (x == d) continue;
      if (lo == d || x < lo) lo = x;
      if (hi == d || x > hi) hi = x;
    }
    benchmark::DoNotOptimize(lo);
    benchmark::DoNotOptimize(hi);
  }
}

void compute_range(benchmark::State& state, vi::legacy_data_type type) {
  vorlith::parallel::set_processor_count_override(1);
  const vi::Multi_vector v = make(type, 1.0);
  for (auto _ : state) {
    double lo, hi;
    vi::Integration_range::compute_range(v, lo, hi, 0, kElements);
    benchmark::DoNotOptimize(lo);
    benchmark::DoNotOptimize(hi);
  }
  vorlith::parallel::set_processor_count_override(0);
}

void plain_clamp(benchmark::State& state) {
  std::vector<double> values = channel(1.0);
  for (auto _ : state) {
    for (double& x : values) {
      if (x == D) continue;
      x = x < -100.0 ? -100.0 : (x > 100.0 ? 100.0 : x);
    }
    benchmark::DoNotOptimize(values.data());
    benchmark::ClobberMemory();
  }
}

void clamp_to_range(benchmark::State& state) {
  vorlith::parallel::set_processor_count_override(1);
  vi::Multi_vector v = make(vi::type_double, 1.0);
  for (auto _ : state) {
    vi::Integration_range::clamp_to_range(v, -100.0, 100.0, 0, kElements);
    benchmark::ClobberMemory();
  }
  vorlith::parallel::set_processor_count_override(0);
}

}  // namespace

int main(int argc, char** argv) {
  const auto ms = benchmark::kMillisecond;
  for (int threads : {1, 2}) {
    std::string t = "/";
    t += std::to_string(threads);
    benchmark::RegisterBenchmark(("plain_add" + t).c_str(), plain_add)
        ->Arg(threads)
        ->Unit(ms)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("add_double" + t).c_str(), add, vi::type_double, vi::type_double)
        ->Arg(threads)
        ->Unit(ms)
        ->UseRealTime();
  }
  benchmark::RegisterBenchmark("add_int16_double_to_float", add, vi::type_int16, vi::type_float)
      ->Arg(1)
      ->Unit(ms)
      ->UseRealTime();
  benchmark::RegisterBenchmark("plain_compute_range_int16", plain_compute_range<std::int16_t>)
      ->Unit(ms);
  benchmark::RegisterBenchmark("compute_range_int16", compute_range, vi::type_int16)->Unit(ms);
  benchmark::RegisterBenchmark("plain_compute_range_double", plain_compute_range<double>)->Unit(ms);
  benchmark::RegisterBenchmark("compute_range_double", compute_range, vi::type_double)->Unit(ms);
  benchmark::RegisterBenchmark("plain_clamp_double", plain_clamp)->Unit(ms);
  benchmark::RegisterBenchmark("clamp_to_range_double", clamp_to_range)->Unit(ms);

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  using vorlith::bench::ratio;
  std::printf("\ntime as a multiple of its baseline, same run (lower is better)\n");
  std::printf("%-32s %6s x plain loop\n", "add double, 1 thread",
              ratio(reporter, "add_double/1", "plain_add/1").c_str());
  std::printf("%-32s %6s x plain loop\n", "add double, 2 threads",
              ratio(reporter, "add_double/2", "plain_add/2").c_str());
  std::printf("%-32s %6s x direct add\n", "add int16 + double -> float",
              ratio(reporter, "add_int16_double_to_float", "add_double/1").c_str());
  std::printf("%-32s %6s x plain loop\n", "compute_range int16",
              ratio(reporter, "compute_range_int16", "plain_compute_range_int16").c_str());
  std::printf("%-32s %6s x plain loop\n", "compute_range double",
              ratio(reporter, "compute_range_double", "plain_compute_range_double").c_str());
  std::printf("%-32s %6s x plain loop\n", "clamp_to_range double",
              ratio(reporter, "clamp_to_range_double", "plain_clamp_double").c_str());
  std::printf("\n");
  using vorlith::bench::goal;
  goal(reporter, "add double, 1 thread (x plain loop)", "add_double/1", "plain_add/1", 1.1);
  goal(reporter, "add double, 2 threads (x plain loop)", "add_double/2", "plain_add/2", 1.1);
  goal(reporter, "add int16 + double -> float (x direct add)", "add_int16_double_to_float",
       "add_double/1", 2.5);
  goal(reporter, "compute_range int16 (x plain loop)", "compute_range_int16",
       "plain_compute_range_int16", 1.2);
  goal(reporter, "compute_range double (x plain loop)", "compute_range_double",
       "plain_compute_range_double", 1.2);
  goal(reporter, "clamp_to_range double (x plain loop)", "clamp_to_range_double",
       "plain_clamp_double", 1.2);
  return 0;
}
