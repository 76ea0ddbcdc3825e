#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using IC = Integration_convert;
using vorlith::common::Point_2d;
using vorlith::common::Point_3d;

constexpr double D = vorlith::common::dummy_value<double>;
constexpr float FD = vorlith::common::dummy_value<float>;
constexpr std::int32_t ID = vorlith::common::dummy_value<std::int32_t>;

// Doubles beyond float saturate, and NaN stays NaN.
TEST(PointConversion, ListedCases) {
  Multi_vector x = make_doubles({1e39, -2});
  Multi_vector y = make_doubles({D, std::numeric_limits<double>::quiet_NaN()});
  Multi_vector p(type_float_point_2d, false, 5);
  IC::convert_doubles_to_floatpoint2d(x, y, p, 0, -1);
  ASSERT_EQ(p.get_length(), 2);
  const auto points = values_of<Point_2d<float>>(p);
  EXPECT_TRUE(points[0].x == std::numeric_limits<float>::max() && points[0].y == FD);
  EXPECT_TRUE(points[1].x == -2.0f && std::isnan(points[1].y));
}

using Args = std::vector<Multi_vector*>;

// A conversion called with the arguments in order from start to the end.
template <auto F>
void call(const Args& a, std::int64_t start = 0) {
  if constexpr (requires { F(*a[0], *a[1], *a[2], *a[3], 0, -1); })
    F(*a[0], *a[1], *a[2], *a[3], start, -1);
  else
    F(*a[0], *a[1], *a[2], start, -1);
}

// Channels -> points -> channels over block borders, with dummies, the points stored as
// their own type or as text of their size. A dummy in any channel makes the whole point
// a dummy on the way back.
TEST(PointConversion, RoundTripsAcrossBlocks) {
  struct Case {
    legacy_data_type channel, point;
    std::int64_t components;
    void (*to)(const Args&, std::int64_t);
    void (*back)(const Args&, std::int64_t);
  };
  const Case cases[] = {
      {type_double, type_float_point_2d, 2, call<IC::convert_doubles_to_floatpoint2d>,
       call<IC::convert_floatpoint2d_to_doubles>},
      {type_double, type_double_point_2d, 2, call<IC::convert_doubles_to_doublepoint2d>,
       call<IC::convert_doublepoint2d_to_doubles>},
      {type_double, type_float_point_3d, 3, call<IC::convert_doubles_to_floatpoint3d>,
       call<IC::convert_floatpoint3d_to_doubles>},
      {type_double, type_double_point_3d, 3, call<IC::convert_doubles_to_doublepoint3d>,
       call<IC::convert_doublepoint3d_to_doubles>},
      {type_int32, type_opaque, 3, call<IC::convert_int32_to_int32point>,
       call<IC::convert_int32point_to_int32>},
  };
  const std::int64_t n = 1500;
  for (const Case& c : cases) {
    const bool block = (&c - cases) % 2 == 1;  // the invariance suite compares the modes
    for (bool opaque : {false, true}) {
      if (c.point == type_opaque && !opaque) continue;
      SCOPED_TRACE(std::to_string(c.point) + (block ? " block" : "") + (opaque ? " text" : ""));
      std::vector<Multi_vector> vectors;
      vectors.reserve(static_cast<std::size_t>(2 * c.components + 1));  // pointers stay valid
      for (std::int64_t k = 0; k < c.components; ++k) {
        vectors.emplace_back(Legacy_type(c.channel), k == 1 ? !block : block, n);
        for (std::int64_t i = 0; i < n; ++i)
          vectors.back().set_double(i, (i + k) % 777 == 0 ? D : 4.0 * i - k);
      }
      const std::int64_t width =
          c.point == type_opaque ? 12 : Legacy_type(c.point).get_element_size();
      vectors.push_back(opaque ? Multi_vector(Legacy_type(width), block, 0)
                               : Multi_vector(Legacy_type(c.point), block, 0));
      Args to, back;
      for (auto& v : vectors) to.push_back(&v);
      back.push_back(to.back());
      for (std::int64_t k = 0; k < c.components; ++k)
        back.push_back(&vectors.emplace_back(Legacy_type(c.channel), k == 0 ? !block : block, 0));
      c.to(to, 5);
      c.back(back, 5);
      if (c.channel == type_int32) {  // the int32 points hold the channels as they are
        std::int32_t raw[3];
        to.back()->get(776, raw);
        EXPECT_TRUE(raw[0] == 4 * 776 && raw[1] == ID && raw[2] == 4 * 776 - 2);
      }
      for (std::int64_t i = 5; i < n; ++i) {
        bool dummy = false;
        for (std::int64_t k = 0; k < c.components; ++k) dummy = dummy || (i + k) % 777 == 0;
        for (std::int64_t k = 0; k < c.components; ++k)
          ASSERT_EQ(back[k + 1]->get_double(i), dummy ? D : 4.0 * i - k) << i << " " << k;
      }
    }
  }
}

TEST(PointConversion, SegmentsAcrossBlocks) {
  const std::int64_t n = 1500;
  Multi_vector segments(Legacy_type(std::int64_t{32}), true, n);
  for (std::int64_t i = 0; i < n; ++i) {
    const double s[4] = {4.0 * i, 4.0 * i + 1, i % 999 == 0 ? D : 4.0 * i + 2, 4.0 * i + 3};
    segments.set(i, s);
  }
  Multi_vector sx(type_double, false, 0), sy(type_double, true, 0);
  IC::convert_doublesegment_to_doubles(segments, sx, sy, 3, -1);
  ASSERT_EQ(sx.get_length(), 2 * n);
  for (std::int64_t i = 3; i < n; ++i) {
    ASSERT_EQ(sx.get_double(2 * i), 4.0 * i) << i;
    ASSERT_EQ(sy.get_double(2 * i), 4.0 * i + 1) << i;
    ASSERT_EQ(sx.get_double(2 * i + 1), i % 999 == 0 ? D : 4.0 * i + 2) << i;
    ASSERT_EQ(sy.get_double(2 * i + 1), 4.0 * i + 3) << i;
  }
}

// Each argument of each conversion in turn gets a channel of the wrong type (or text of
// the wrong width); every one must be refused before anything is written.
TEST(PointConversion, EveryArgumentIsTypeChecked) {
  struct Case {
    std::vector<Legacy_type> types;
    void (*call)(const Args&, std::int64_t);
  };
  const Legacy_type d(type_double), i(type_int32), t12(std::int64_t{12}), t32(std::int64_t{32});
  const Case cases[] = {
      {{d, d, type_float_point_2d}, call<IC::convert_doubles_to_floatpoint2d>},
      {{d, d, type_double_point_2d}, call<IC::convert_doubles_to_doublepoint2d>},
      {{type_float_point_2d, d, d}, call<IC::convert_floatpoint2d_to_doubles>},
      {{type_double_point_2d, d, d}, call<IC::convert_doublepoint2d_to_doubles>},
      {{d, d, d, type_float_point_3d}, call<IC::convert_doubles_to_floatpoint3d>},
      {{d, d, d, type_double_point_3d}, call<IC::convert_doubles_to_doublepoint3d>},
      {{type_float_point_3d, d, d, d}, call<IC::convert_floatpoint3d_to_doubles>},
      {{type_double_point_3d, d, d, d}, call<IC::convert_doublepoint3d_to_doubles>},
      {{i, i, i, t12}, call<IC::convert_int32_to_int32point>},
      {{t12, i, i, i}, call<IC::convert_int32point_to_int32>},
      {{t32, d, d}, call<IC::convert_doublesegment_to_doubles>},
  };
  for (const Case& c : cases) {
    for (std::size_t bad = 0; bad < c.types.size(); ++bad) {
      // A number where a point or text is due, and 20-byte text where anything is due.
      for (const Legacy_type& wrong : {Legacy_type(type_int16), Legacy_type(std::int64_t{20})}) {
        std::vector<Multi_vector> vectors;
        for (std::size_t k = 0; k < c.types.size(); ++k)
          vectors.emplace_back(k == bad ? wrong : c.types[k], false, 2);
        Args args;
        for (auto& v : vectors) args.push_back(&v);
        EXPECT_TRUE(fails_contract([&] { c.call(args, 0); }, "convert_"))
            << "argument " << bad << " of case " << (&c - cases);
        for (const auto& v : vectors) EXPECT_EQ(v.get_length(), 2);
      }
    }
  }
}

TEST(FieldVector, ListedCasesAndDummies) {
  Multi_vector x = make_doubles({0, 1, 0, 0, D, 3});
  Multi_vector y = make_doubles({1, 0, 0, 0, 1, 4});
  Multi_vector z = make_doubles({0, 0, -1, 0, 1, 0});
  IC::convert_xyz_to_amp_inc_dec(x, y, z, 0, 5);
  EXPECT_EQ(values_of<double>(x), (std::vector<double>{1, 1, 1, 0, D, 3}));
  EXPECT_EQ(values_of<double>(y), (std::vector<double>{0, 0, 90, 0, D, 4}));
  EXPECT_EQ(values_of<double>(z), (std::vector<double>{0, 90, 0, 0, D, 0}));

  Multi_vector a = make_doubles({2, 1}), i = make_doubles({0, 90}), d = make_doubles({90, 0});
  IC::convert_amp_inc_dec_to_xyz(a, i, d, 0, -1);
  const double expected[3][2] = {{2, 0}, {0, 0}, {0, -1}};  // x, y, z of both stations
  for (int k = 0; k < 2; ++k)
    for (int j = 0; const Multi_vector* v : {&a, &i, &d})
      EXPECT_NEAR(v->get_double(k), expected[j++][k], 1e-15) << k;
}

TEST(FieldVector, RoundTrip) {
  const std::int64_t n = 1500;
  std::vector<double> c[3];
  for (std::int64_t k = 0; k < n; ++k) {
    c[0].push_back(30000 * std::sin(0.01 * k) + 1.5);
    c[1].push_back(-20000 * std::cos(0.007 * k));
    c[2].push_back(k % 201 == 0 ? D : 45000 - 50.0 * k);
  }
  Multi_vector x = make_doubles(c[0]), y = make_doubles(c[1]), z = make_doubles(c[2]);
  IC::convert_xyz_to_amp_inc_dec(x, y, z, 0, -1);
  IC::convert_amp_inc_dec_to_xyz(x, y, z, 0, -1);
  const std::vector<double> got[3] = {doubles_of(x), doubles_of(y), doubles_of(z)};
  for (std::int64_t k = 0; k < n; ++k) {
    const double scale = std::max({std::fabs(c[0][k]), std::fabs(c[1][k]), std::fabs(c[2][k])});
    for (int j = 0; j < 3; ++j) {
      if (c[2][k] == D)
        ASSERT_EQ(got[j][k], D) << k;
      else
        ASSERT_LE(std::fabs(got[j][k] - c[j][k]), 1e-12 * scale) << k << " component " << j;
    }
  }
  // Other types take the converted path: float channels hold the results in float.
  Multi_vector fx = make_vector<float>({3, FD}, true), fy = make_vector<float>({4, 1}, true);
  Multi_vector fz = make_vector<float>({0, 1}, true);
  IC::convert_xyz_to_amp_inc_dec(fx, fy, fz, 0, -1);
  EXPECT_EQ(values_of<float>(fx), (std::vector<float>{5, FD}));
  EXPECT_EQ(values_of<float>(fz), (std::vector<float>{36.86989765f, FD}));
}

}  // namespace
