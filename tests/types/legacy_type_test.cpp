#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

#include "support/contracts.h"
#include "types/type_list.h"

namespace {

using namespace vorlith::integration;
using vorlith::common::Point_2d;
using vorlith::common::Point_3d;
using vorlith::testing_support::fails_contract;

TEST(LegacyType, CodesSizesAndNames) {
  const Legacy_type opaque12(std::int64_t{12}), fp3(type_float_point_3d);
  EXPECT_TRUE(opaque12.get_data_type() == 14 && opaque12.get_element_size() == 12);
  EXPECT_TRUE(opaque12.get_memory_size() == 1 && opaque12.get_name() == "opaque(12)");
  EXPECT_TRUE(fp3.get_memory_size() == 12 && fp3.get_name() == "float_point_3d");
  EXPECT_FALSE(fp3.is_same(opaque12));
  EXPECT_EQ(Legacy_type(std::int64_t{-3}).get_name(), "opaque(-3)");

  const char* names[] = {"int8",           "uint8",          "int16",          "uint16",
                         "int32",          "uint32",         "int64",          "uint64",
                         "float",          "double",         "float_point_2d", "double_point_2d",
                         "float_point_3d", "double_point_3d"};
  const std::int64_t sizes[] = {1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 8, 16, 12, 24};
  for (int code = 0; code < 14; ++code) {
    const Legacy_type t(static_cast<legacy_data_type>(code));
    EXPECT_TRUE(t.get_name() == names[code] && t.get_element_size() == sizes[code]) << code;
    EXPECT_TRUE(t.is_integral() == (code <= 7) && t.is_floating() == (code == 8 || code == 9) &&
                t.is_point() == (code >= 10) && !t.is_opaque())
        << code;
  }
}

TEST(LegacyType, SameTypeRulesAndCodesOutsideTheFixedTypes) {
  EXPECT_TRUE(Legacy_type(std::int64_t{8}) == Legacy_type(std::int64_t{8}));
  EXPECT_TRUE(Legacy_type(std::int64_t{8}) != Legacy_type(std::int64_t{9}));
  EXPECT_FALSE(Legacy_type(std::int64_t{8}).is_same(Legacy_type(type_double)));
  EXPECT_TRUE(Legacy_type(type_int16) == Legacy_type(type_int16));
  EXPECT_TRUE(fails_contract([] { Legacy_type(type_int16).is_dummy(nullptr); },
                             "is_dummy: value is null with count 1"));
  const double source[2] = {1.0, 2.0};
  EXPECT_TRUE(fails_contract(
      [&] { Legacy_type(type_double).convert_to(source, nullptr, Legacy_type(type_int16), 2); },
      "convert_to: target is null with count 2"));
  double d = 0;
  EXPECT_TRUE(fails_contract([&] { Legacy_type(type_double).convert_to_double(&d, &d, -1); },
                             "convert_to: count -1 is below 0"));
  for (int code : {int{type_opaque}, 15, -1}) {
    EXPECT_TRUE(fails_contract([&] { Legacy_type(static_cast<legacy_data_type>(code)); },
                               "Legacy_type: code"))
        << code;
  }
  // The internal type switch refuses the opaque code as any other code it has no type for.
  EXPECT_TRUE(
      fails_contract([] { vorlith::types::visit_value_type(type_opaque, [](auto) { return 0; }); },
                     "element type: code 14 is not a known type"));
}

TEST(LegacyType, DummyTests) {
  const Legacy_type i64(type_int64);
  const std::int64_t lowest[2] = {INT64_MIN, INT64_MIN + 1};
  EXPECT_TRUE(i64.is_dummy(&lowest[0]) && !i64.is_dummy(&lowest[1]));

  const Legacy_type f(type_float);
  float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(f.is_dummy(&nan));
  const Legacy_type d(type_double);
  const double widened = -1.0000000331813535e32, negative_zero = -0.0;
  EXPECT_FALSE(d.is_dummy(&widened) || d.is_dummy(&negative_zero));

  // A point with a dummy component is a dummy; dummy points are all equal, NaN ones never.
  using P2 = Point_2d<double>;
  const P2 p{5.0, -1e32};
  EXPECT_TRUE(Legacy_type(type_double_point_2d).is_dummy(&p));
  EXPECT_TRUE((P2{1, -1e32} == P2{-1e32, 7}) && (P2{1, 2} == P2{1, 2}));
  EXPECT_FALSE((P2{1, NAN} == P2{1, NAN}) || (P2{1, 2} == P2{1, -1e32}));

  const Legacy_type o5(std::int64_t{5});
  char text[5] = {'a', 'b', 'c', 'd', 'e'};
  EXPECT_FALSE(o5.is_dummy(text));
  o5.set_dummy(text);
  for (char c : text) EXPECT_EQ(c, 0);
  EXPECT_TRUE(o5.is_dummy(text));

  // A lone '*' is a dummy too. The texts hold at least `width` bytes.
  const std::tuple<std::int64_t, const char*, bool> stars[] = {{1, "*", true},   {1, "A", false},
                                                               {3, "*\0", true}, {3, "*A", false},
                                                               {3, "**", false}, {3, " *", false}};
  for (const auto& [width, bytes, dummy] : stars)
    EXPECT_EQ(Legacy_type(width).is_dummy(bytes), dummy) << width << " '" << bytes << "'";
  Point_3d<float> p3{1, 2, 3};
  Legacy_type(type_float_point_3d).set_dummy(&p3);
  const std::uint32_t pattern[3] = {0xF49DC5AEu, 0xF49DC5AEu, 0xF49DC5AEu};
  EXPECT_EQ(std::memcmp(&p3, pattern, sizeof p3), 0);
}

}  // namespace
