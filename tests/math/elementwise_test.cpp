#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using M = Integration_math;

constexpr double D = vorlith::common::dummy_value<double>;
const double nan = std::numeric_limits<double>::quiet_NaN();

using Binary = void (*)(const Multi_vector&, const Multi_vector&, Multi_vector&, std::int64_t,
                        std::int64_t);
using Values = std::vector<double>;

TEST(ElementwiseRules, TwoInputMembersWithDummiesInEitherInput) {
  // name, member, a, b -> expected
  const std::tuple<const char*, Binary, Values, Values, Values> cases[] = {
      {"add", M::add, {1, D, 3, -0.5}, {2, 4, D, 0.25}, {3, D, D, -0.25}},
      {"subtract", M::subtract, {1, D, 3, -0.5}, {2, 4, D, 0.25}, {-1, D, D, -0.75}},
      {"multiply", M::multiply, {1, D, 3, -0.5}, {2, 4, D, 0.25}, {2, D, D, -0.125}},
      {"divide",
       M::divide,
       {6, 0, 0, -0.0, D, 5, 1},
       {3, 0, 5, 5, 2, D, -0.0},
       {2, D, 0.0, 0.0, D, D, D}},
      {"mask_and", M::mask_and, {D, 2, D, 3}, {3, 3, D, D}, {D, 1, D, D}},
      {"mask_or", M::mask_or, {D, 2, D, 3}, {3, 3, D, D}, {1, 1, D, 1}},
      {"mask_xor", M::mask_xor, {D, 2, D, 3}, {3, 3, D, D}, {1, D, D, 1}},
  };
  Multi_vector out(type_double, false, 50);  // shrinks, then grows and shrinks again
  for (const auto& [name, member, a, b, expected] : cases) {
    member(make_doubles(a), make_doubles(b), out, 0, -1);
    EXPECT_TRUE(same_doubles(doubles_of(out), expected)) << name;
  }
  M::add_weighted(make_doubles({1, D, 2}), 2.0, make_doubles({4, 1, D}), 0.5, out, 0, -1);
  EXPECT_TRUE(same_doubles(doubles_of(out), {4, D, D}));
  M::hypotenuse(make_doubles({3, 1e200, D, 1}), make_doubles({4, 1e200, 1, 1}),
                make_doubles({12, 0, 1, D}), out, 0, -1);
  EXPECT_TRUE(same_doubles(doubles_of(out), {13, std::numeric_limits<double>::infinity(), D, D}));
}

TEST(ElementwiseRules, OutputLengthFollowsTheRange) {
  Multi_vector out(type_double, false, 20);
  M::add(make_doubles(std::vector<double>(10, 1.0)), make_doubles(std::vector<double>(7, 2.0)), out,
         0, -1);
  EXPECT_EQ(doubles_of(out), std::vector<double>(7, 3.0));
  // A zero count still sets the output length, and touches nothing else.
  M::add(make_doubles({1, 1, 1}), make_doubles({1, 1, 1}), out, 2, 0);
  EXPECT_EQ(doubles_of(out), std::vector<double>(2, 3.0));
  // The output may be an input; here it is a, shortened to b's length first.
  Multi_vector a = make_doubles({1, 2, 3, 4});
  M::multiply(a, make_doubles({2, 2, 2}), a, 1, -1);
  EXPECT_EQ(doubles_of(a), (std::vector<double>{1, 4, 6}));
}

TEST(ElementwiseRules, InPlaceMembers) {
  using V = Multi_vector;
  const double e2 = std::exp(2.0), grown = 10.0 * (1.0 + std::log(10.0));
  const std::tuple<void (*)(V&), Values, Values> cases[] = {
      {[](V& v) { M::abs(v, 0, -1); }, {-2, D, -0.0, 3}, {2, D, 0.0, 3}},
      {[](V& v) { M::add_base_multiplier(v, 1, 3, 0, -1); }, {-2, D, 0.5}, {-3, D, 4.5}},
      {[](V& v) { M::replace_if_dummy_or_less_than(v, 0, 7, 0, -1); }, {-2, D, 0}, {7, 7, 0}},
      {[](V& v) { M::log(v, 0, 0, -1); }, {1, e2, D, 0.5, nan}, {D, 2, D, D, nan}},
      {[](V& v) { M::log10(v, -5, 0, -1); }, {1, 10, 1000, D}, {D, 1, 3, D}},
      {[](V& v) { M::log_scaled(v, 10, 0, -1); }, {-10, 100, nan, -100}, {-10, grown, nan, -grown}},
      {[](V& v) { M::log10_scaled(v, 10, 0, -1); }, {100, -1000, 10, D}, {20, -30, 10, D}},
  };
  for (const auto& [call, in, expected] : cases) {
    V v = make_doubles(in);
    call(v);
    EXPECT_TRUE(same_doubles(doubles_of(v), expected)) << ::testing::PrintToString(in);
  }
}

TEST(ElementwiseRules, PolynomialsAndRotation) {
  const double c[] = {1, 0, 1};
  Multi_vector v = make_doubles({D, D, D, D, D, D});
  M::polyfillx(v, 2, c, 3, 2);
  EXPECT_TRUE(same_doubles(doubles_of(v), {D, D, D, 10, 17, D}));
  // Order 12 reads ten coefficients only.
  const double ten[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  M::polyfillx(v, 12, ten, 1, 1);
  EXPECT_EQ(v.get_double(1), 10.0);

  Multi_vector y(type_int32, false, 3);
  M::polyfillxy(make_doubles({2, D, -1}), y, 2, c, 0, -1);
  EXPECT_EQ(values_of<std::int32_t>(y), (std::vector<std::int32_t>{5, -2147483647, 2}));

  Multi_vector x = make_doubles({1, D, 2}), yy = make_doubles({0, 5, D});
  M::rotate(x, yy, std::numbers::pi / 2, 0, -1);
  EXPECT_NEAR(x.get_double(0), 0.0, 1e-15);
  EXPECT_DOUBLE_EQ(yy.get_double(0), 1.0);
  EXPECT_TRUE(same_doubles({x.get_double(1), x.get_double(2), yy.get_double(1), yy.get_double(2)},
                           {D, D, D, D}));
}

// Results reach every output type through the vector's own conversion; the storage modes
// alternate (the invariance suite compares them).
TEST(ElementwiseConversion, NonDoubleInputsAndOutputs) {
  const Multi_vector a = make_vector<std::int16_t>({30000, 100, -32767, -5, 1}, true);
  const Multi_vector b = make_doubles({30000, 0.5, 1, -0.5, 0.1}, false);

  Multi_vector to_int16(type_int16, false, 0);
  M::add(a, b, to_int16, 0, -1);
  EXPECT_EQ(values_of<std::int16_t>(to_int16),
            (std::vector<std::int16_t>{32767, 101, -32767, -6, 1}));

  Multi_vector to_float(type_float, true, 0);
  M::add(a, b, to_float, 0, -1);
  EXPECT_EQ(values_of<float>(to_float),
            (std::vector<float>{60000.0f, 100.5f, -1.0e32f, -5.5f, 1.1f}));

  Multi_vector to_point(type_double_point_2d, false, 0);
  M::add(a, b, to_point, 3, 2);
  const auto points = values_of<vorlith::common::Point_2d<double>>(to_point);
  EXPECT_TRUE(points[3].x == -5.5 && points[3].y == 0.0 && points[4].x == 1.1);

  Multi_vector text = make_opaque({"1.5", "*", "-2"}, 12, true);
  M::add_base_multiplier(text, 1, 2, 0, -1);
  EXPECT_EQ(opaque_text(text, 0), "5.000000");
  EXPECT_EQ(opaque_text(text, 1), "");
  EXPECT_EQ(opaque_text(text, 2), "-2.000000");
}

TEST(ElementwiseNative, ReduceBitsValidateSwap) {
  Multi_vector f = make_vector<float>({1.0f, 1.1f, -1.0e32f}, false);
  M::reduce_bits(f, 1, 0, -1);
  EXPECT_EQ(values_of<float>(f), (std::vector<float>{1.0f, 1.25f, -1.0e32f}));
  Multi_vector d = make_doubles({1.1, 1.0}, true);
  M::reduce_bits(d, 20, 0, -1);
  EXPECT_TRUE(same_doubles(doubles_of(d), {std::bit_cast<double>(0x3FF1999980000000u), 1.0}));
  Multi_vector ints = make_vector<std::int32_t>({1}, false);

  const float inf = std::numeric_limits<float>::infinity();
  const float tiny = std::numeric_limits<float>::denorm_min();
  Multi_vector g =
      make_vector<float>({std::nanf(""), inf, -inf, tiny, 0.0f, -0.0f, -1.0e32f, 1.5f}, true);
  M::validate(g, 0, -1);
  const float fd = -1.0e32f;
  EXPECT_TRUE(same_elements(values_of<float>(g), {fd, fd, fd, fd, 0.0f, -0.0f, fd, 1.5f}));
  const double dmin = std::numeric_limits<double>::denorm_min(), dnan = std::nan("");
  Multi_vector h = make_doubles({dmin, -0.0, 2.5, -std::numeric_limits<double>::infinity(), dnan});
  M::validate(h, 1, 3);  // the first and the last element are outside the range
  EXPECT_TRUE(same_doubles(doubles_of(h), {dmin, -0.0, 2.5, -1.0e32, dnan}));
  M::validate(ints, 5, 9);  // other types: nothing happens, not even the range check
  EXPECT_EQ(values_of<std::int32_t>(ints), std::vector<std::int32_t>{1});

  Multi_vector s = make_vector<std::int16_t>({0x0102, 0x0304}, true);
  M::swap(s, 1, 1);
  EXPECT_EQ(values_of<std::int16_t>(s), (std::vector<std::int16_t>{0x0102, 0x0403}));
  Multi_vector bytes = make_vector<std::uint8_t>({1, 2}, false);
  M::swap(bytes, 0, -1);
  M::swap(bytes, 5, 9);  // one-byte values: nothing to swap, no range check
  EXPECT_EQ(values_of<std::uint8_t>(bytes), (std::vector<std::uint8_t>{1, 2}));
  Multi_vector wide = make_vector<std::uint64_t>({0x0102030405060708u}, false);
  M::swap(wide, 0, -1);
  EXPECT_EQ(values_of<std::uint64_t>(wide)[0], 0x0807060504030201u);
}

// Outputs of 16 MiB and more are written with streaming stores: the same values from an
// odd start (an unaligned first element), in both storage modes.
TEST(ElementwiseRules, LargeOutputsKeepTheirValues) {
  const std::int64_t n = (std::int64_t{16} << 20) / 8 + 5;
  std::vector<double> a(static_cast<std::size_t>(n)), b(a.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    a[i] = i % 7 == 3 ? D : 0.5 * static_cast<double>(i);
    b[i] = 2.0 - static_cast<double>(i);
  }
  for (bool block : {false, true}) {
    Multi_vector out(type_double, block, n);
    M::add(make_doubles(a, block), make_doubles(b, block), out, 1, -1);
    const std::vector<double> r = doubles_of(out);
    std::size_t wrong = 0;
    for (std::size_t i = 1; i < a.size(); ++i) wrong += r[i] != (a[i] == D ? D : a[i] + b[i]);
    EXPECT_EQ(wrong, 0u) << (block ? "block" : "contiguous");
  }
}

}  // namespace
