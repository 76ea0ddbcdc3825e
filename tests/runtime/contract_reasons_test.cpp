// The reason a failed check gives, word for word, for one representative check of each
// family: what a host or a front end shows its user.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <functional>
#include <string>

#include "support/contracts.h"
#include "support/vectors.h"

namespace {

using namespace vorlith::integration;
using vorlith::testing_support::fails_contract_in;
using vorlith::testing_support::make_doubles;
using vorlith::testing_support::make_vector;

struct Reason_case {
  const char* file;
  const char* reason;
  std::function<void()> call;
};

Multi_vector int32s() { return make_vector<std::int32_t>({1, 2, 3, 4}, false); }

const Reason_case reason_cases[] = {
    {"src/types/legacy_type.cpp", "Legacy_type: code 14 is not a fixed type code (0 to 13)",
     [] { Legacy_type{type_opaque}; }},
    {"src/runtime/contracts.cpp", "is_dummy: value is null with count 1",
     [] { Legacy_type(type_int16).is_dummy(nullptr); }},
    {"src/runtime/contracts.cpp", "convert_to: target is null with count 2",
     [] {
       const double source[2] = {1.0, 2.0};
       Legacy_type(type_double).convert_to(source, nullptr, Legacy_type(type_int16), 2);
     }},
    {"src/math/elementwise.cpp",
     "reduce_bits: bits 52 on a channel of type double (double takes 1 to 51, float 1 to 22)",
     [] {
       Multi_vector v = make_doubles({1.5});
       Integration_math::reduce_bits(v, 52, 0, 1);
     }},
    {"src/math/line_geometry.cpp", "inflection: the channel is int32, not double",
     [] { Integration_math::inflection(int32s(), 0.5, 0, 4); }},
    {"src/math/value_limits.cpp", "clamp_to_range: minimum 5 is above maximum 2.5",
     [] {
       Multi_vector v = make_doubles({1.0});
       Integration_range::clamp_to_range(v, 5.0, 2.5, 0, 1);
     }},
    {"src/math/point_conversion.cpp", "convert_doubles_to_floatpoint2d: x is int32, not double",
     [] {
       Multi_vector x = int32s(), y = make_doubles({0, 0, 0, 0});
       Multi_vector p(Legacy_type(type_float_point_2d), false, 0);
       Integration_convert::convert_doubles_to_floatpoint2d(x, y, p, 0, 4);
     }},
    {"src/signal/predict.cpp", "predict: edge type 5 is not none (0), extrapolate (1) or wrap (2)",
     [] {
       Multi_vector v = make_doubles({1, 2});
       Integration_predict::predict(v, static_cast<Integration_predict::Edge_type>(5),
                                    vorlith::algorithm::Rollweight_type::linear, 0, 0, 0, 0);
     }},
    {"src/signal/akima.cpp", "akima_regular: increment -0.5 is not above 0",
     [] {
       Multi_vector x = make_doubles({0, 1, 2}), result = make_doubles({});
       Integration_spline::akima(x, x, result, 0.0, -0.5, 3, 0.0, 0.0);
     }},
    {"src/signal/akima_core.cpp", "akima: knot x values 2 then 1 do not increase",
     [] {
       Multi_vector x = make_doubles({2, 1}), result = make_doubles({});
       Integration_spline::akima(x, x, result, 0.0, 1.0, 3, 0.0, 0.0);
     }},
    {"src/signal/naudy_filter.cpp", "naudy_filter_workflow: the channel is int32, not double",
     [] {
       Multi_vector v = int32s();
       Integration_filter::naudy_filter_workflow(v, 3, 1.0, 1);
     }},
    {"src/signal/fft.cpp", "rfft_1d_forward: count 0 is below 1",
     [] {
       Multi_vector re = make_doubles({}), im = make_doubles({});
       FFT::rfft_1d_forward(make_doubles({1, 2}), re, im, 0, 0);
     }},
    {"src/signal/tokenize.cpp", "tokenize_to_doubles: the output is int32, not double",
     [] {
       Multi_vector out = int32s();
       Integration_string::tokenize_to_doubles("1,2", ",", out);
     }},
    {"src/types/text_conversions.cpp", "text conversion: field width 4097 is above 4096",
     [] { external_double_from_string("1", 4097); }},
};

TEST(ContractReasons, EachFamilySaysWhatFailed) {
  for (const Reason_case& c : reason_cases) {
    EXPECT_TRUE(fails_contract_in(c.call, c.file, c.reason)) << c.reason;
  }
}

}  // namespace
