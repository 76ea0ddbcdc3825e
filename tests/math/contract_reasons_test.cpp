// Every contract check of the math members, by its reason.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <functional>
#include <utility>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using namespace vorlith::testing_support;
using M = Integration_math;
using R = Integration_range;
using S = vorlith::common::Segment_2d<double>;

constexpr double D = vorlith::common::dummy_value<double>;

TEST(MathContracts, RefusedCallsGiveTheirReason) {
  Multi_vector v = make_doubles({1, D, 3}), one = make_doubles({1}), out = make_doubles({});
  Multi_vector text = make_opaque({"3", "*"}, 12, false), no_positive = make_doubles({-2, 0});
  Multi_vector f = make_vector<float>({3, 2, 1}, false), d = make_doubles({1.1});
  Multi_vector i32 = make_vector<std::int32_t>({1}, false), i16(type_int16, false, 4);
  Multi_vector fp2(type_float_point_2d, false, 2), fp3(type_float_point_3d, false, 2);
  const Multi_vector dp2(type_double_point_2d, false, 2);
  const double c[] = {1, 0, 1};
  double lo, hi;
  char low[12], high[12];
  vorlith::common::Point_2d<std::int32_t> ilo, ihi;
  const S point{{1, 1}, {1, 1}}, dummies{{D, 1}, {2, D}};
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
      {[&] { R::compute_range(text, nullptr, high, 0, -1); }, "compute_range: min is a null"},
      {[&] { R::compute_range(text, low, nullptr, 0, -1); }, "compute_range: max is a null"},
      {[&] { R::compute_range(dp2, lo, hi, 0, -1); }, "compute_range: a double_point_2d channel"},
      {[&] { R::compute_range(fp3, low, high, 0, -1); }, "compute_range: a float_point_3d channel"},
      {[&] { R::clamp_to_range(fp3, 0.0, 1.0, 0, -1); }, "clamp_to_range: a float_point_3d"},
      {[&] { R::clip_range_to_dummy(fp3, 0.0, 1.0, true, true, false, 0, -1); },
       "clip_range_to_dummy: a float_point_3d channel cannot be clipped"},
      {[&] { R::compute_range_int32_point2d(fp3, ilo, ihi, 0, -1); },
       "compute_range_int32_point2d: the channel is float_point_3d, whose elements are not 8"},
      {[&] { R::clamp_to_range(text, 0, 1, 0, -1); }, "clamp_to_range: a text channel cannot be"},
      {[&] { R::clip_range_to_dummy(text, 2, 1, false, true, true, 0, -1); },
       "clip_range_to_dummy: minimum 2 is above maximum 1"},
      {[&] { R::clamp_to_range(v, 5.0, 2.5, 0, 1); },
       "clamp_to_range: minimum 5 is above maximum 2.5"},
      {[&] { R::set_detection_limit(no_positive, D, 0, -1); },
       "set_detection_limit: limit -1e+32 is not above 0"},
      {[&] { R::set_factor_limit(no_positive, D, 0, -1); }, "set_factor_limit: limit is the dummy"},
      {[&] { M::add(v, v, out, 4, 1); },
       "validate_input_range: start 4 and count 1 pass the length 3"},
      {[&] { M::sum(i16, 2, 3); }, "validate_input_range: start 2 and count 3 pass the length 4"},
      {[&] { M::polyfillx(v, -1, c, 0, -1); }, "polyfillx: order -1 is below 0"},
      {[&] { M::polyfillxy(no_positive, one, 1, c, 0, 2); },
       "validate_input_range: start 0 and count 2 pass the length 1"},
      {[&] { M::polyfillxy(v, i32, -3, c, 0, -1); }, "polyfillxy: order -3 is below 0"},
      {[&] { M::rotate(v, one, D, 0, -1); }, "rotate: angle is the dummy"},
      {[&] { M::reduce_bits(f, 0, 0, -1); }, "reduce_bits: bits 0 is below 1"},
      {[&] { M::reduce_bits(f, 23, 0, -1); }, "reduce_bits: bits 23 on a channel of type float ("},
      {[&] { M::reduce_bits(d, 52, 0, -1); }, "reduce_bits: bits 52 on a channel of type double"},
      {[&] { M::reduce_bits(i32, 3, 0, -1); }, "reduce_bits: bits 3 on a channel of type int32"},
      {[&] { M::swap(fp2, 0, -1); }, "swap: a float_point_2d channel cannot be byte-swapped"},
      {[&] { M::distance_from_line(v, v, out, point, 0, -1); },
       "distance_from_line: the segment's two points are equal (1, 1)"},
      {[&] { M::distance_from_line(v, v, out, dummies, 0, -1); },
       "distance_from_line: the segment's two points are equal (-1e+32, 1)"},
      {[&] { M::distance_from_line(v, v, text, point.first, 1.0, 0, -1); },
       "distance_from_line: the output is a text channel"},
      {[&] { M::inflection(v, 1.0, 0, -1); }, "inflection: threshold 1 is outside [-1, 1)"},
      {[&] { M::inflection(f, 0.0, 0, -1); }, "inflection: the channel is float, not double"},
      {[&] { M::find_gaps(v, v, v, i16, 2.0, 0, -1); }, "find_gaps: the output is int16, not"},
      {[&] { M::find_gaps(v, v, v, i32, 0.0, 0, -1); }, "find_gaps: threshold 0 is not above 0"},
      {[&] { M::line_mask(one, one, one, 0, 1, 0, 1, 0, -1); },
       "line_mask: neither x_min 0 equals x_max 1 nor y_min 0 equals y_max 1"},
      {[&] { M::dummy_back_tracks(text, 0, -1); }, "dummy_back_tracks: the channel is a text"},
      {[&] { M::duplicate_stats(text, one, out, out, 0, -1); },
       "duplicate_stats: values is a text channel"},
  };
  for (const auto& [call, reason] : cases) EXPECT_TRUE(fails_contract(call, reason)) << reason;
}

}  // namespace
