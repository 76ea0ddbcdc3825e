// Conversion rules checked against the independent reference of tests/support.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/conversion_reference.h"
#include "support/typed_lists.h"
#include "support/vectors.h"
#include "types/convert.h"

namespace {

using namespace vorlith::integration;
using vorlith::common::dummy_value;
using vorlith::common::Point_2d;
using vorlith::common::Point_3d;
using vorlith::testing_support::same_bytes;

// Sources for the floating-to-integer rule: half-way values, the bounds of every integer
// type, the dummy, NaN and infinities, and random values inside and far outside the ranges.
template <class F>
std::vector<F> dense_grid() {
  std::vector<F> values;
  // Around zero, one and the upper bound of every integer type (the lower bounds are
  // their negatives), in quarter steps and one float step either side.
  std::vector<long double> anchors = {0, 1};
  vorlith::testing_support::integer_types::for_each([&](auto tag) {
    anchors.push_back(std::numeric_limits<typename decltype(tag)::type>::max());
  });
  for (long double a : anchors) {
    for (long double sign : {1.0L, -1.0L}) {
      for (long double d = -3; d <= 3; d += 0.25L) {
        const F v = static_cast<F>(sign * a + d);
        values.push_back(v);
        values.push_back(std::nextafter(v, std::numeric_limits<F>::infinity()));
        values.push_back(std::nextafter(v, -std::numeric_limits<F>::infinity()));
      }
    }
  }
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> wide(-2e19, 2e19), narrow(-70000, 70000);
  for (int i = 0; i < 2000; ++i) {
    values.push_back(static_cast<F>(wide(rng)));
    values.push_back(static_cast<F>(narrow(rng)));
  }
  values.insert(values.end(),
                {std::numeric_limits<F>::infinity(), -std::numeric_limits<F>::infinity(),
                 std::numeric_limits<F>::quiet_NaN(), dummy_value<F>, F(0.49999999999999994),
                 std::numeric_limits<F>::max(), std::numeric_limits<F>::lowest(),
                 std::numeric_limits<F>::denorm_min()});
  return values;
}

template <class I>
class FloatingToInteger : public ::testing::Test {};
TYPED_TEST_SUITE(FloatingToInteger, vorlith::testing_support::integer_types::gtest_types);

template <class I, class F>
void check_grid(legacy_data_type source_code) {
  const std::vector<F> grid = dense_grid<F>();
  std::vector<I> out(grid.size());
  Legacy_type(source_code)
      .convert_to(grid.data(), out.data(), Legacy_type(vorlith::types::type_traits<I>::code),
                  static_cast<std::int64_t>(grid.size()));
  for (std::size_t i = 0; i < grid.size(); ++i) {
    ASSERT_EQ(out[i], (vorlith::testing_support::reference::to_integer<I>(grid[i])))
        << "value " << static_cast<double>(grid[i]);
  }
}

TYPED_TEST(FloatingToInteger, DoubleAndFloatGridsMatchReference) {
  check_grid<TypeParam, double>(type_double);
  check_grid<TypeParam, float>(type_float);
}

template <class To, class From>
To one(From v) {
  To out;
  Legacy_type(vorlith::types::type_traits<From>::code)
      .convert_to(&v, &out, Legacy_type(vorlith::types::type_traits<To>::code), 1);
  return out;
}

TEST(Conversion, IntegerToIntegerSaturatesShortOfTheDummy) {
  EXPECT_EQ((one<std::int8_t>(std::int16_t{-127})), -126);
  EXPECT_EQ((one<std::uint8_t>(std::uint16_t{255})), 254);
  EXPECT_EQ((one<std::uint32_t>(std::int64_t{-1})), 0u);
  EXPECT_EQ((one<std::int64_t>(std::uint64_t{9223372036854775808ull})), INT64_MAX);
  EXPECT_EQ((one<std::int8_t>(std::int16_t{-32767})), -127);  // dummy to dummy
  EXPECT_EQ((one<std::uint64_t>(std::int8_t{-127})), UINT64_MAX);
  EXPECT_EQ((one<std::int16_t>(std::uint8_t{200})), 200);
}

TEST(Conversion, FloatingAndPointRules) {
  EXPECT_EQ((one<double>(dummy_value<float>)), -1e32);
  EXPECT_EQ((one<float>(1e39)), 3.4028234663852886e38f);
  EXPECT_EQ((one<float>(-1e39)), -3.4028234663852886e38f);
  EXPECT_TRUE(same_bytes(one<float>(-1.0000000331813535e32), dummy_value<float>));
  EXPECT_EQ((one<double>(std::uint64_t{18446744073709551614ull})), 18446744073709551614.0);
  EXPECT_EQ((one<std::int32_t>(Point_2d<double>{3, 4})), 5);
  EXPECT_EQ((one<std::int32_t>(Point_2d<double>{3, -1e32})), dummy_value<std::int32_t>);
  EXPECT_TRUE(same_bytes(one<Point_3d<double>>(std::int16_t{7}), Point_3d<double>{7, 0, 0}));
  const float fd = dummy_value<float>;
  EXPECT_TRUE(same_bytes(one<Point_2d<float>>(dummy_value<std::int16_t>), Point_2d<float>{fd, fd}));
  EXPECT_TRUE(same_bytes(one<Point_2d<double>>(Point_3d<float>{1, 2, 3}), Point_2d<double>{1, 2}));
  EXPECT_TRUE(same_bytes(one<Point_3d<float>>(Point_2d<double>{1e39, 2}),
                         Point_3d<float>{3.4028234663852886e38f, 2, 0}));
  // Magnitudes of float points are computed in single precision, then rounded in double.
  EXPECT_EQ((one<std::int16_t>(Point_3d<float>{1, 2, 2})), 3);
  EXPECT_FLOAT_EQ((one<double>(Point_3d<float>{1, 2, 2})), 3.0);
}

// Every pair of value types in both directions: dummies map to dummies and a small
// value survives where both types can hold it.
template <class From>
class EveryPair : public ::testing::Test {};
TYPED_TEST_SUITE(EveryPair, vorlith::testing_support::all_value_types);

template <class T>
double scalar_of(const T& v) {
  if constexpr (vorlith::types::is_point_v<T>)
    return static_cast<double>(v.x);
  else
    return static_cast<double>(v);
}

// Text goes through the host's to-text and from-text function of the type itself.
TYPED_TEST(EveryPair, DummyAndSmallValueInBothDirectionsThroughEveryTypeTextAndInt64) {
  using From = TypeParam;
  const Legacy_type from(vorlith::types::type_traits<From>::code);
  From source[2], back[2];
  from.set_dummy(&source[0]);
  source[1] = vorlith::types::convert_value<From>(std::int8_t{7});
  // Converts to `to` and back; both directions keep the dummy and the 7.
  const auto round_trip = [&](const Legacy_type& to, void* target) {
    SCOPED_TRACE(from.get_name() + " -> " + to.get_name());
    from.convert_to(source, target, to, 2);
    EXPECT_TRUE(to.is_dummy(target));
    to.convert_to(target, back, from, 2);
    EXPECT_TRUE(from.is_dummy(&back[0]));
    EXPECT_EQ(scalar_of(back[1]), 7.0);
  };
  vorlith::testing_support::value_types::for_each([&](auto tag) {
    using To = typename decltype(tag)::type;
    To target[2];
    round_trip(Legacy_type(vorlith::types::type_traits<To>::code), target);
    EXPECT_EQ(scalar_of(target[1]), 7.0);
  });
  char fields[2][40];
  std::memset(fields, 'x', sizeof fields);
  round_trip(Legacy_type(std::int64_t{40}), fields);
  EXPECT_NE(std::string(fields[1], 40).find('7'), std::string::npos) << from.get_name();

  const std::int64_t wide[2] = {vorlith::common::dummy_value<std::int64_t>, 7};
  from.convert_from_int64(wide, back, 2);
  EXPECT_TRUE(from.is_dummy(&back[0]) && scalar_of(back[1]) == 7.0) << from.get_name();
  std::int64_t wide_back[2];
  from.convert_to_int64(source, wide_back, 2);
  EXPECT_TRUE(wide_back[0] == wide[0] && wide_back[1] == 7) << from.get_name();
}

TEST(Conversion, TextToTextKeepsTheBytesAndPadsWithZeros) {
  const char words[2][4] = {{'a', 'b', 'c', 'd'}, {'x', 0, 0, 0}};
  char same[2][4], wider[2][6], narrower[2][2];
  const Legacy_type four(std::int64_t{4});
  four.convert_to(words, same, four, 2);
  EXPECT_EQ(std::memcmp(same, words, sizeof words), 0);
  four.convert_to(words, wider, Legacy_type(std::int64_t{6}), 2);
  EXPECT_EQ(std::string(wider[0], 6), std::string("abcd\0\0", 6));
  EXPECT_EQ(std::string(wider[1], 6), std::string("x\0\0\0\0\0", 6));
  four.convert_to(words, narrower, Legacy_type(std::int64_t{2}), 2);
  EXPECT_EQ(std::string(narrower[0], 2), "ab");
}

}  // namespace
