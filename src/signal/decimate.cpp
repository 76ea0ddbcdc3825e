// Decimation behind a Kaiser-windowed sinc low-pass, evaluated only at the kept samples.

#include <vorlith/dummy.h>
#include <vorlith/host_hooks.h>
#include <vorlith/integration_filter.h>
#include <vorlith/integration_line.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "runtime/contracts.h"
#include "runtime/parallel.h"
#include "storage/multi_vector_access.h"

namespace vorlith::integration {

namespace {

constexpr double dummy = common::dummy_value<double>;

// Passband edge as a fraction of the new Nyquist frequency.
constexpr double passband_fraction = 0.6;

double kaiser_beta(double attenuation_db) {
  if (attenuation_db > 50.0) return 0.1102 * (attenuation_db - 8.7);
  if (attenuation_db >= 21.0)
    return 0.5842 * std::pow(attenuation_db - 21.0, 0.4) + 0.07886 * (attenuation_db - 21.0);
  return 0.0;
}

// taps odd; the ideal low-pass cut at `cutoff` cycles per sample under a Kaiser window,
// scaled to a gain of exactly 1 at zero frequency.
std::vector<double> windowed_sinc(std::int64_t taps, double cutoff, double beta) {
  std::vector<double> h(static_cast<std::size_t>(taps));
  const std::int64_t centre = taps / 2;
  const double norm = std::cyl_bessel_i(0.0, beta);
  double sum = 0.0;
  for (std::int64_t j = 0; j < taps; ++j) {
    const double t = static_cast<double>(j - centre);
    const double arg = 2.0 * cutoff * t;
    const double sinc =
        t == 0.0 ? 1.0 : std::sin(std::numbers::pi * arg) / (std::numbers::pi * arg);
    const double r = t / static_cast<double>(centre);
    const double window =
        std::cyl_bessel_i(0.0, beta * std::sqrt(std::max(0.0, 1.0 - r * r))) / norm;
    h[static_cast<std::size_t>(j)] = 2.0 * cutoff * sinc * window;
    sum += h[static_cast<std::size_t>(j)];
  }
  for (double& v : h) v /= sum;
  return h;
}

// The largest gain of a symmetric filter over [from, 0.5] cycles per sample, on a grid
// fine enough to find each side lobe's peak. cos(w j) comes from the recurrence
// c(j + 1) = 2 cos(w) c(j) - c(j - 1), so a point costs a multiply-add per tap.
double largest_stopband_gain(const std::vector<double>& h, double from) {
  const auto taps = static_cast<std::int64_t>(h.size());
  const std::int64_t centre = taps / 2;
  const std::int64_t points = 8 * taps;
  double largest = 0.0;
  for (std::int64_t g = 0; g <= points; ++g) {
    const double f = from + (0.5 - from) * static_cast<double>(g) / static_cast<double>(points);
    const double step = 2.0 * std::cos(2.0 * std::numbers::pi * f);
    double previous = 1.0, current = step / 2.0;
    double gain = h[static_cast<std::size_t>(centre)];
    for (std::int64_t j = 1; j <= centre; ++j) {
      gain += 2.0 * h[static_cast<std::size_t>(centre + j)] * current;
      const double next = step * current - previous;
      previous = current;
      current = next;
    }
    largest = std::max(largest, std::fabs(gain));
  }
  return largest;
}

// The low-pass of one stage of `factor`: Kaiser's length estimate, lengthened until the
// measured stopband meets the attenuation.
std::vector<double> stage_filter(std::int64_t factor, double attenuation_db) {
  const double stop = 0.5 / static_cast<double>(factor);
  const double pass = passband_fraction * stop;
  const double beta = kaiser_beta(attenuation_db);
  const double bound = std::pow(10.0, -attenuation_db / 20.0);
  auto taps =
      static_cast<std::int64_t>(std::ceil((attenuation_db - 7.95) / (14.36 * (stop - pass)))) + 1;
  taps += 1 - taps % 2;
  for (;; taps += 2) {
    std::vector<double> h = windowed_sinc(taps, (pass + stop) / 2.0, beta);
    if (largest_stopband_gain(h, stop) <= bound) return h;
  }
}

// The stages of a factor: its prime factors, largest first, packed into stages of at most
// max_stage (a larger prime is a stage of its own). A stage costs about the same per
// input sample whatever its factor, so few stages are best; the bound keeps the filters
// short enough to design quickly.
std::vector<std::int64_t> stage_factors(std::int64_t m) {
  constexpr std::int64_t max_stage = 32;
  std::vector<std::int64_t> primes;
  for (std::int64_t p = 2; p * p <= m; ++p) {
    for (; m % p == 0; m /= p) primes.push_back(p);
  }
  if (m > 1) primes.push_back(m);
  std::vector<std::int64_t> stages;
  std::int64_t current = 1;
  for (auto p = primes.rbegin(); p != primes.rend(); ++p) {
    if (current * *p > max_stage && current > 1) {
      stages.push_back(current);
      current = 1;
    }
    current *= *p;
  }
  if (current > 1) stages.push_back(current);
  return stages;
}

// y[j] = sum_t h[t] * x[j m + t - c] for j < ceil(n / m), c the centre tap: the filter
// evaluated only where a sample is kept. Tap t = q m + r reads phase b of x (its samples
// b, b + m, ...) at j + q + a, where r - c = a m + b; so each r is one convolution of one
// phase with the taps r, r + m, ..., shifted by a. A j whose window holds a dummy or
// leaves x is a dummy in that phase's convolution or outside it.
Multi_vector polyphase_stage(const Multi_vector& x, std::int64_t m, const std::vector<double>& h) {
  const std::int64_t n = x.get_length();
  const auto taps = static_cast<std::int64_t>(h.size());
  const std::int64_t centre = taps / 2;
  const std::int64_t count = (n + m - 1) / m;
  struct Phase {
    std::int64_t shift = 0;                                   // a
    Multi_vector values{Legacy_type(type_double), false, 0};  // the phase's convolution
  };
  std::vector<Phase> phases(static_cast<std::size_t>(m));
  // The phases are independent: shared among threads whole (each convolution then runs
  // on its thread), which opens one region per stage instead of one per phase.
  const std::int64_t min_phases = n >= get_integration_min_thread_block() ? 1 : m;
  parallel::run_over_range(0, m, min_phases, [&](std::int64_t first, std::int64_t last) {
    Multi_vector phase(Legacy_type(type_double), false, 0);
    for (std::int64_t r = first; r < last; ++r) {
      std::vector<double> phase_taps;
      for (std::int64_t t = r; t < taps; t += m)
        phase_taps.push_back(h[static_cast<std::size_t>(t)]);
      const std::int64_t s = r - centre;
      const std::int64_t a = s >= 0 ? s / m : -((-s + m - 1) / m);
      const std::int64_t b = s - a * m;
      Phase& out = phases[static_cast<std::size_t>(r)];
      out.shift = a;
      phase.set_length(0);
      if (b < n) phase.copy_stride(0, x, b, -1, m);
      if (phase_taps.empty() || phase.get_length() < static_cast<std::int64_t>(phase_taps.size()))
        continue;
      Integration_filter::convolution(phase, out.values, phase_taps, false);
    }
  });
  std::vector<double> sum(static_cast<std::size_t>(count), 0.0);
  for (const Phase& phase : phases) {
    const std::int64_t produced = phase.values.get_length();
    const double* values = storage::stored_doubles(phase.values, 0, produced);
    const std::int64_t from = std::clamp<std::int64_t>(-phase.shift, 0, count);
    const std::int64_t to = std::clamp<std::int64_t>(produced - phase.shift, from, count);
    for (std::int64_t j = 0; j < from; ++j) sum[static_cast<std::size_t>(j)] = dummy;
    for (std::int64_t j = to; j < count; ++j) sum[static_cast<std::size_t>(j)] = dummy;
    for (std::int64_t j = from; j < to; ++j) {
      double& out = sum[static_cast<std::size_t>(j)];
      const double v = values[j + phase.shift];
      out = v == dummy || out == dummy ? dummy : out + v;
    }
  }
  Multi_vector result(Legacy_type(type_double), false, count);
  if (count > 0) result.set_range_double(0, count, sum.data());
  return result;
}

}  // namespace

void Integration_line::decimate(const Multi_vector& channel, Multi_vector& output,
                                std::int64_t factor, double attenuation_db) {
  VORLITH_EXPECTS(factor >= 1, "decimate: factor ", factor, " is below 1");
  VORLITH_EXPECTS(attenuation_db >= 10.0 && attenuation_db <= 250.0, "decimate: attenuation ",
                  attenuation_db, " dB is outside 10 to 250");
  // Each stage reads the vector the one before made; the channel itself only the first.
  const Multi_vector* input = &channel;
  Multi_vector current(Legacy_type(type_double), false, 0);
  for (const std::int64_t stage : stage_factors(factor)) {
    current = polyphase_stage(*input, stage, stage_filter(stage, attenuation_db));
    input = &current;
  }
  if (input == &output) return;
  output.copy(*input);
}

}  // namespace vorlith::integration
