#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using M = Integration_math;
using vorlith::common::Point_2d;
using vorlith::common::Segment_2d;

constexpr double D = vorlith::common::dummy_value<double>;
constexpr std::int64_t int64_dummy = vorlith::common::dummy_value<std::int64_t>;

TEST(Polygon, AreaOrientationAndDummyVertices) {
  const Multi_vector x = make_doubles({0, 1, 1, 0, 7});
  const Multi_vector y = make_doubles({0, 0, 1, 1, 9});
  EXPECT_EQ(M::polygon_area(x, y, 0, 4), 1.0);
  EXPECT_FALSE(M::is_polygon_clockwise(x, y, 0, 4));
  const Multi_vector rx = make_doubles({0, 1, 1, 0});
  const Multi_vector ry = make_doubles({1, 1, 0, 0});
  EXPECT_EQ(M::polygon_area(rx, ry, 0, -1), 1.0);
  EXPECT_TRUE(M::is_polygon_clockwise(rx, ry, 0, -1));
  EXPECT_EQ(M::polygon_area(x, y, 1, 1), 0.0);
  EXPECT_FALSE(M::is_polygon_clockwise(x, y, 0, 0));
  // A dummy vertex removes its two edges; the square of side 2 keeps three of its own.
  EXPECT_EQ(M::polygon_area(make_doubles({0, 2, D, 2, 0}), make_doubles({0, 0, 1, 2, 2}), 0, -1),
            2.0);
}

TEST(Distances, CumulativeBridgesDummiesAcrossPieces) {
  Multi_vector out(type_double, false, 0);
  M::distance_cumulative(make_doubles({0, D, 3}), make_doubles({0, 1, 4}), make_doubles({0, 0, 0}),
                         out, 100, 0, -1);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{100, D, 105}));

  // Longer than a piece, with a float coordinate so the converted path runs too.
  const std::int64_t n = 20000;
  std::vector<double> x(n), y(n);
  std::vector<float> z(n);
  for (std::int64_t i = 0; i < n; ++i) {
    x[i] = i % 97 == 1 ? D : std::sin(0.01 * i) * 50;
    y[i] = 0.25 * i;
    z[i] = static_cast<float>(i % 13);
  }
  std::vector<double> expected(n, D);
  double total = -3, px = 0, py = 0, pz = 0;
  bool first = true;
  for (std::int64_t i = 5; i < n; ++i) {
    if (x[i] == D) continue;
    const double dx = x[i] - px, dy = y[i] - py, dz = z[i] - pz;
    if (!first) total += std::sqrt(dx * dx + dy * dy + dz * dz);
    first = false;
    px = x[i], py = y[i], pz = z[i];
    expected[i] = total;
  }
  for (bool block : {false, true}) {
    Multi_vector zs = block ? make_vector<float>(z, true) : make_doubles({z.begin(), z.end()});
    Multi_vector result(type_double, block, n + 3);
    M::distance_cumulative(make_doubles(x, block), make_doubles(y, block), zs, result, -3, 5, -1);
    const auto got = values_of<double>(result);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(n + 3));  // never shortened
    for (std::int64_t i = 5; i < n; ++i) ASSERT_EQ(got[i], expected[i]) << i;
  }
}

TEST(Distances, StepsAndFromALine) {
  Multi_vector out(type_double, false, 0);
  M::distance_non_cumulative(make_doubles({0, 3, D, 6}), make_doubles({0, 4, 1, 8}), out, 0, -1);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{D, 5, D, D}));

  const Multi_vector x = make_doubles({3, -2, D, 0.5});
  const Multi_vector y = make_doubles({1, 4, 2, D});
  M::distance_from_line(x, y, out, Point_2d<double>{0, 0}, 90.0, 0, -1);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{1, 4, D, D}));
  M::distance_from_line(x, y, out, Point_2d<double>{1, 0}, 0.0, 0, 2);
  EXPECT_NEAR(out.get_double(0), 2.0, 1e-12);
  EXPECT_NEAR(out.get_double(1), -3.0, 1e-12);
  // 45 degrees (north-east) through the origin: the station (0, 1) lies on the greater-y side.
  M::distance_from_line(make_doubles({0}), make_doubles({1}), out, Point_2d<double>{0, 0}, 45.0, 0,
                        -1);
  EXPECT_NEAR(out.get_double(0), std::sqrt(0.5), 1e-12);

  M::distance_from_line(x, y, out, Segment_2d<double>{{1, 0}, {1, 5}}, 0, -1);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{2, -3, D, D}));
  M::distance_from_line(x, y, out, Segment_2d<double>{{0, 2}, {5, 2}}, 0, -1);
  EXPECT_EQ(values_of<double>(out), (std::vector<double>{-1, 2, D, D}));
  M::distance_from_line(make_doubles({0}), make_doubles({1}), out,
                        Segment_2d<double>{{0, 0}, {2, 2}}, 0, -1);
  EXPECT_NEAR(out.get_double(0), std::sqrt(0.5), 1e-12);
}

TEST(Inflection, FirstUpwardBendAndShortRanges) {
  const Multi_vector v = make_doubles({10, 9, 7, 4, 2, 1});
  EXPECT_EQ(M::inflection(v, 0.0, 0, -1), 3);
  EXPECT_EQ(M::inflection(make_doubles({10, 9, 7, 4, 0}), 0.0, 0, -1), 4);
  EXPECT_EQ(M::inflection(make_doubles({10, 5, 3}), 0.0, 0, -1), 1);
  // A range that starts later judges only its own elements; a dummy stops the scan.
  EXPECT_EQ(M::inflection(v, 0.0, 3, -1), 4);
  EXPECT_EQ(M::inflection(make_doubles({5, 4, 3, D, 1}), 0.0, 0, -1), 2);
  EXPECT_EQ(M::inflection(make_doubles({D, 4, 3}), 0.0, 0, -1), int64_dummy);
  // Fewer than three elements have no answer, whatever the vector's length.
  for (std::int64_t count : {0, 1, 2}) EXPECT_EQ(M::inflection(v, 0.0, 1, count), int64_dummy);
  EXPECT_EQ(M::inflection(make_doubles({1, 2}), 0.0, 0, -1), int64_dummy);
  EXPECT_EQ(M::inflection(make_doubles({}), 0.0, 0, -1), int64_dummy);
  // The answer far beyond the first piece of 8192 elements.
  std::vector<double> falling(20000);
  for (std::size_t i = 0; i < falling.size(); ++i) falling[i] = 1e6 - static_cast<double>(i);
  falling[15000] = D;
  EXPECT_EQ(M::inflection(make_doubles(falling, true), 0.0, 0, -1), 14999);
}

TEST(Gaps, AppendsIndicesOfLongSteps) {
  Multi_vector out = make_vector<std::int32_t>({42}, false);
  const Multi_vector zero = make_doubles({0, 0, 0, 0, 0, 0});
  M::find_gaps(make_doubles({0, 1, 5, 6, D, 9}), zero, zero, out, 2.0, 0, -1);
  EXPECT_EQ(values_of<std::int32_t>(out), (std::vector<std::int32_t>{42, 2}));
  Multi_vector longs(type_int64, true, 0);
  M::find_gaps(make_doubles({0, 3, 3}), make_doubles({0, 0, 4}), make_doubles({0, 4, 4}), longs,
               4.9, 1, -1);
  EXPECT_EQ(values_of<std::int64_t>(longs), (std::vector<std::int64_t>{1}));
}

TEST(LineMask, KeepsStationsOnTheSegment) {
  Multi_vector v = make_doubles({1, 2, 3, 4, D});
  M::line_mask(v, make_doubles({5, 5, 5, 4.9, 5}), make_doubles({3, 10, 11, 3, 4}), 5, 5, 0, 10, 0,
               -1);
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{1, 2, D, D, D}));
  Multi_vector h = make_doubles({1, 2, 3});
  M::line_mask(h, make_doubles({0, 2, 3}), make_doubles({7, 7, D}), 0, 2, 7, 7, 0, -1);
  EXPECT_EQ(values_of<double>(h), (std::vector<double>{1, 2, D}));
}

TEST(BackTracks, StrictlyIncreasingWithoutTouchingKeptValues) {
  Multi_vector v = make_doubles({1, 3, 2, 3, D, 4});
  EXPECT_EQ(M::dummy_back_tracks(v, 0, -1), 2);
  EXPECT_EQ(values_of<double>(v), (std::vector<double>{1, 3, D, D, D, 4}));
  // Kept int64 values above 2^53 keep their exact bits; the back track becomes the dummy.
  const std::int64_t big = (std::int64_t{1} << 53) + 1;
  Multi_vector longs = make_vector<std::int64_t>({big, 5, big + 1000}, false);
  EXPECT_EQ(M::dummy_back_tracks(longs, 0, -1), 1);
  EXPECT_EQ(values_of<std::int64_t>(longs),
            (std::vector<std::int64_t>{big, int64_dummy, big + 1000}));
}

}  // namespace
