#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "math/random_draws.h"
#include "support/small_blocks.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

constexpr unsigned int seed = 20261206;

// Unit values straight from the standard library's generator words, the low word first.
std::vector<double> reference_units(std::size_t n) {
  std::mt19937 words(seed);
  std::vector<double> units(n);
  for (double& u : units) {
    const long double low = words();
    const long double high = words();
    u = static_cast<double>((low + high * 4294967296.0L) / 18446744073709551616.0L);
  }
  return units;
}

TEST(RandomFill, UniformFollowsTheGeneratorWords) {
  const std::vector<double> units = reference_units(6);
  Multi_vector v(type_double, false, 2);
  Integration_math::uniform_distribution(v, -2.0, 6.0, seed, 0, 6);
  ASSERT_EQ(v.get_length(), 6);
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(v.get_double(i), units[i] * 8.0 - 2.0) << i;
  // A different start begins the sequence again at its first element.
  Integration_math::uniform_distribution(v, -2.0, 6.0, seed, 4, 2);
  for (int i : {0, 1}) EXPECT_EQ(v.get_double(4 + i), units[i] * 8.0 - 2.0);
  Multi_vector constant(type_double, false, 4);
  Integration_math::uniform_distribution(constant, 5.0, 5.0, seed, 0, -1);
  EXPECT_EQ(values_of<double>(constant), std::vector<double>(4, 5.0));
  // An int16 vector stores the same draws, rounded to the nearest integer.
  Multi_vector shorts(type_int16, true, 3);
  Integration_math::uniform_distribution(shorts, 0.0, 10.0, seed, 10, 5);
  ASSERT_EQ(shorts.get_length(), 15);
  for (std::int64_t i = 3; i < 10; ++i) EXPECT_EQ(shorts.get_double(i), 0.0);
  for (std::int64_t i = 0; i < 5; ++i)
    EXPECT_EQ(shorts.get_double(10 + i), std::nearbyint(units[i] * 10.0)) << i;
}

TEST(RandomFill, NormalUsesEachPairFirstValueFirst) {
  const std::vector<double> units = reference_units(64);
  std::vector<double> expected;
  for (std::size_t k = 0; expected.size() < 8; k += 2) {
    const double u1 = 2 * units[k] - 1, u2 = 2 * units[k + 1] - 1;
    const double q = u1 * u1 + u2 * u2;
    if (q >= 1) continue;
    const double f = std::sqrt(-2 * std::log(q) / q);
    expected.insert(expected.end(), {f * u1 * 3.0 + 10.0, f * u2 * 3.0 + 10.0});
  }
  Multi_vector v(type_double, true, 0);
  Integration_math::normal_distribution(v, 10.0, 3.0, seed, 0, 8);
  for (std::size_t i = 0; i < 8; ++i) EXPECT_NEAR(v.get_double(i), expected[i], 1e-12) << i;
  Integration_math::normal_distribution(v, 10.0, 0.0, seed, 0, -1);
  EXPECT_EQ(values_of<double>(v), std::vector<double>(8, 10.0));
}

TEST(RandomFill, ExponentialIsScaledAndNeverInfinite) {
  const std::vector<double> units = reference_units(20000);
  Multi_vector v(type_double, false, 20000);
  {
    // The second pass runs on several threads; the values stay the serial ones.
    Small_blocks small(1000, 3);
    Integration_math::exp_distribution(v, 2.5, seed, 0, -1);
  }
  for (std::size_t i = 0; i < units.size(); ++i)
    ASSERT_EQ(v.get_double(i), -std::log(1 - units[i]) * 2.5) << i;
  Integration_math::exp_distribution(v, 0.0, seed, 0, 100);
  for (std::int64_t i = 0; i < 100; ++i) ASSERT_EQ(v.get_double(i), 0.0);

  // Two words near their maximum round the unit value up to 1.0.
  const double one = vorlith::math::unit_from_words(0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_EQ(one, 1.0);
  EXPECT_NEAR(vorlith::math::rate_one_exponential(one), 53 * std::log(2.0), 1e-12);
  EXPECT_EQ(vorlith::math::rate_one_exponential(0.75), -std::log(0.25));
}

}  // namespace
