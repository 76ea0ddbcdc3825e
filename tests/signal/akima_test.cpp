// Integration_spline::akima through the public API: both overloads, types, storage
// modes and argument checks.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace vorlith::integration {
namespace {

using namespace testing_support;

constexpr double D = common::dummy_value<double>;

TEST(Akima, WorkedExamplesWithBothOverloads) {
  const auto x = make_doubles({0, 1, 10, 11, 12});
  const auto y = make_doubles({0, 1, 2, 1, 0});
  const auto xi = make_doubles({1.5, 5, 9.5});
  Multi_vector result = make_doubles({});
  Integration_spline::akima(x, y, xi, result, 5.0, 1.0);
  const auto out = values_of<double>(result);
  EXPECT_TRUE(out.size() == 3 && out[0] != D && out[1] == D && out[2] != D);

  Integration_spline::akima(make_doubles({0, 2}), make_doubles({1, 5, 99}), result, -1.0, 2.0, 3,
                            0.0, D);
  EXPECT_EQ(values_of<double>(result), (std::vector<double>{-1, 3, 7}));
  Integration_spline::akima(x, y, result, 0.0, 1.0, 0, 0.0, D);
  EXPECT_EQ(result.get_length(), 0);
}

TEST(Akima, GridPositionsAreMultipliedNotSummed) {
  std::vector<double> kx, ky, positions;
  for (int i = 0; i < 40; ++i) {
    kx.push_back(i * 0.7);
    ky.push_back(std::sin(i * 0.3));
  }
  for (int k = 0; k < 20000; ++k) positions.push_back(static_cast<double>(k) * 0.0013 + 0.1);
  const auto x = make_doubles(kx), y = make_doubles(ky);
  Multi_vector grid = make_doubles({});
  Multi_vector listed = make_doubles({}, true);
  Integration_spline::akima(x, y, grid, 0.1, 0.0013, 20000, 0.0, D);
  Integration_spline::akima(x, y, make_doubles(positions, true), listed, 0.0, D);
  EXPECT_EQ(values_of<double>(grid), values_of<double>(listed));
}

TEST(Akima, OtherTypesGoThroughDoubles) {
  const auto x = make_vector<std::int16_t>({0, 2, 4, 6, 8}, true);
  const auto y = make_vector<float>({1, 3, 2, 5, 4}, false);
  const auto xi = make_vector<std::int32_t>({-100, 1, 3, 5, 7}, true);
  Multi_vector as_int(Legacy_type(type_int16), false, 0);
  Integration_spline::akima(x, y, xi, as_int, 0.0, 1.0);
  Multi_vector as_double = make_doubles({});
  Integration_spline::akima(make_doubles({0, 2, 4, 6, 8}), make_doubles({1, 3, 2, 5, 4}),
                            make_doubles({-100, 1, 3, 5, 7}), as_double, 0.0, 1.0);
  const auto doubles = values_of<double>(as_double);
  const auto ints = values_of<std::int16_t>(as_int);
  EXPECT_EQ(ints[0], -32767);  // outside the range: the int16 dummy
  for (std::size_t i = 1; i < ints.size(); ++i)
    EXPECT_EQ(ints[i], static_cast<std::int16_t>(std::lround(doubles[i])));
}

TEST(Akima, ResultMayBeAnInput) {
  Multi_vector x = make_doubles({0, 1, 2, 3});
  Multi_vector y = make_doubles({0, 1, 2, 3});
  Multi_vector positions = make_doubles({0.5, 2.5});
  Integration_spline::akima(x, y, positions, positions, 0.0, D);
  EXPECT_EQ(values_of<double>(positions), (std::vector<double>{0.5, 2.5}));
  Integration_spline::akima(x, y, x, 0.5, 1.0, 6, 0.0, D);  // the knots are read before x changes
  const auto out = values_of<double>(x);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_DOUBLE_EQ(out[1], 1.5);
}

TEST(Akima, BadArguments) {
  const auto x = make_doubles({0, 1, 2}), y = make_doubles({0, 1, 2}),
             short_y = make_doubles({0, 1});
  Multi_vector result = make_doubles({});
  const std::tuple<double, double, std::int64_t, const char*> regular[] = {
      {0.0, 0.0, 5, "akima_regular: increment 0 is not above 0"},
      {0.0, -1.0, 5, "akima_regular: increment -1 is not above 0"},
      {D, 1.0, 5, "akima_regular: start is the dummy"},
      {0.0, 1.0, -1, "akima_regular: count -1 is below 0"}};
  for (const auto& [start, step, count, reason] : regular) {
    const double first = start, increment = step;  // not captured as structured bindings
    const std::int64_t n = count;
    EXPECT_TRUE(fails_contract(
        [&] { Integration_spline::akima(x, y, result, first, increment, n, 0.0, D); }, reason));
  }
  EXPECT_TRUE(fails_contract([&] { Integration_spline::akima(x, short_y, result, 0, 1, 5, 0, D); },
                             "validate_input_range: start 0 and count 3 pass the length 2"));
  // No knots at all: every result is the dummy.
  Integration_spline::akima(make_doubles({}), make_doubles({}), result, 0.0, 1.0, 3, 0.0, D);
  EXPECT_EQ(values_of<double>(result), (std::vector<double>{D, D, D}));
}

}  // namespace
}  // namespace vorlith::integration
