#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>
#include <vector>

#include "support/typed_lists.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using R = Integration_range;
using vorlith::common::Point_2d;
using vorlith::common::Point_3d;

constexpr double D = vorlith::common::dummy_value<double>;
constexpr std::int64_t no_index = std::numeric_limits<std::int64_t>::min();
const double nan = std::numeric_limits<double>::quiet_NaN();

TEST(RangeReductions, MinimaMaximaAndTheirIndex) {
  const auto max_at = [](const Multi_vector& v, std::int64_t start) {
    double max = 0;
    std::int64_t index = 0;
    R::compute_max_and_index(v, max, index, start, -1);
    return std::pair(max, index);
  };
  for (const Multi_vector& v : {make_doubles({}), make_doubles({D, D})}) {
    EXPECT_EQ(R::compute_max(v, 0, -1), D);
    EXPECT_EQ(R::compute_min(v, 0, -1), D);
    EXPECT_EQ(max_at(v, 0), std::pair(D, no_index));
  }
  EXPECT_EQ(max_at(make_doubles({1, 7, 3, 7}), 0), std::pair(7.0, std::int64_t{1}));
  EXPECT_EQ(max_at(make_doubles({9, 7, 3, 7}), 1), std::pair(7.0, std::int64_t{1}));
  // The first of equal maxima stays: +0 before -0.
  EXPECT_TRUE(same_bytes(R::compute_max(make_doubles({0.0, -0.0}), 0, -1), 0.0));
  // Values below the dummy are values, and NaN takes no part even when it comes first.
  const Multi_vector v = make_doubles({nan, -2e32, D, 5, nan});
  EXPECT_EQ(R::compute_min(v, 0, -1), -2e32);
  EXPECT_EQ(R::compute_max(v, 0, -1), 5);
  EXPECT_EQ(R::compute_positive_min(make_doubles({-3, 0, 2, 5}), 0, -1), 2);
  EXPECT_EQ(R::compute_positive_min(make_doubles({-3, 0}), 0, -1), D);
  // Non-double vectors are read as doubles.
  EXPECT_EQ(R::compute_max(make_vector<std::uint8_t>({3, 255, 200}, true), 0, -1), 200);
  EXPECT_EQ(R::compute_min(make_opaque({"4", "*", "-1.5"}, 8, false), 0, -1), -1.5);
}

TEST(RangeReductions, ComputeRangeInTheElementType) {
  const auto range_of = [](const Multi_vector& v) {
    double min, max;
    R::compute_range(v, min, max, 0, -1);
    return std::pair(min, max);
  };
  EXPECT_EQ(range_of(make_vector<std::int16_t>({-4, -32767, 9}, false)), std::pair(-4.0, 9.0));
  EXPECT_EQ(range_of(make_vector<std::int16_t>({-32767, -32767}, true)), std::pair(D, D));
  EXPECT_EQ(range_of(make_doubles({nan, 2, 1})), std::pair(1.0, 2.0));

  // Every scalar type, long enough to cross blocks (the unsigned ones in block storage);
  // the type's lowest value lies below the dummy for the signed integers and still counts.
  value_types::for_each([](auto tag) {
    using T = typename decltype(tag)::type;
    if constexpr (!vorlith::types::is_point_v<T>) {
      auto values = pattern_with_dummies<T>(3001);
      values[2500] = std::numeric_limits<T>::lowest();
      values[2900] = std::numeric_limits<T>::max() - (std::is_unsigned_v<T> ? 1 : 0);
      T lo = std::numeric_limits<T>::max(), hi = std::numeric_limits<T>::lowest();
      for (T x : values) {
        if (x == vorlith::common::dummy_value<T>) continue;
        lo = std::min(lo, x);
        hi = std::max(hi, x);
      }
      T got_min, got_max;
      R::compute_range(make_vector(values, std::is_unsigned_v<T>), &got_min, &got_max, 1, -1);
      EXPECT_TRUE(got_min == lo && got_max == hi)
          << Legacy_type(vorlith::types::type_traits<T>::code).get_name();
    }
  });

  Multi_vector text = make_opaque({"3", "*", "-2.5", "10"}, 12, false);
  EXPECT_EQ(range_of(text), std::pair(-2.5, 10.0));
  char low[12], high[12];
  R::compute_range(text, low, high, 0, -1);
  EXPECT_STREQ(low, "-2.500000");
  EXPECT_STREQ(high, "10.000000");
}

TEST(RangeReductions, PointRangesAndHypotenuse) {
  const auto dp = Point_2d<double>::dummy();
  Point_2d<double> min, max;
  // Of equal values the first stays: -0 before 0 and 0 before -0.
  R::compute_range_double_point2d(
      make_vector<Point_2d<double>>({{-0.0, 0}, dp, {-4, -2}, {0, -0.0}}, false), min, max, 0, -1);
  EXPECT_TRUE(same_bytes(min, Point_2d<double>{-4, -2}) &&
              same_bytes(max, Point_2d<double>{-0.0, 0}));
  Point_3d<float> fmin, fmax;
  const Multi_vector fp = make_vector<Point_3d<float>>({{1, 2, 3}, {-1, 5, 0}}, false);
  R::compute_range_float_point3d(fp, fmin, fmax, 0, -1);
  EXPECT_TRUE(same_bytes(fmin, Point_3d<float>{-1, 2, 0}) &&
              same_bytes(fmax, Point_3d<float>{1, 5, 3}));
  R::compute_range_float_point3d(fp, fmin, fmax, 1, 0);
  EXPECT_TRUE(fmin.is_dummy() && fmax.is_dummy());
  Point_2d<float> f2min, f2max;
  R::compute_range_float_point2d(make_vector<Point_2d<float>>({{1, 9}, {4, 2}}, false), f2min,
                                 f2max, 0, -1);
  EXPECT_TRUE(same_bytes(f2min, Point_2d<float>{1, 2}) && same_bytes(f2max, Point_2d<float>{4, 9}));
  // Integer points are read from any vector of their size, here 12-byte text fields.
  Multi_vector triplets(Legacy_type(std::int64_t{12}), false, 2);
  const Point_3d<std::int32_t> stored[2] = {{1, -4, 3}, {2, 5, -6}};
  for (int i = 0; i < 2; ++i) std::memcpy(triplets.get_data(i), &stored[i], sizeof stored[i]);
  Point_3d<std::int32_t> i3min, i3max;
  R::compute_range_int32_point3d(triplets, i3min, i3max, 0, -1);
  EXPECT_TRUE(same_bytes(i3min, Point_3d<std::int32_t>{1, -4, -6}) &&
              same_bytes(i3max, Point_3d<std::int32_t>{2, 5, 3}));

  double hmin, hmax;
  R::compute_range_hypot(make_doubles({3, D, 0, 1}), make_doubles({4, 1, 0.5}), hmin, hmax, 0, -1);
  EXPECT_TRUE(hmin == 0.5 && hmax == 5);
}

TEST(RangeReductions, Order) {
  // values, start -> order, whether neighbours are equal
  const std::tuple<std::vector<double>, std::int64_t, R::Order, bool> cases[] = {
      {{1, 2, 2, 3}, 0, R::Order::increasing, true},
      {{3, D, 1}, 0, R::Order::unordered, false},
      {{1, 3, 2}, 0, R::Order::unordered, false},
      {{5, 1, 2, 3}, 1, R::Order::unordered, false},
      {{5, 1, 2, 3}, 2, R::Order::increasing, false},
      {{9, nan, 4, 1}, 0, R::Order::decreasing, true},
  };
  for (const auto& [values, start, want_order, want_equal] : cases) {
    bool equal = !want_equal;
    R::Order order = R::Order::decreasing;
    R::order(make_doubles(values), equal, order, start, -1);
    EXPECT_TRUE(order == want_order && equal == want_equal) << values.size() << " from " << start;
  }
}

TEST(RangeLimits, ClampAndClip) {
  Multi_vector v = make_doubles({-1, 4, 12, D});
  R::clamp_to_range(v, 0, 10, 0, -1);
  EXPECT_EQ(doubles_of(v), (std::vector<double>{0, 4, 10, D}));
  // The bounds are converted to the element type first: 0.4 becomes 0, 9.6 becomes 10.
  Multi_vector i = make_vector<std::int16_t>({-1, 4, 12, -32767}, false);
  R::clamp_to_range(i, 0.4, 9.6, 0, -1);
  EXPECT_EQ(values_of<std::int16_t>(i), (std::vector<std::int16_t>{0, 4, 10, -32767}));

  const std::vector<double> data = {-1, 0, 5, 10, 11, nan};
  Multi_vector outside = make_doubles(data), in_band = make_doubles(data);
  R::clip_range_to_dummy(outside, 0, 10, false, true, false, 0, -1);
  EXPECT_TRUE(same_doubles(doubles_of(outside), {D, 0, 5, D, D, nan}));
  R::clip_range_to_dummy(in_band, 0, 10, true, true, true, 0, 5);
  EXPECT_TRUE(same_doubles(doubles_of(in_band), {-1, D, D, D, 11, nan}));
  Multi_vector open_band = make_vector<std::uint8_t>({0, 1, 9, 10, 255}, false);
  R::clip_range_to_dummy(open_band, 0, 10, true, false, false, 0, -1);
  EXPECT_EQ(values_of<std::uint8_t>(open_band), (std::vector<std::uint8_t>{0, 255, 255, 10, 255}));

  Multi_vector text = make_opaque({"-1", "0", "5", "*", "10", "11"}, 4, false);
  R::clip_range_to_dummy(text, 0, 10, false, false, true, 0, -1);
  std::vector<std::string> texts;
  for (std::int64_t k = 0; k < text.get_length(); ++k) texts.push_back(opaque_text(text, k));
  EXPECT_EQ(texts, (std::vector<std::string>{"", "", "5", "*", "10", ""}));
}

TEST(RangeLimits, DetectionLimits) {
  const std::tuple<double, bool, std::vector<double>, std::vector<double>> clips[] = {
      {4, true, {-6, 2, 5, D}, {3, 2, 5, D}},
      {4, false, {-6, 2, 5, D}, {2, 2, 5, D}},
      {D, false, {2, 2, 5, D}, {2, 2, 5, D}},
      {D, true, {-6, 2}, {3, 2}}};
  for (const auto& [limit, half, in, out] : clips) {
    Multi_vector v = make_doubles(in);
    R::clip_to_detection_limit(v, limit, half, 0, -1);
    EXPECT_EQ(doubles_of(v), out) << limit << " " << half;
  }
  Multi_vector v = make_doubles({-2, 0, 3, 8, D});
  R::set_detection_limit(v, D, 0, -1);
  EXPECT_EQ(doubles_of(v), (std::vector<double>{1.5, 1.5, 3, 8, 1.5}));
  v = make_doubles({1, 7, D});
  R::set_factor_limit(v, 5, 0, -1);
  EXPECT_EQ(doubles_of(v), (std::vector<double>{1, 5, D}));
  v = make_doubles({-4, 2, D});
  EXPECT_TRUE(R::convert_negatives(v, D, 0, -1));
  EXPECT_FALSE(R::convert_negatives(v, 3, 0, -1));
  EXPECT_EQ(doubles_of(v), (std::vector<double>{2, 2, D}));
  // Non-double vectors round-trip through double.
  Multi_vector i = make_vector<std::int32_t>({-5, 1, 9}, true);
  R::clip_to_detection_limit(i, 5, true, 0, -1);
  EXPECT_EQ(values_of<std::int32_t>(i), (std::vector<std::int32_t>{3, 3, 9}));
}

}  // namespace
