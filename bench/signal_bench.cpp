// Prediction fill and Akima spline throughput, with the memory copy of the same data
// measured in the same run as the baseline.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kSamples = 1'000'000;
constexpr std::int64_t kGaps = 1'000;
constexpr std::int64_t kGapLength = 50;
constexpr std::int64_t kKnots = 1'000'000;
constexpr std::int64_t kPositions = 1'000'000;
constexpr std::int64_t kGrid = 10'000'000;

std::vector<double> channel_with_gaps() {
  std::vector<double> x(kSamples);
  for (std::int64_t i = 0; i < kSamples; ++i) {
    x[i] = std::sin(0.01 * static_cast<double>(i)) + 0.3 * std::sin(0.037 * static_cast<double>(i));
  }
  const std::int64_t spacing = kSamples / kGaps;
  for (std::int64_t g = 0; g < kGaps; ++g) {
    const std::int64_t start = g * spacing + spacing / 2;
    for (std::int64_t i = start; i < start + kGapLength; ++i)
      x[i] = vorlith::common::dummy_value<double>;
  }
  return x;
}

vi::Multi_vector doubles(const std::vector<double>& values) {
  vi::Multi_vector v(vi::type_double, false, static_cast<std::int64_t>(values.size()));
  v.set_range_double(0, static_cast<std::int64_t>(values.size()), values.data());
  return v;
}

// Restoring the gaps is part of every iteration; restore_channel measures it alone.
void restore_channel(benchmark::State& state) {
  const std::vector<double> original = channel_with_gaps();
  vi::Multi_vector channel = doubles(original);
  for (auto _ : state) {
    channel.set_range_double(0, kSamples, original.data());
    benchmark::ClobberMemory();
  }
}

void predict_fill(benchmark::State& state) {
  const std::vector<double> original = channel_with_gaps();
  vi::Multi_vector channel = doubles(original);
  for (auto _ : state) {
    channel.set_range_double(0, kSamples, original.data());
    vi::Integration_predict::predict(channel, vi::Integration_predict::Edge_type::none,
                                     vorlith::algorithm::Rollweight_type::linear, 0.0, 0, 0, 0);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kGaps * kGapLength);
}

struct Knots {
  vi::Multi_vector x{vi::type_double, false, 0};
  vi::Multi_vector y{vi::type_double, false, 0};
  vi::Multi_vector positions{vi::type_double, false, 0};
};

const Knots& knots() {
  static const Knots k = [] {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> step(0.5, 1.5), value(-1.0, 1.0);
    std::vector<double> x(kKnots), y(kKnots), p(kPositions);
    double at = 0.0;
    for (std::int64_t i = 0; i < kKnots; ++i) {
      at += step(rng);
      x[i] = at;
      y[i] = std::sin(0.001 * at) + 0.1 * value(rng);
    }
    std::uniform_real_distribution<double> where(x.front(), x.back());
    for (double& v : p) v = where(rng);
    std::sort(p.begin(), p.end());
    Knots out;
    out.x = doubles(x);
    out.y = doubles(y);
    out.positions = doubles(p);
    return out;
  }();
  return k;
}

void memcpy_positions(benchmark::State& state) {
  std::vector<double> source(kPositions, 1.5), target(kPositions);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), kPositions * sizeof(double));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

void akima_positions(benchmark::State& state) {
  const Knots& k = knots();
  vi::Multi_vector result(vi::type_double, false, 0);
  for (auto _ : state) {
    vi::Integration_spline::akima(k.x, k.y, k.positions, result, 0.0,
                                  vorlith::common::dummy_value<double>);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPositions);
}

void akima_grid(benchmark::State& state) {
  const Knots& k = knots();
  const double first = k.x.get_double(0);
  const double increment = (k.x.get_double(kKnots - 1) - first) / static_cast<double>(kGrid);
  vi::Multi_vector result(vi::type_double, false, 0);
  for (auto _ : state) {
    vi::Integration_spline::akima(k.x, k.y, result, first, increment, kGrid, 0.0,
                                  vorlith::common::dummy_value<double>);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kGrid);
}

BENCHMARK(restore_channel)->Unit(benchmark::kMillisecond);
BENCHMARK(predict_fill)->Unit(benchmark::kMillisecond);
BENCHMARK(memcpy_positions)->Unit(benchmark::kMillisecond);
BENCHMARK(akima_positions)->Unit(benchmark::kMillisecond);
BENCHMARK(akima_grid)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  vorlith::bench::Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  auto per_second = [&](const char* name, double items) {
    return reporter.has(name) ? items / reporter.seconds(name) / 1e6 : 0.0;
  };
  std::printf(
      "\npredict: %.2f million filled samples/s (restoring the channel included; restore alone %s "
      "x of it)\n",
      per_second("predict_fill", kGaps * kGapLength),
      vorlith::bench::ratio(reporter, "restore_channel", "predict_fill").c_str());
  std::printf(
      "akima, 1e6 knots at 1e6 sorted positions: %.1f million positions/s (%s x memcpy of the "
      "positions)\n",
      per_second("akima_positions", kPositions),
      vorlith::bench::ratio(reporter, "akima_positions", "memcpy_positions").c_str());
  std::printf("akima, 1e6 knots on a grid of 1e7: %.1f million positions/s\n",
              per_second("akima_grid", kGrid));
  std::printf("\n");
  vorlith::bench::goal("akima 1e6 knots, 1e6 sorted positions, 1 thread (M positions/s)",
                       per_second("akima_positions", kPositions), 80.0, true);
  return 0;
}
