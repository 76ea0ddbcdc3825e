#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/contracts.h"
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
  for (bool block : {false, true}) {
    const Multi_vector x = make_doubles({0, 1, 1, 0, 7}, block);
    const Multi_vector y = make_doubles({0, 0, 1, 1, 9}, block);
    EXPECT_EQ(M::polygon_area(x, y, 0, 4), 1.0);
    EXPECT_FALSE(M::is_polygon_clockwise(x, y, 0, 4));
    const Multi_vector rx = make_doubles({0, 1, 1, 0}, block);
    const Multi_vector ry = make_doubles({1, 1, 0, 0}, block);
    EXPECT_EQ(M::polygon_area(rx, ry, 0, -1), 1.0);
    EXPECT_TRUE(M::is_polygon_clockwise(rx, ry, 0, -1));
    EXPECT_EQ(M::polygon_area(x, y, 1, 1), 0.0);
    EXPECT_FALSE(M::is_polygon_clockwise(x, y, 0, 0));
  }
  // A dummy vertex removes its two edges; the square of side 2 keeps three of its own.
  const Multi_vector x = make_doubles({0, 2, D, 2, 0});
  const Multi_vector y = make_doubles({0, 0, 1, 2, 2});
  EXPECT_EQ(M::polygon_area(x, y, 0, -1), 2.0);
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

  using S = Segment_2d<double>;
  const auto on = [&](const S& line) { M::distance_from_line(x, y, out, line, 0, -1); };
  const char* same = "distance_from_line: the segment's two points are equal ";
  EXPECT_TRUE(fails_contract([&] { on(S{{1, 1}, {1, 1}}); }, std::string(same) + "(1, 1)"));
  EXPECT_TRUE(fails_contract([&] { on(S{{D, 1}, {2, D}}); }, std::string(same) + "(-1e+32, 1)"));
  Multi_vector text = make_opaque({"a"}, 8, false);
  const Point_2d<double> origin{0, 0};
  EXPECT_TRUE(fails_contract([&] { M::distance_from_line(x, y, text, origin, 1.0, 0, -1); },
                             "distance_from_line: the output is a text channel"));
}

TEST(Inflection, FirstUpwardBendAndShortRanges) {
  for (bool block : {false, true}) {
    const Multi_vector v = make_doubles({10, 9, 7, 4, 2, 1}, block);
    EXPECT_EQ(M::inflection(v, 0.0, 0, -1), 3);
    EXPECT_EQ(M::inflection(make_doubles({10, 9, 7, 4, 0}, block), 0.0, 0, -1), 4);
    EXPECT_EQ(M::inflection(make_doubles({10, 5, 3}, block), 0.0, 0, -1), 1);
    // A range that starts later judges only its own elements; a dummy stops the scan.
    EXPECT_EQ(M::inflection(v, 0.0, 3, -1), 4);
    EXPECT_EQ(M::inflection(make_doubles({5, 4, 3, D, 1}, block), 0.0, 0, -1), 2);
    EXPECT_EQ(M::inflection(make_doubles({D, 4, 3}, block), 0.0, 0, -1), int64_dummy);
  }
  // Fewer than three elements have no answer, whatever the vector's length.
  const Multi_vector v = make_doubles({10, 9, 7, 4, 2, 1});
  for (std::int64_t count : {0, 1, 2}) EXPECT_EQ(M::inflection(v, 0.0, 1, count), int64_dummy);
  EXPECT_EQ(M::inflection(make_doubles({1, 2}), 0.0, 0, -1), int64_dummy);
  EXPECT_EQ(M::inflection(make_doubles({}), 0.0, 0, -1), int64_dummy);
  // The answer far beyond the first piece of 8192 elements.
  std::vector<double> falling(20000);
  for (std::size_t i = 0; i < falling.size(); ++i) falling[i] = 1e6 - static_cast<double>(i);
  falling[15000] = D;
  EXPECT_EQ(M::inflection(make_doubles(falling, true), 0.0, 0, -1), 14999);

  EXPECT_TRUE(fails_contract([&] { M::inflection(v, 1.0, 0, -1); },
                             "inflection: threshold 1 is outside [-1, 1)"));
  const Multi_vector floats = make_vector<float>({3, 2, 1}, false);
  EXPECT_TRUE(fails_contract([&] { M::inflection(floats, 0.0, 0, -1); },
                             "inflection: the channel is float, not double"));
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
  Multi_vector shorts(type_int16, false, 0);
  EXPECT_TRUE(fails_contract([&] { M::find_gaps(zero, zero, zero, shorts, 2.0, 0, -1); },
                             "find_gaps: the output is int16, not int64 or int32"));
  EXPECT_TRUE(fails_contract([&] { M::find_gaps(zero, zero, zero, out, 0.0, 0, -1); },
                             "find_gaps: threshold 0 is not above 0"));
}

TEST(LineMask, KeepsStationsOnTheSegment) {
  for (bool block : {false, true}) {
    Multi_vector v = make_doubles({1, 2, 3, 4, D}, block);
    M::line_mask(v, make_doubles({5, 5, 5, 4.9, 5}, block), make_doubles({3, 10, 11, 3, 4}, block),
                 5, 5, 0, 10, 0, -1);
    EXPECT_EQ(values_of<double>(v), (std::vector<double>{1, 2, D, D, D}));
    Multi_vector h = make_doubles({1, 2, 3}, block);
    M::line_mask(h, make_doubles({0, 2, 3}, block), make_doubles({7, 7, D}, block), 0, 2, 7, 7, 0,
                 -1);
    EXPECT_EQ(values_of<double>(h), (std::vector<double>{1, 2, D}));
  }
  Multi_vector v = make_doubles({1});
  EXPECT_TRUE(
      fails_contract([&] { M::line_mask(v, v, v, 0, 1, 0, 1, 0, -1); },
                     "line_mask: neither x_min 0 equals x_max 1 nor y_min 0 equals y_max 1"));
}

TEST(BackTracks, StrictlyIncreasingWithoutTouchingKeptValues) {
  for (bool block : {false, true}) {
    Multi_vector v = make_doubles({1, 3, 2, 3, D, 4}, block);
    EXPECT_EQ(M::dummy_back_tracks(v, 0, -1), 2);
    EXPECT_EQ(values_of<double>(v), (std::vector<double>{1, 3, D, D, D, 4}));
  }
  // Kept int64 values above 2^53 keep their exact bits; the back track becomes the dummy.
  const std::int64_t big = (std::int64_t{1} << 53) + 1;
  Multi_vector longs = make_vector<std::int64_t>({big, 5, big + 1000}, false);
  EXPECT_EQ(M::dummy_back_tracks(longs, 0, -1), 1);
  EXPECT_EQ(values_of<std::int64_t>(longs),
            (std::vector<std::int64_t>{big, int64_dummy, big + 1000}));
  Multi_vector text = make_opaque({"a"}, 4, false);
  EXPECT_TRUE(fails_contract([&] { M::dummy_back_tracks(text, 0, -1); },
                             "dummy_back_tracks: the channel is a text channel"));
}

}  // namespace
