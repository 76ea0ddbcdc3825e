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
// evaluated only where a sample is kept. Tap t = q m + r reads x[(j + q + a) m + b], where
// r - c = a m + b: for each r, one convolution of the samples b, b + m, ... of x with the
// taps r, r + m, .... Samples outside x read as dummies, so a y whose window holds a dummy
// or leaves x is a dummy, as the convolution makes it. The outputs go in blocks whose
// reads stay in cache; threads share the blocks.
Multi_vector polyphase_stage(const Multi_vector& x, std::int64_t m, const std::vector<double>& h) {
  constexpr std::int64_t block = 2048;
  const std::int64_t n = x.get_length();
  const auto taps = static_cast<std::int64_t>(h.size());
  const std::int64_t centre = taps / 2;
  const std::int64_t count = (n + m - 1) / m;
  struct Branch {
    std::vector<double> taps;
    std::int64_t a;
    std::int64_t b;
  };
  std::vector<Branch> branches;
  for (std::int64_t r = 0; r < m && r < taps; ++r) {
    Branch branch;
    for (std::int64_t t = r; t < taps; t += m)
      branch.taps.push_back(h[static_cast<std::size_t>(t)]);
    const std::int64_t s = r - centre;
    branch.a = s >= 0 ? s / m : -((-s + m - 1) / m);
    branch.b = s - branch.a * m;
    branches.push_back(std::move(branch));
  }
  std::vector<double> copy;
  const double* xs = storage::stored_doubles(x, 0, n);
  if (xs == nullptr && n > 0) {
    copy.resize(static_cast<std::size_t>(n));
    x.get_range_double(0, n, copy.data());
    xs = copy.data();
  }
  Multi_vector result(Legacy_type(type_double), false, count);
  double* y = storage::stored_doubles(result, 0, count);
  parallel::run_over_range(
      0, count, get_integration_min_thread_block(), [&](std::int64_t first, std::int64_t last) {
        Multi_vector input(Legacy_type(type_double), false, 0);
        Multi_vector partial(Legacy_type(type_double), false, 0);
        for (std::int64_t j0 = first; j0 < last; j0 += block) {
          const std::int64_t length = std::min(block, last - j0);
          std::fill(y + j0, y + j0 + length, 0.0);
          for (const Branch& branch : branches) {
            const std::int64_t reads = length + static_cast<std::int64_t>(branch.taps.size()) - 1;
            input.set_length(reads);
            double* in = storage::stored_doubles(input, 0, reads);
            for (std::int64_t k = 0; k < reads; ++k) {
              const std::int64_t i = (j0 + k + branch.a) * m + branch.b;
              in[k] = i >= 0 && i < n ? xs[i] : dummy;
            }
            Integration_filter::convolution(input, partial, branch.taps, false);
            const double* p = storage::stored_doubles(partial, 0, length);
            for (std::int64_t j = 0; j < length; ++j) {
              double& out = y[j0 + j];
              out = p[j] == dummy || out == dummy ? dummy : out + p[j];
            }
          }
        }
      });
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
