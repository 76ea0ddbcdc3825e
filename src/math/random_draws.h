#pragma once
// The draws behind the random fills, kept apart so that rare draws can be tested
// without searching for a seed that produces them.

#include <cmath>
#include <cstdint>
#include <random>

namespace vorlith::math {

/// (r1 + r2 * 2^32) / 2^64 in double: in [0, 1], and exactly 1.0 when r2 is all ones
/// and r1 is large enough for the sum to round up to 2^64.
inline double unit_from_words(std::uint32_t r1, std::uint32_t r2) {
  const double sum = static_cast<double>(r1) + static_cast<double>(r2) * 4294967296.0;
  return sum / 18446744073709551616.0;
}

/// The next unit value of a fill: two consecutive words, the first one low.
inline double next_unit(std::mt19937& generator) {
  const std::uint32_t r1 = static_cast<std::uint32_t>(generator());
  const std::uint32_t r2 = static_cast<std::uint32_t>(generator());
  return unit_from_words(r1, r2);
}

/// -ln(1 - u), an exponential value of rate 1. A unit value rounded up to 1.0 is taken
/// as the largest double below 1.0 (about 36.7), never giving an infinity; every other
/// unit value gives the plain formula's result.
inline double rate_one_exponential(double u) {
  const double below_one = 0x1.fffffffffffffp-1;
  return -std::log(1.0 - (u < 1.0 ? u : below_one));
}

/// The polar method with a one-value cache: the first value of each pair is returned,
/// the second kept for the next call.
class Polar_normal {
 public:
  double next(std::mt19937& generator) {
    if (cached_) {
      cached_ = false;
      return spare_;
    }
    double u1, u2, q;
    do {
      u1 = 2.0 * next_unit(generator) - 1.0;
      u2 = 2.0 * next_unit(generator) - 1.0;
      q = u2 * u2 + u1 * u1;
    } while (!(q < 1.0));
    const double f = std::sqrt(-2.0 * std::log(q) / q);
    spare_ = f * u2;
    cached_ = true;
    return f * u1;
  }

 private:
  bool cached_ = false;
  double spare_ = 0.0;
};

}  // namespace vorlith::math
