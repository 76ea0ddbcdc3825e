// Fill, search, dummy and copy members on 10,000,000 elements against a plain loop or
// std:: algorithm over a raw array of the same size, measured in the same run.
//
// Each member runs twice: as the library runs it (long ranges split over threads), and
// with the host's veto registered, so one thread against one thread shows the loop's
// own cost.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;

namespace {

constexpr std::int64_t kElements = 10'000'000;
constexpr double kDummy = vorlith::common::dummy_value<double>;

bool smp_vetoed = false;
bool is_smp_active() { return smp_vetoed; }

// Every tenth element a dummy.
std::vector<double> survey_values() {
  std::vector<double> values(static_cast<std::size_t>(kElements));
  for (std::int64_t i = 0; i < kElements; ++i) {
    values[static_cast<std::size_t>(i)] =
        i % 10 == 7 ? kDummy : 0.5 * static_cast<double>(i % 4000);
  }
  return values;
}

vi::Multi_vector vector_of(const std::vector<double>& values, bool block) {
  vi::Multi_vector v(vi::type_double, block, kElements);
  v.set_range_double(0, kElements, values.data());
  return v;
}

template <class Body>
void library(benchmark::State& state, Body body) {
  smp_vetoed = state.range(0) != 0;
  const std::vector<double> values = survey_values();
  vi::Multi_vector v = vector_of(values, state.range(1) != 0);
  for (auto _ : state) {
    body(state, v, values);
    benchmark::ClobberMemory();
  }
  smp_vetoed = false;
}

void fill_value(benchmark::State& state) {
  library(state, [](benchmark::State&, vi::Multi_vector& v, const std::vector<double>&) {
    const double x = 2.5;
    v.fill_value(&x, 0, kElements);
  });
}
void filldummy(benchmark::State& state) {
  library(state, [](benchmark::State&, vi::Multi_vector& v, const std::vector<double>&) {
    v.filldummy(0, kElements);
  });
}
void count_dummy(benchmark::State& state) {
  library(state, [](benchmark::State&, vi::Multi_vector& v, const std::vector<double>&) {
    benchmark::DoNotOptimize(v.count_dummy(0, kElements));
  });
}
void find_last(benchmark::State& state) {
  library(state, [](benchmark::State&, vi::Multi_vector& v, const std::vector<double>&) {
    const double x = -1.0;  // only at the end
    v.set_double(kElements - 1, x);
    benchmark::DoNotOptimize(v.find(&x, 0, kElements));
  });
}
void erase_dummies(benchmark::State& state) {
  library(state, [](benchmark::State& s, vi::Multi_vector& v, const std::vector<double>& values) {
    v.erase_dummies(0, kElements);
    benchmark::DoNotOptimize(v.get_length());
    s.PauseTiming();
    v.set_range_double(0, kElements, values.data());
    s.ResumeTiming();
  });
}
void copy_int16(benchmark::State& state) {
  smp_vetoed = state.range(0) != 0;
  const bool block = state.range(1) != 0;
  vi::Multi_vector source(vi::type_int16, block, kElements);
  source.fill_increasing(-15000, 3, 0, kElements);
  vi::Multi_vector target(vi::type_double, block, kElements);
  for (auto _ : state) {
    target.copy(0, source, 0, kElements);
    benchmark::ClobberMemory();
  }
  smp_vetoed = false;
}

// Baselines on raw arrays.
void raw_fill(benchmark::State& state) {
  std::vector<double> a = survey_values();
  for (auto _ : state) {
    std::fill(a.begin(), a.end(), state.range(0) ? kDummy : 2.5);
    benchmark::DoNotOptimize(a.data());
    benchmark::ClobberMemory();
  }
}
void raw_count(benchmark::State& state) {
  const std::vector<double> a = survey_values();
  for (auto _ : state) benchmark::DoNotOptimize(std::count(a.begin(), a.end(), kDummy));
}
void raw_find(benchmark::State& state) {
  std::vector<double> a = survey_values();
  a.back() = -1.0;
  for (auto _ : state) benchmark::DoNotOptimize(std::find(a.begin(), a.end(), -1.0));
}
void raw_remove(benchmark::State& state) {
  const std::vector<double> values = survey_values();
  std::vector<double> a = values;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::remove(a.begin(), a.end(), kDummy));
    benchmark::ClobberMemory();
    state.PauseTiming();
    std::copy(values.begin(), values.end(), a.begin());
    state.ResumeTiming();
  }
}
void raw_convert(benchmark::State& state) {
  std::vector<std::int16_t> source(static_cast<std::size_t>(kElements));
  for (std::int64_t i = 0; i < kElements; ++i)
    source[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i % 30000 - 15000);
  std::vector<double> target(static_cast<std::size_t>(kElements));
  for (auto _ : state) {
    for (std::size_t i = 0; i < source.size(); ++i) target[i] = static_cast<double>(source[i]);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

const char* const kModes[] = {"threads/contiguous", "threads/block", "one_thread/contiguous",
                              "one_thread/block"};

void register_library(const char* name, void (*fn)(benchmark::State&)) {
  for (int veto : {0, 1}) {
    for (int block : {0, 1}) {
      benchmark::RegisterBenchmark((std::string(name) + "/" + kModes[veto * 2 + block]).c_str(), fn)
          ->Args({veto, block})
          ->Unit(benchmark::kMillisecond);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  register_external_sys_functions(external_sys_functions{&is_smp_active});
  struct Case {
    const char* name;
    void (*fn)(benchmark::State&);
    const char* baseline;
  };
  const Case cases[] = {{"fill_value", fill_value, "std::fill"},
                        {"filldummy", filldummy, "std::fill dummy"},
                        {"count_dummy", count_dummy, "std::count"},
                        {"find_last", find_last, "std::find"},
                        {"erase_dummies", erase_dummies, "std::remove"},
                        {"copy_int16_to_double", copy_int16, "loop int16 to double"}};
  for (const Case& c : cases) register_library(c.name, c.fn);
  benchmark::RegisterBenchmark("std::fill", raw_fill)->Arg(0)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("std::fill dummy", raw_fill)->Arg(1)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("std::count", raw_count)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("std::find", raw_find)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("std::remove", raw_remove)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("loop int16 to double", raw_convert)->Unit(benchmark::kMillisecond);

  vorlith::bench::Ratio_reporter reporter;
  if (!vorlith::bench::run_registered(argc, argv, reporter)) return 1;

  std::printf(
      "\nmember time as a multiple of its raw-array baseline, same run (lower is better)\n");
  std::printf("%-22s", "");
  for (const char* mode : kModes) std::printf(" %22s", mode);
  std::printf("   baseline\n");
  for (const Case& c : cases) {
    std::printf("%-22s", c.name);
    for (const char* mode : kModes) {
      std::printf(
          " %22s",
          vorlith::bench::ratio(reporter, std::string(c.name) + "/" + mode, c.baseline).c_str());
    }
    std::printf("   %s\n", c.baseline);
  }
  std::printf("\n");
  for (const Case& c : cases) {
    for (const char* mode : kModes) {
      vorlith::bench::goal(reporter, std::string(c.name) + " " + mode + " (x " + c.baseline + ")",
                           std::string(c.name) + "/" + mode, c.baseline, 1.2);
    }
  }
  return 0;
}
