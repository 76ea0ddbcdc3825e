// Akima spline on plain double arrays, checked against an independent evaluation.

#include "signal/akima_core.h"

#include <gtest/gtest.h>
#include <vorlith/dummy.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "support/contracts.h"

namespace vorlith::signal {
namespace {

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

// Knots extended by extrapolation on both sides, Akima knot slopes for every real
// knot and the Hermite form on the interval that holds p.
struct Reference {
  std::vector<double> x, y;
  int extra = 80;  // enough for positions 3 past the ends at the smallest spacing

  Reference(const std::vector<double>& kx, const std::vector<double>& ky) : x(kx), y(ky) {
    for (int i = 0; i < extra; ++i) {
      const std::size_t n = x.size();
      x.push_back(2 * x[n - 1] - x[n - 2]);
      y.push_back(y[n - 1] + (y[n - 1] - y[n - 2]) / 2);
      x.insert(x.begin(), 2 * x[0] - x[1]);
      y.insert(y.begin(), y[0] - (y[1] - y[0]) / 2);
    }
  }
  double slope(std::size_t i) const { return (y[i + 1] - y[i]) / (x[i + 1] - x[i]); }
  double knot_slope(std::size_t i) const {
    const double a = slope(i - 2), b = slope(i - 1), c = slope(i), d = slope(i + 1);
    const double wl = std::fabs(b - a), wr = std::fabs(d - c);
    return wl + wr > 0.01 ? (wr * b + wl * c) / (wl + wr) : (b + c) / 2;
  }
  double at(double p) const {
    std::size_t i = extra - 1;  // the interval ending at the first real knot
    while (x[i + 1] < p) ++i;
    const double h = x[i + 1] - x[i], s = (p - x[i]) / h;
    const double h00 = 2 * s * s * s - 3 * s * s + 1, h10 = s * s * s - 2 * s * s + s;
    const double h01 = -2 * s * s * s + 3 * s * s, h11 = s * s * s - s * s;
    return h00 * y[i] + h10 * h * knot_slope(i) + h01 * y[i + 1] + h11 * h * knot_slope(i + 1);
  }
};

TEST(AkimaCore, StraightLineAndItsFlatteningExtension) {
  const std::vector<double> x{0, 1, 2, 3}, y{0, 1, 2, 3};
  const auto out = spline_at(x, y, {0.5, 1.5, 2.5, 4.0});
  EXPECT_NEAR(out[0], 0.5, 1e-14);
  EXPECT_NEAR(out[1], 1.5, 1e-14);
  EXPECT_NEAR(out[2], 2.5, 1e-14);
  EXPECT_NEAR(out[3], 3.5, 1e-14);  // the extrapolated knot after (3, 3)
}

TEST(AkimaCore, QuadraticOnEvenKnotsIsReproducedBetweenInteriorKnots) {
  // Equal weights on both sides make the knot slopes the exact derivative.
  std::vector<double> x, y;
  for (int i = 0; i <= 12; ++i) {
    x.push_back(0.5 * i);
    y.push_back(0.3 * x.back() * x.back() - x.back() + 2);
  }
  std::vector<double> p;
  for (double v = 1.0; v <= 5.0; v += 0.0625) p.push_back(v);
  const auto out = spline_at(x, y, p);
  for (std::size_t i = 0; i < p.size(); ++i)
    EXPECT_NEAR(out[i], 0.3 * p[i] * p[i] - p[i] + 2, 1e-12) << p[i];
}

TEST(AkimaCore, AgreesWithAnIndependentEvaluationOnRandomKnots) {
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> step(0.05, 2.0), value(-3.0, 3.0);
  for (int trial = 0; trial < 20; ++trial) {
    const int n = 3 + trial * 7;
    std::vector<double> x{value(rng)}, y{value(rng)};
    for (int i = 1; i < n; ++i) {
      x.push_back(x.back() + step(rng));
      y.push_back(value(rng));
    }
    const Reference ref(x, y);
    std::uniform_real_distribution<double> where(x.front() - 3.0, x.back() + 3.0);
    std::vector<double> p(200);
    for (double& v : p) v = where(rng);
    std::sort(p.begin(), p.end());
    const auto out = spline_at(x, y, p);
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (p[i] < ref.x[ref.extra - 1])
        continue;  // left of the first interval: its cubic, checked below
      ASSERT_NEAR(out[i], ref.at(p[i]), 1e-9 * (1 + std::fabs(out[i])))
          << "trial " << trial << " p " << p[i];
    }
  }
  // Positions before the first knot are evaluated on the cubic that ends there.
  const std::vector<double> x{0, 1, 3, 4}, y{1, -1, 2, 0};
  const Reference ref(x, y);
  const auto out = spline_at(x, y, {-0.75, -0.25, 0.0});
  EXPECT_NEAR(out[0], ref.at(-0.75), 1e-12);
  EXPECT_NEAR(out[1], ref.at(-0.25), 1e-12);
  EXPECT_NEAR(out[2], 1.0, 1e-12);
}

TEST(AkimaCore, GapAndExtensionLimitsAtTheirBorders) {
  const std::vector<double> x{0, 1, 10, 11, 12}, y{0, 1, 2, 1, 0};
  const auto gap = spline_at(x, y, {1.5, 2.0, 2.001, 5.0, 8.999, 9.0, 9.5}, 5.0, 1.0);
  EXPECT_EQ(dummies(gap), (std::vector<bool>{false, false, true, true, true, false, false}));
  // A dummy extension counts as 0 in the gap test.
  EXPECT_EQ(spline_at(x, y, {1.001}, 5.0, D)[0], D);

  std::vector<double> kx, ky;
  for (int i = 0; i <= 10; ++i) {
    kx.push_back(i);
    ky.push_back(std::sin(i));
  }
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
  EXPECT_TRUE(std::isfinite(out[0]));
  EXPECT_EQ(out[1], out[0]);
  EXPECT_EQ(out[2], out[0]);
  // Anchoring on the last knot gives the same value as walking out from the first.
  EXPECT_EQ(spline_at(x, y, {7.25})[0], spline_at(x, y, {0.5, 7.25})[1]);
  EXPECT_EQ(spline_at(x, y, {4.0})[0], spline_at(x, y, {0.5, 4.0})[1]);
}

TEST(AkimaCore, GridInPiecesEqualsOneCall) {
  std::vector<double> x, y;
  for (int i = 0; i < 50; ++i) {
    x.push_back(i * 1.5);
    y.push_back(std::cos(0.4 * i));
  }
  Akima_spline whole(x.data(), y.data(), 50, 0.0, D);
  Akima_spline pieces(x.data(), y.data(), 50, 0.0, D);
  std::vector<double> a(300), b(300);
  whole.evaluate_grid(-3.0, 0.27, 0, 300, a.data());
  pieces.evaluate_grid(-3.0, 0.27, 0, 100, b.data());
  pieces.evaluate_grid(-3.0, 0.27, 100, 200, b.data() + 100);
  EXPECT_EQ(a, b);
}

TEST(AkimaCore, BadKnotsFailWhenReached) {
  using testing_support::fails_contract_in;
  const std::vector<double> repeated{0, 1, 2, 3, 4, 5, 5, 6}, y(8, 1.0);
  EXPECT_NE(spline_at(repeated, y, {0.5})[0], D);  // never reaches the repeated x
  const char* file = "src/signal/akima_core.cpp";
  EXPECT_TRUE(fails_contract_in([&] { spline_at(repeated, y, {0.5, 5.5}); }, file));
  const std::vector<double> holes{0, 1, 2, 3, 4, 5, D, 7};
  EXPECT_TRUE(fails_contract_in([&] { spline_at(holes, y, {0.5, 6.5}); }, file));
  EXPECT_TRUE(fails_contract_in([&] { spline_at({1, 1}, {0, 1}, {0.5}); }, file));
}

}  // namespace
}  // namespace vorlith::signal
