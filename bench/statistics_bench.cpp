// Statistics, a line distance, a random fill and a field-vector conversion, each against
// a plain loop that does the same work in the same run.
//
// mean and distance_cumulative on 10,000,000 doubles, uniform_distribution of
// 10,000,000 doubles against std::mt19937 making the same draws, and
// convert_xyz_to_amp_inc_dec on 1,000,000 elements. mean runs on the library's
// threads; it is also measured with the host's veto, on one thread, for a like for
// like ratio against the serial loop.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;
using vorlith::bench::ratio;
using vorlith::bench::Ratio_reporter;

namespace {

constexpr std::int64_t kLarge = 10'000'000;
constexpr std::int64_t kField = 1'000'000;
constexpr double D = vorlith::common::dummy_value<double>;

std::vector<double> channel(std::int64_t n, double phase) {
  std::vector<double> v(static_cast<std::size_t>(n));
  for (std::int64_t i = 0; i < n; ++i)
    v[i] = i % 1000 == 7 ? D : 500.0 * std::sin(1e-4 * static_cast<double>(i) + phase) + 0.5 * i;
  return v;
}

vi::Multi_vector vector_of(const std::vector<double>& values) {
  vi::Multi_vector v(vi::type_double, false, static_cast<std::int64_t>(values.size()));
  v.set_range_double(0, v.get_length(), values.data());
  return v;
}

void mean(benchmark::State& state, bool one_thread) {
  const vi::Multi_vector v = vector_of(channel(kLarge, 0.0));
  if (one_thread) ::register_external_sys_functions({[] { return true; }});
  for (auto _ : state) benchmark::DoNotOptimize(vi::Integration_math::mean(v, 0, -1));
  ::register_external_sys_functions({[] { return false; }});
  state.SetItemsProcessed(state.iterations() * kLarge);
}

void mean_loop(benchmark::State& state) {
  const std::vector<double> v = channel(kLarge, 0.0);
  for (auto _ : state) {
    double sum = 0.0;
    std::int64_t count = 0;
    for (double x : v) {
      if (x == D) continue;
      sum += x;
      ++count;
    }
    benchmark::DoNotOptimize(sum / static_cast<double>(count));
  }
  state.SetItemsProcessed(state.iterations() * kLarge);
}

void distance_cumulative(benchmark::State& state) {
  const vi::Multi_vector x = vector_of(channel(kLarge, 0.0));
  const vi::Multi_vector y = vector_of(channel(kLarge, 1.0));
  const vi::Multi_vector z = vector_of(channel(kLarge, 2.0));
  vi::Multi_vector out(vi::type_double, false, kLarge);
  for (auto _ : state) {
    vi::Integration_math::distance_cumulative(x, y, z, out, 0.0, 0, -1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kLarge);
}

void distance_cumulative_loop(benchmark::State& state) {
  const std::vector<double> x = channel(kLarge, 0.0), y = channel(kLarge, 1.0),
                            z = channel(kLarge, 2.0);
  std::vector<double> out(kLarge);
  for (auto _ : state) {
    double distance = 0.0, px = 0.0, py = 0.0, pz = 0.0;
    bool previous = false;
    for (std::int64_t i = 0; i < kLarge; ++i) {
      if (x[i] == D || y[i] == D || z[i] == D) {
        out[i] = D;
        continue;
      }
      if (previous) {
        const double dx = x[i] - px, dy = y[i] - py, dz = z[i] - pz;
        distance += std::sqrt(dx * dx + dy * dy + dz * dz);
      }
      previous = true;
      px = x[i], py = y[i], pz = z[i];
      out[i] = distance;
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kLarge);
}

void uniform(benchmark::State& state) {
  vi::Multi_vector v(vi::type_double, false, kLarge);
  for (auto _ : state) {
    vi::Integration_math::uniform_distribution(v, -1.0, 1.0, 12345u, 0, -1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kLarge);
}

void uniform_loop(benchmark::State& state) {
  std::vector<double> v(kLarge);
  for (auto _ : state) {
    std::mt19937 generator(12345u);
    for (double& x : v) {
      const double low = generator();
      const double high = generator();
      x = (low + high * 4294967296.0) / 18446744073709551616.0 * 2.0 - 1.0;
    }
    benchmark::DoNotOptimize(v.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kLarge);
}

void xyz_to_amp_inc_dec(benchmark::State& state) {
  const std::vector<double> cx = channel(kField, 0.0), cy = channel(kField, 1.0),
                            cz = channel(kField, 2.0);
  vi::Multi_vector x = vector_of(cx), y = vector_of(cy), z = vector_of(cz);
  for (auto _ : state) {
    state.PauseTiming();
    x.set_range_double(0, kField, cx.data());
    y.set_range_double(0, kField, cy.data());
    z.set_range_double(0, kField, cz.data());
    state.ResumeTiming();
    vi::Integration_convert::convert_xyz_to_amp_inc_dec(x, y, z, 0, -1);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kField);
}

void xyz_to_amp_inc_dec_loop(benchmark::State& state) {
  const std::vector<double> cx = channel(kField, 0.0), cy = channel(kField, 1.0),
                            cz = channel(kField, 2.0);
  std::vector<double> x = cx, y = cy, z = cz;
  for (auto _ : state) {
    state.PauseTiming();
    x = cx, y = cy, z = cz;
    state.ResumeTiming();
    for (std::int64_t i = 0; i < kField; ++i) {
      if (x[i] == D || y[i] == D || z[i] == D) {
        x[i] = y[i] = z[i] = D;
        continue;
      }
      const double a = std::sqrt(x[i] * x[i] + y[i] * y[i] + z[i] * z[i]);
      const double inc = std::atan2(-z[i], std::hypot(x[i], y[i])) * 57.29577951308232;
      const double dec = std::atan2(x[i], y[i]) * 57.29577951308232;
      x[i] = a, y[i] = inc, z[i] = dec;
    }
    benchmark::DoNotOptimize(x.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kField);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("mean_loop", mean_loop)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("mean", mean, false)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("mean_one_thread", mean, true)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("distance_cumulative_loop", distance_cumulative_loop)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("distance_cumulative", distance_cumulative)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("uniform_loop", uniform_loop)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("uniform_distribution", uniform)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("xyz_to_amp_inc_dec_loop", xyz_to_amp_inc_dec_loop)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("convert_xyz_to_amp_inc_dec", xyz_to_amp_inc_dec)
      ->Unit(benchmark::kMillisecond);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nTime as a multiple of the plain loop, same run (lower is better)\n");
  const char* rows[][2] = {{"mean", "mean_loop"},
                           {"mean_one_thread", "mean_loop"},
                           {"distance_cumulative", "distance_cumulative_loop"},
                           {"uniform_distribution", "uniform_loop"},
                           {"convert_xyz_to_amp_inc_dec", "xyz_to_amp_inc_dec_loop"}};
  for (const auto& row : rows)
    std::printf("%-28s %8s\n", row[0], ratio(reporter, row[0], row[1]).c_str());
  for (const auto& row : rows) {
    if (!reporter.has(row[0])) continue;
    const double elements = row[0][0] == 'c' ? kField : kLarge;
    std::printf("%-28s %8.3f ns per element\n", row[0], reporter.seconds(row[0]) / elements * 1e9);
  }
  std::printf("\n");
  for (int r = 0; r < 4; ++r) {
    vorlith::bench::goal(reporter, std::string(rows[r][0]) + " (x plain loop)", rows[r][0],
                         rows[r][1], 1.2);
  }
  return 0;
}
