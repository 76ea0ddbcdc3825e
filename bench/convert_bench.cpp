// Legacy_type::convert_to over one million elements, against memcpy of the same bytes.
//
// Every conversion is paired with two memcpy baselines measured in the same run, just
// before it: one of the source bytes and one of the wider side's bytes. After the run
// a summary gives each conversion's time as a multiple of both, so that figures compare
// across machines and builds.

#include <benchmark/benchmark.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"

namespace vi = vorlith::integration;
using vorlith::bench::ratio;
using vorlith::bench::Ratio_reporter;

namespace {

constexpr std::int64_t kElements = 1'000'000;

struct Case {
  std::string name;
  vi::Legacy_type from;
  vi::Legacy_type to;
};

std::int64_t size_of(const vi::Legacy_type& type) { return type.get_element_size(); }

// Source data that looks like survey channels: varied values, a dummy now and then.
std::vector<unsigned char> make_source(const vi::Legacy_type& type) {
  std::vector<double> values(kElements);
  for (std::int64_t i = 0; i < kElements; ++i) {
    values[i] = (i % 1000 == 7) ? vorlith::common::dummy_value<double>
                                : 30000.0 * std::sin(0.001 * static_cast<double>(i)) + 0.25;
  }
  std::vector<unsigned char> bytes(static_cast<std::size_t>(kElements * size_of(type)));
  if (type.is_opaque()) {
    // Text comes from numbers, as it does when a host stores them as text.
    std::vector<std::int32_t> numbers(kElements);
    vi::Legacy_type(vi::type_double)
        .convert_to(values.data(), numbers.data(), vi::type_int32, kElements);
    vi::Legacy_type(vi::type_int32).convert_to(numbers.data(), bytes.data(), type, kElements);
  } else {
    vi::Legacy_type(vi::type_double).convert_to(values.data(), bytes.data(), type, kElements);
  }
  return bytes;
}

void convert(benchmark::State& state, const Case& c) {
  const std::vector<unsigned char> source = make_source(c.from);
  std::vector<unsigned char> target(static_cast<std::size_t>(kElements * size_of(c.to)), 1);
  for (auto _ : state) {
    c.from.convert_to(source.data(), target.data(), c.to, kElements);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kElements);
  state.SetBytesProcessed(state.iterations() * kElements * (size_of(c.from) + size_of(c.to)));
}

void copy_bytes(benchmark::State& state, std::int64_t bytes) {
  std::vector<unsigned char> source(static_cast<std::size_t>(bytes), 3);
  std::vector<unsigned char> target(static_cast<std::size_t>(bytes), 1);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * bytes * 2);
}

}  // namespace

int main(int argc, char** argv) {
  const vi::Legacy_type opaque16(std::int64_t{16});
  const std::vector<Case> cases = {
      {"double_to_int16", vi::type_double, vi::type_int16},
      {"int16_to_double", vi::type_int16, vi::type_double},
      {"double_to_float", vi::type_double, vi::type_float},
      {"float_to_double", vi::type_float, vi::type_double},
      {"int32_to_opaque16", vi::type_int32, opaque16},
      {"opaque16_to_int32", opaque16, vi::type_int32},
      {"double_to_double", vi::type_double, vi::type_double},
  };

  // Each conversion runs right after its own baselines, so that all three see the
  // machine in the same state.
  for (const Case& c : cases) {
    const std::int64_t source_bytes = kElements * size_of(c.from);
    const std::int64_t wider_bytes = kElements * std::max(size_of(c.from), size_of(c.to));
    benchmark::RegisterBenchmark((c.name + "/memcpy_source").c_str(), copy_bytes, source_bytes)
        ->Unit(benchmark::kMicrosecond);
    if (wider_bytes != source_bytes) {
      benchmark::RegisterBenchmark((c.name + "/memcpy_wider").c_str(), copy_bytes, wider_bytes)
          ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark((c.name + "/convert_to").c_str(), convert, c)
        ->Unit(benchmark::kMicrosecond);
  }

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nconvert_to time as a multiple of memcpy, same run (lower is better)\n");
  std::printf("%-20s %16s %16s\n", "conversion", "x source bytes", "x wider side");
  for (const Case& c : cases) {
    const bool same_width = size_of(c.to) <= size_of(c.from);
    std::printf("%-20s %16s %16s\n", c.name.c_str(),
                ratio(reporter, c.name + "/convert_to", c.name + "/memcpy_source").c_str(),
                ratio(reporter, c.name + "/convert_to",
                      c.name + (same_width ? "/memcpy_source" : "/memcpy_wider"))
                    .c_str());
  }
  std::printf("\n");
  vorlith::bench::goal(reporter, "convert_to double to double (x memcpy)",
                       "double_to_double/convert_to", "double_to_double/memcpy_source", 1.1);
  for (const char* name :
       {"double_to_int16", "int16_to_double", "double_to_float", "float_to_double"}) {
    const std::string n = name;
    const bool widens = n == "int16_to_double" || n == "float_to_double";
    vorlith::bench::goal(reporter, "convert_to " + n + " (x memcpy of the wider side)",
                         n + "/convert_to", n + (widens ? "/memcpy_wider" : "/memcpy_source"), 1.5);
  }
  return 0;
}
