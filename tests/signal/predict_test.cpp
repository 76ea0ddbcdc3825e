// Integration_predict::predict: worked examples, long gaps, other types and bad arguments.

#include <gtest/gtest.h>
#include <vorlith/integration.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "support/contracts.h"
#include "support/vectors.h"

namespace vorlith::integration {
namespace {

using algorithm::Rollweight_type;
using Edge = Integration_predict::Edge_type;
using namespace testing_support;

constexpr double D = common::dummy_value<double>;

std::vector<double> predicted(const std::vector<double>& values, Edge edges,
                              Rollweight_type roll = Rollweight_type::linear, double level = 0.0,
                              std::int64_t prediction_length = 0) {
  Multi_vector v = make_doubles(values);
  Integration_predict::predict(v, edges, roll, level, prediction_length, 0, 0);
  return values_of<double>(v);
}

TEST(Predict, WorkedExamples) {
  EXPECT_EQ(predicted({10, D, D, 40}, Edge::none), (std::vector<double>{10, 20, 30, 40}));
  EXPECT_EQ(predicted({10, D, D, 40}, Edge::none, Rollweight_type::squared),
            (std::vector<double>{10, 16, 34, 40}));
  EXPECT_EQ(predicted({D, D, 5, 7, D}, Edge::none), (std::vector<double>{D, D, 5, 7, D}));
  EXPECT_EQ(predicted({D, D, 5, 7, D}, Edge::extrapolate), (std::vector<double>{1, 3, 5, 7, 9}));
  EXPECT_EQ(predicted({D, D, 5, 7, D}, Edge::wrap), (std::vector<double>{6, 5.5, 5, 7, 6.5}));
  for (Edge edges : {Edge::none, Edge::extrapolate, Edge::wrap}) {  // nothing to fill
    EXPECT_EQ(predicted({1, 2, 3}, edges), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(predicted({D, D, D}, edges), (std::vector<double>{D, D, D}));
  }
  // An int16 channel is filled through doubles.
  auto v = make_vector<std::int16_t>({10, -32767, -32767, 40, 41}, false);
  Integration_predict::predict(v, Edge::none, Rollweight_type::linear, 0.0, 0, 0, 0);
  EXPECT_EQ(values_of<std::int16_t>(v), (std::vector<std::int16_t>{10, 20, 30, 40, 41}));
}

TEST(Predict, LongGapsWithAndWithoutPredictionLength) {
  std::vector<double> x(3000);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = 5.0 + std::sin(0.02 * static_cast<double>(i));
  for (std::size_t i = 1000; i < 1600; ++i) x[i] = D;
  for (std::size_t i = 2990; i < 3000; ++i) x[i] = D;

  for (double v : predicted(x, Edge::extrapolate)) EXPECT_TRUE(v != D && std::isfinite(v));

  // A dummy level is the mean of the data; 50 samples in, both sides have relaxed to it.
  std::vector<double> data;
  std::copy_if(x.begin(), x.end(), std::back_inserter(data), [](double v) { return v != D; });
  const double mean = std::accumulate(data.begin(), data.end(), 0.0) / double(data.size());
  const auto relaxed = predicted(x, Edge::wrap, Rollweight_type::squared, D, 50);
  for (std::size_t i = 1050; i < 1550; ++i) EXPECT_DOUBLE_EQ(relaxed[i], mean) << i;
  EXPECT_NE(relaxed[1000], relaxed[1100]);
  EXPECT_NE(relaxed[2990], D);
}

TEST(Predict, BadArgumentsFailBeforeAnythingChanges) {
  const std::vector<double> values{1, D, 3};
  Multi_vector v = make_doubles(values), points(Legacy_type(type_double_point_2d), false, 3);
  const auto refuses = [&](Multi_vector& w, int edge, int roll, std::int64_t length,
                           const char* reason) {
    return fails_contract(
        [&] {
          Integration_predict::predict(w, static_cast<Edge>(edge),
                                       static_cast<Rollweight_type>(roll), 0, length, 0, 0);
        },
        std::string("predict: ") + reason);
  };
  EXPECT_TRUE(refuses(v, 3, 1, 0, "edge type 3 is not none (0), extrapolate (1) or wrap (2)"));
  EXPECT_TRUE(refuses(v, 0, 0, 0, "roll weight 0 is not linear (1) or squared (2)"));
  EXPECT_TRUE(refuses(v, 0, 1, -1, "prediction_length -1 is below 0"));
  EXPECT_TRUE(refuses(points, 0, 1, 0, "a channel of type double_point_2d cannot be predicted"));
  EXPECT_EQ(values_of<double>(v), values);
  Multi_vector empty = make_doubles({});
  Integration_predict::predict(empty, Edge::wrap, Rollweight_type::linear, D, 0, 0, 0);
  EXPECT_EQ(empty.get_length(), 0);
}

}  // namespace
}  // namespace vorlith::integration
