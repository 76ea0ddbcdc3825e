// Decimation behind a Kaiser-windowed sinc low-pass, one stage per prime factor.

#include <vorlith/dummy.h>
#include <vorlith/integration_filter.h>
#include <vorlith/integration_line.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "runtime/contracts.h"

namespace vorlith::integration {

namespace {

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
// fine enough to find each side lobe's peak.
double largest_stopband_gain(const std::vector<double>& h, double from) {
  const auto taps = static_cast<std::int64_t>(h.size());
  const std::int64_t centre = taps / 2;
  const std::int64_t points = 16 * taps;
  double largest = 0.0;
  for (std::int64_t g = 0; g <= points; ++g) {
    const double f = from + (0.5 - from) * static_cast<double>(g) / static_cast<double>(points);
    const double w = 2.0 * std::numbers::pi * f;
    double gain = h[static_cast<std::size_t>(centre)];
    for (std::int64_t j = 1; j <= centre; ++j)
      gain += 2.0 * h[static_cast<std::size_t>(centre + j)] * std::cos(w * static_cast<double>(j));
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

std::vector<std::int64_t> prime_factors(std::int64_t m) {
  std::vector<std::int64_t> factors;
  for (std::int64_t p = 2; p * p <= m; ++p) {
    for (; m % p == 0; m /= p) factors.push_back(p);
  }
  if (m > 1) factors.push_back(m);
  return factors;
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
  for (const std::int64_t stage : prime_factors(factor)) {
    Multi_vector filtered(Legacy_type(type_double), false, 0);
    Integration_filter::convolution(*input, filtered, stage_filter(stage, attenuation_db), true);
    filtered.decimate(stage);
    current = std::move(filtered);
    input = &current;
  }
  if (input == &output) return;
  output.copy(*input);
}

}  // namespace vorlith::integration
