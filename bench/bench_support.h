#pragma once
// Shared by the benchmark programs: a reporter that keeps each benchmark's mean time,
// so a program can print its figures as ratios against baselines of the same run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace vorlith::bench {

/// The shared baseline: memcpy of `elements` doubles. Register it with
/// benchmark::RegisterBenchmark(name, copy_doubles, elements).
inline void copy_doubles(benchmark::State& state, std::int64_t elements) {
  std::vector<double> source(static_cast<std::size_t>(elements), 1.5),
      target(static_cast<std::size_t>(elements), 0.0);
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size() * sizeof(double));
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

// Prints as usual and keeps each benchmark's mean real time per iteration.
class Ratio_reporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      Sum& sum = times_[run.run_name.function_name];
      sum.total +=
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);  // seconds
      sum.count += 1;
    }
  }

  bool has(const std::string& name) const { return times_.count(name) != 0; }
  double seconds(const std::string& name) const {
    const Sum& sum = times_.at(name);
    return sum.total / sum.count;
  }

 private:
  struct Sum {
    double total = 0;
    int count = 0;
  };
  std::map<std::string, Sum> times_;
};

inline std::string ratio(const Ratio_reporter& reporter, const std::string& name,
                         const std::string& baseline) {
  if (!reporter.has(name) || !reporter.has(baseline)) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", reporter.seconds(name) / reporter.seconds(baseline));
  return text;
}

/// One row of the goals table `make bench` ends with: bench/summary.py gathers the
/// lines this prints from every program. A goal is met when `measured` is at most
/// `limit` (at least, when `at_least`); a measurement that did not run is "n/a".
inline void goal(const std::string& what, double measured, double limit, bool at_least = false) {
  const bool ran = measured > 0;
  const bool met = ran && (at_least ? measured >= limit : measured <= limit);
  std::printf("goal: %s | %.2f | %s %.2f | %s\n", what.c_str(), measured,
              at_least ? ">=" : "<=", limit,
              !ran  ? "n/a"
              : met ? "met"
                    : "not met");
}

/// A goal on the time of `name` as a multiple of `baseline`'s.
inline void goal(const Ratio_reporter& reporter, const std::string& what, const std::string& name,
                 const std::string& baseline, double limit) {
  const bool ran = reporter.has(name) && reporter.has(baseline);
  goal(what, ran ? reporter.seconds(name) / reporter.seconds(baseline) : 0.0, limit);
}

// Runs the registered benchmarks through reporter; false when the command line has
// arguments Google Benchmark does not know.
inline bool run_registered(int& argc, char** argv, Ratio_reporter& reporter) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return false;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return true;
}

}  // namespace vorlith::bench
