// The Akima spline on plain double arrays, then Integration_spline::akima through the
// public API: both overloads, types, storage modes and argument checks.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "signal/akima_core.h"
#include "support/contracts.h"
#include "support/vectors.h"

namespace vorlith::signal {
namespace {

using integration::Integration_spline;
using integration::Legacy_type;
using integration::Multi_vector;
using namespace testing_support;

constexpr double D = common::dummy_value<double>;

std::vector<bool> dummies(const std::vector<double>& v) {
  std::vector<bool> out;
  for (double x : v) out.push_back(x == D);
  return out;
}

std::vector<double> spline_at(const std::vector<double>& x, const std::vector<double>& y,
                              const std::vector<double>& p, double max_gap = 0.0,
                              double extension = D) {
  Akima_spline spline(x.data(), y.data(), static_cast<std::int64_t>(x.size()), max_gap, extension);
  std::vector<double> out(p.size());
  spline.evaluate(p.data(), static_cast<std::int64_t>(p.size()), out.data());
  return out;
}

TEST(AkimaCore, StraightLineAndItsFlatteningExtension) {
  const std::vector<double> x{0, 1, 2, 3}, y{0, 1, 2, 3};
  // 4.0 lies past the last knot, on the extrapolated knot after (3, 3).
  const std::vector<double> at = {0.5, 1.5, 2.5, 4.0}, out = spline_at(x, y, at);
  for (std::size_t i = 0; i < at.size(); ++i) EXPECT_NEAR(out[i], at[i] - 0.5 * (i == 3), 1e-14);
}

// A step: the knot slopes next to it are weighted to 0, so the spline neither overshoots
// nor undershoots, and rises as the Hermite cubic with flat ends.
TEST(AkimaCore, StepGetsFlatKnotSlopes) {
  const auto out = spline_at({0, 1, 2, 3, 4, 5}, {0, 0, 0, 1, 1, 1}, {1.5, 2.25, 2.5, 3.5});
  const std::vector<double> expected{0, 0.15625, 0.5, 1};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_NEAR(out[i], expected[i], 1e-14);
}

TEST(AkimaCore, GapAndExtensionLimitsAtTheirBorders) {
  const std::vector<double> x{0, 1, 10, 11, 12}, y{0, 1, 2, 1, 0};
  const auto gap = spline_at(x, y, {1.5, 2.0, 2.001, 5.0, 8.999, 9.0, 9.5}, 5.0, 1.0);
  EXPECT_EQ(dummies(gap), (std::vector<bool>{false, false, true, true, true, false, false}));
  // A dummy extension counts as 0 in the gap test.
  EXPECT_EQ(spline_at(x, y, {1.001}, 5.0, D)[0], D);

  std::vector<double> kx, ky;
  for (int i = 0; i <= 10; ++i) kx.push_back(i), ky.push_back(std::sin(i));
  const auto ranged = spline_at(kx, ky, {-2.001, -2.0, 11.5, 12.0, 12.001, 12.5}, 0.0, 2.0);
  EXPECT_EQ(dummies(ranged), (std::vector<bool>{true, false, false, false, true, true}));
  const auto unlimited = spline_at(kx, ky, {11.5, 12.5}, 0.0, D);
  EXPECT_EQ(unlimited, spline_at(kx, ky, {11.5, 12.5}, 0.0, -1.0));
  EXPECT_NE(unlimited[1], D);
}

TEST(AkimaCore, FewKnotsAndUnusablePositions) {
  EXPECT_EQ(spline_at({0, 2}, {1, 5}, {1, -1, 3}), (std::vector<double>{3, -1, 7}));
  EXPECT_EQ(spline_at({4}, {2}, {-10, 4, 10}), (std::vector<double>{2, 2, 2}));
  EXPECT_EQ(spline_at({}, {}, {0, 1}), (std::vector<double>{D, D}));
  const double inf = std::numeric_limits<double>::infinity();
  const auto odd = spline_at({0, 1, 2, 3}, {0, 1, 0, 1}, {D, std::nan(""), inf, -inf});
  EXPECT_EQ(odd, (std::vector<double>{D, D, D, D}));
}

TEST(AkimaCore, FarPositionsReachTheFlatTailWithoutSteppingOut) {
  const std::vector<double> x{0, 1, 2, 3, 4}, y{0, 2, 1, 3, 2.5};
  const auto out = spline_at(x, y, {1e4, 1e15, 1e300});
  EXPECT_TRUE(std::isfinite(out[0]) && out[1] == out[0] && out[2] == out[0]);
  // Anchoring on the last knot gives the same value as walking out from the first.
  EXPECT_EQ(spline_at(x, y, {7.25})[0], spline_at(x, y, {0.5, 7.25})[1]);
  EXPECT_EQ(spline_at(x, y, {4.0})[0], spline_at(x, y, {0.5, 4.0})[1]);
}

TEST(AkimaCore, GridInPiecesEqualsOneCall) {
  std::vector<double> x(50), y(50), a(300), b(300);
  for (int i = 0; i < 50; ++i) x[i] = i * 1.5, y[i] = std::cos(0.4 * i);
  Akima_spline whole(x.data(), y.data(), 50, 0.0, D), pieces(x.data(), y.data(), 50, 0.0, D);
  whole.evaluate_grid(-3.0, 0.27, 0, 300, a.data());
  pieces.evaluate_grid(-3.0, 0.27, 0, 100, b.data());
  pieces.evaluate_grid(-3.0, 0.27, 100, 200, b.data() + 100);
  EXPECT_EQ(a, b);
}

// Long irregular splines: every interior value is the Akima cubic of its six knots, for
// positions that stay in one interval or jump many, over several calls, up to a dummy knot
// that fails only once a window reaches it.
TEST(AkimaCore, InteriorValuesAreTheCubicsOfTheirSixKnots) {
  std::vector<double> x{0.0}, y{0.0};
  for (int i = 1; i < 1500; ++i) {
    x.push_back(x.back() + 0.3 + (i * 7919 % 13) * 0.1);
    y.push_back(3 * std::sin(0.05 * i) + (i % 17 == 0));
  }
  const auto slope = [&](std::size_t k) { return (y[k + 1] - y[k]) / (x[k + 1] - x[k]); };
  const auto tangent = [&](std::size_t k) {
    const double a = std::fabs(slope(k + 1) - slope(k)), b = std::fabs(slope(k - 1) - slope(k - 2));
    return a + b > 0.01 ? (a * slope(k - 1) + b * slope(k)) / (a + b)
                        : (slope(k - 1) + slope(k)) / 2;
  };
  const auto cubic = [&](double p) {
    const auto j =
        static_cast<std::size_t>(std::upper_bound(x.begin(), x.end(), p) - x.begin() - 1);
    const double h = x[j + 1] - x[j], m = slope(j), t0 = tangent(j), t1 = tangent(j + 1),
                 d = p - x[j];
    return y[j] + t0 * d + (3 * m - 2 * t0 - t1) / h * d * d +
           (t0 + t1 - 2 * m) / (h * h) * d * d * d;
  };
  std::vector<double> p;
  for (double v = x[2]; v < x[1495]; v += (p.size() % 50 < 40 ? 0.37 : 9.0)) p.push_back(v);
  Akima_spline spline(x.data(), y.data(), 1500, 0.0, D);
  std::vector<double> out(p.size());
  const auto third = static_cast<std::int64_t>(p.size() / 3);
  spline.evaluate(p.data(), third, out.data());
  spline.evaluate(p.data() + third, static_cast<std::int64_t>(p.size()) - third,
                  out.data() + third);
  for (std::size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(out[i], cubic(p[i]), 1e-9) << p[i];

  x[700] = D;  // interval 696 is the last whose window ends before it
  const std::vector<double> before{x[2], x[600], x[697]}, reaching{x[2], x[698]};
  const auto values = spline_at(x, y, before);
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_NEAR(values[i], cubic(before[i]), 1e-9);
  EXPECT_TRUE(fails_contract([&] { spline_at(x, y, reaching); }, "akima: knot 700 is a dummy"));
}

TEST(AkimaCore, BadKnotsFailWhenReached) {
  const std::vector<double> repeated{0, 1, 2, 3, 4, 5, 5, 6}, y(8, 1.0);
  EXPECT_NE(spline_at(repeated, y, {0.5})[0], D);  // never reaches the repeated x
  const std::vector<double> holes{0, 1, 2, 3, 4, 5, D, 7}, ones{1, 1}, at{0.5, 5.5}, at7{0.5, 6.5};
  EXPECT_TRUE(fails_contract([&] { spline_at(repeated, y, at); },
                             "akima: knot x values 5 then 5 do not increase"));
  EXPECT_TRUE(fails_contract([&] { spline_at(holes, y, at7); }, "akima: knot 6 is a dummy"));
  EXPECT_TRUE(fails_contract([&] { spline_at(ones, ones, at); },
                             "akima: knot x values 1 then 1 do not increase"));
  EXPECT_TRUE(fails_contract([&] { spline_at({D}, {1}, at); }, "akima: knot 0 is a dummy"));
}

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
  Multi_vector as_int(Legacy_type(integration::type_int16), false, 0);
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
}  // namespace vorlith::signal
