#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "support/contracts.h"
#include "support/element_cases.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;

// Searches, dummy counts, replacement and dummy fills on every element type and both
// modes, against a scan of the same elements.
TEST(FillSearch, EveryTypeMatchesAScan) {
  for (const Legacy_type& type : every_element_type()) {
    const std::int64_t n = three_blocks(type);
    const auto base = sample_elements(type, n);
    const auto is_dummy = [&](std::int64_t i) {
      return type.is_dummy(base[static_cast<std::size_t>(i)].data());
    };
    for (bool block : {false, true}) {
      SCOPED_TRACE(type.get_name() + (block ? " block" : " contiguous"));
      Multi_vector v = vector_of(type, base, block);
      const std::int64_t lo = 2, hi = n - 3;  // hi is the last index searched
      std::int64_t dummies = 0, first_dummy = -1, last_dummy = -1;
      for (std::int64_t i = lo; i <= hi; ++i) {
        if (!is_dummy(i)) continue;
        ++dummies;
        if (first_dummy < 0) first_dummy = i;
        last_dummy = i;
      }
      EXPECT_EQ(v.count_dummy(lo, hi - lo + 1), dummies);
      EXPECT_EQ(v.finddummy(lo, hi - lo + 1), first_dummy);
      EXPECT_EQ(v.reverse_finddummy(hi, hi - lo + 1), last_dummy);
      EXPECT_EQ(v.findnondummy(0, -1), 1);
      EXPECT_EQ(v.reverse_findnondummy(n - 1, -1), n - 2);

      EXPECT_EQ(v.find_not(base[0].data(), 0, -1), 1);
      EXPECT_EQ(v.reverse_find_not(base[static_cast<std::size_t>(n - 1)].data(), n - 1, -1), n - 2);

      // Values hit on the first and the last element examined, and missed; the window
      // is short enough for its values to be distinct.
      std::int64_t s = std::max(lo, hi - 50);
      while (is_dummy(s)) --s;
      const Bytes& hit = base[static_cast<std::size_t>(hi)];
      const Bytes& low = base[static_cast<std::size_t>(s)];
      const std::int64_t w = hi - s + 1;
      EXPECT_EQ(v.find(hit.data(), s, w), hi);
      EXPECT_EQ(v.find(low.data(), s, w), s);
      EXPECT_EQ(v.find(hit.data(), s, w - 1), -1);
      EXPECT_EQ(v.reverse_find(hit.data(), hi, w), hi);
      EXPECT_EQ(v.reverse_find(low.data(), hi, w), s);
      EXPECT_EQ(v.reverse_find(low.data(), hi, w - 1), -1);
      EXPECT_EQ(v.reverse_find(hit.data(), hi, 1), hi);

      v.replace(hit.data(), base[1].data(), 0, -1);
      EXPECT_EQ(v.find(hit.data(), 0, -1), -1);
      EXPECT_EQ(elements_of(v)[static_cast<std::size_t>(hi)], base[1]);

      v.filldummy(1, n);  // passes the end: lengthens by one
      EXPECT_EQ(v.get_length(), n + 1);
      EXPECT_EQ(v.count_dummy(0, -1), n + 1);
      EXPECT_EQ(v.findnondummy(0, -1), -1);
    }
  }
}

TEST(FillSearch, ValueEqualityPerType) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Multi_vector d = make_doubles({1, -0.0, nan, 2});
  const double zero = 0.0;
  EXPECT_EQ(d.find(&zero, 0, -1), 1);
  EXPECT_EQ(d.find(&nan, 0, -1), -1);
  EXPECT_EQ(d.find_not(&nan, 1, -1), 1);
  EXPECT_EQ(d.find(&zero, 0, 0), -1);

  using P = vorlith::common::Point_2d<float>;
  const float fd = vorlith::common::dummy_value<float>;
  const Multi_vector p = make_vector<P>({{1, 2}, {3, fd}, {fd, 9}}, false);
  const P x_dummy{fd, 0};
  EXPECT_EQ(p.find(&x_dummy, 0, -1), 1);
  EXPECT_EQ(p.reverse_find(&x_dummy, 2, -1), 2);
  const P one_two{1, 2};
  EXPECT_EQ(p.find_not(&one_two, 0, -1), 1);

  // Opaque values compare every byte, including those after the text.
  Multi_vector o = make_opaque({"ab", "ab", "abc"}, 5, false);
  char tail[5] = {'a', 'b', 0, 'x', 0};
  o.set(1, tail);
  EXPECT_EQ(o.find(tail, 0, -1), 1);
  o.strupr(0, -1);
  EXPECT_EQ(opaque_text(o, 2), "ABC");
  const char upper_tail[5] = {'A', 'B', 0, 'X', 0};
  EXPECT_EQ(o.find(upper_tail, 0, -1), 1);

  const std::int16_t dummy16 = vorlith::common::dummy_value<std::int16_t>, zero16 = 0;
  Multi_vector s = make_vector<std::int16_t>({dummy16, 1, 2, dummy16, dummy16}, false);
  s.replace(&dummy16, &zero16, 0, -1);
  EXPECT_EQ(values_of<std::int16_t>(s), (std::vector<std::int16_t>{0, 1, 2, 0, 0}));
}

TEST(FillSearch, FillsLengthenAndFollowTheirFormula) {
  Multi_vector v = make_vector<std::int16_t>({5, 6}, false);
  const std::int16_t seven = 7;
  v.fill_value(&seven, 3, 2);
  EXPECT_EQ(values_of<std::int16_t>(v), (std::vector<std::int16_t>{5, 6, 0, 7, 7}));
  v.fill_increasing(10, -2, 0, 4);
  v.fill_increasing(9, 5, 4, 1);
  EXPECT_EQ(values_of<std::int16_t>(v), (std::vector<std::int16_t>{10, 8, 6, 4, 9}));

  Multi_vector i32(type_int32, false, 0);
  const std::int64_t top = 2147483647;
  EXPECT_TRUE(
      fails_contract([&] { i32.fill_increasing(top - 100, 10, 0, 10); },
                     "fill_increasing: int32 run of 10 from 2147483547 by 10 reaches 2147483647"));
  EXPECT_TRUE(
      fails_contract([&] { i32.fill_increasing(top, 0, 0, 1); },
                     "fill_increasing: int32 run of 1 from 2147483647 by 0 reaches 2147483647"));
  EXPECT_EQ(i32.get_length(), 0);
  i32.fill_increasing(top - 100, 10, 0, 9);
  EXPECT_EQ(values_of<std::int32_t>(i32).back(), top - 20);
  // Sequences that wrap do so as 32-bit two's complement.
  i32.fill_increasing(-2147483600, -100, 0, 3);
  EXPECT_EQ(values_of<std::int32_t>(i32)[2],
            static_cast<std::int32_t>(-2147483800LL + 4294967296LL));
  // The run check is exact where increment * n does not fit 64 bits.
  const std::int64_t low = std::numeric_limits<std::int64_t>::min();
  EXPECT_TRUE(fails_contract(
      [&] { i32.fill_increasing(low, std::numeric_limits<std::int64_t>::max(), 0, 2); },
      "fill_increasing: int32 run of 2 from -9223372036854775808 by 9223372036854775807 reaches "
      "2147483647"));
  i32.fill_increasing(low, std::int64_t{1} << 62, 0, 2);
  EXPECT_EQ(values_of<std::int32_t>(i32)[1], 0);

  Multi_vector text(Legacy_type(std::int64_t{6}), false, 0);
  text.fill_increasing(-3, 4, 0, 3);
  EXPECT_EQ(opaque_text(text, 2), "5");
}

}  // namespace
